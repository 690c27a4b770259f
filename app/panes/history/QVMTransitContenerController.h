#pragma once

#include "platform/NotificationCenter.h"
#include "platform/store/Store.h"
#include "ui/foundation/QVMBaseVC.h"

#include <QPointer>

class CustomButton;
#include "panes/history/HistoryAndLanguagesTabViewController.h"

// The side panel as the main split view sees it: passes the panel requests
// on to the tab controller, and carries the panel's own row of buttons (the
// source and target language names, which open the language list, and the
// history / dictionary toggle), which go through the split view's actions.
class QVMTransitContenerController : public QVMBaseVC {
    Q_OBJECT
public:
    explicit QVMTransitContenerController(QObject *parent = nullptr);
    ~QVMTransitContenerController() override;

    Q_INVOKABLE void showLanguagesForSide(uint side);
    Q_INVOKABLE void showDictionaryOrConjugations();
    Q_INVOKABLE void showHistory();

    HistoryAndLanguagesTabViewController *tabViewController() const { return m_tabs; }
    CustomButton *fromLanguageButton() const { return m_from; }
    CustomButton *toLanguageButton() const { return m_to; }
    CustomButton *historyToggle() const { return m_toggle; }
    void updateLanguageNames();
    // The dictionary is what the panel shows (the toggle then offers the history).
    bool isDictionaryShown() const;

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;

private:
    void callSplit(const char *action);
    void updateToggle();
    void observeLanguages();

    QPointer<HistoryAndLanguagesTabViewController> m_tabs;
    CustomButton *m_from = nullptr;
    CustomButton *m_to = nullptr;
    CustomButton *m_toggle = nullptr;
    QList<platform::NotificationCenter::Token> m_observers;
    platform::NotificationToken m_languagesToken;
};
