#pragma once

#include "ui/foundation/QVMBaseVC.h"

#include <QPointer>

class QStackedWidget;
#include "panes/history/QVMAdditionalTabsController.h"
#include "panes/languages/QVMLanguagesViewController.h"

// The side panel's pages: 0 the history, bookmarks and dictionary group,
// 1 the language list for one side. "Dictionary or conjugations" is the
// group's Dictionary tab, since the dictionary pane can sit in one place only.
class HistoryAndLanguagesTabViewController : public QVMBaseVC {
    Q_OBJECT
public:
    explicit HistoryAndLanguagesTabViewController(QObject *parent = nullptr);

    Q_INVOKABLE void showHistory();
    Q_INVOKABLE void showLanguagesForSide(uint side);
    Q_INVOKABLE void showDictionaryOrConjugations();
    void setSideForLanguagesViewController(uint side);
    // Who hears the language list's choice (the main window controller).
    void setDelegateLanguage(QObject *delegate);

    int currentPage() const;
    QVMAdditionalTabsController *additionalTabs() const { return m_group; }
    // The language list, built on first use.
    QVMLanguagesViewController *languagesViewController() { return languages(); }

signals:
    // The page or the group's tab changed.
    void shownChanged();

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;

private:
    QVMLanguagesViewController *languages();

    QStackedWidget *m_pages = nullptr;
    QPointer<QObject> m_delegateLanguage;
    QPointer<QVMAdditionalTabsController> m_group;
    QPointer<QVMLanguagesViewController> m_languages;
};
