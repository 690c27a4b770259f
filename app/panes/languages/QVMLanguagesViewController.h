#pragma once

#include "panes/languages/QVLanguagesDataSourceService.h"
#include "panes/languages/QVMLanguageTouchBarController.h"

#include "ui/foundation/QVMBaseVC.h"

#include <QPointer>

class QLineEdit;
class QListView;
class QVMLanguagesListModel;
class QVMLanguagesTableViewCell;

// The language picker for one side of the pair (1 source, 2 target): a
// search field over the sectioned list. A click or Return chooses; Up and
// Down move between languages, skipping the section titles, and choose
// nothing. Opened from the toolbar as a popup (Escape closes it without a
// change) or shown as a page of the side panel.
//
//   picker->setDelegateLanguage(windowController); // languageDidUpdate / languageControllerWillDismiss
//   picker->setSideIndex(2);
//   picker->showRelativeToWidget(toButton);
//
// Choosing stores the language as the side's language, moves it to the front
// of the recent languages, tells the delegate and posts
// "kQVMLanguagesViewControllerDidSelectLanguageNotificationName". Choosing the
// side's current language only moves it to the front of the recent list.
class QVMLanguagesViewController : public QVMBaseVC, public QVMLanguageTouchBarControllerDelegate {
    Q_OBJECT
    Q_PROPERTY(uint sideIndex READ sideIndex WRITE setSideIndex)
public:
    explicit QVMLanguagesViewController(QObject *parent = nullptr);
    ~QVMLanguagesViewController() override;

    uint sideIndex() const { return m_sideIndex; }
    // Rebuilds the sections for the side (a source list never offers auto-detection as a target).
    Q_INVOKABLE void setSideIndex(uint side);
    // Gets Q_INVOKABLE languageDidUpdate(QObject*) and languageControllerWillDismiss(QObject*).
    Q_INVOKABLE void setDelegateLanguage(QObject *delegate);
    QObject *delegateLanguage() const { return m_delegateLanguage; }
    // The side panel's tab controller: a choice returns it to its history page.
    void setDelegate(QObject *tabController) { m_delegate = tabController; }

    // A popup under the widget; closes on a choice, Escape or a click elsewhere.
    Q_INVOKABLE void showRelativeToWidget(QWidget *anchor);
    // The same in a window of its own, when there is no widget to hang it on.
    Q_INVOKABLE void showWindow();
    bool isPopup() const { return m_popup; }

    void updateDataWithSearchText(const QString &searchText);
    void itemSelected(const QVLanguageRealm &language, uint direction);
    void trackLanguageSelection(const QVLanguageRealm &language);
    void onClose();
    // A click or Return on the row: true when it held a language.
    bool chooseRow(int row);

    void didSelectItem(const QVLanguageRealm &language, QVMLanguageTouchBarController *controller) override;

    const FVCompositeArray &dataSource() const;
    QLineEdit *searchField() const { return m_searchField; }
    QListView *languagesTable() const { return m_table; }
    QVMLanguageTouchBarController *touchBarViewController() const { return m_touchBar; }
    bool searchUsed() const { return m_searchUsed; }

    static constexpr const char *kDidSelectLanguageNotification =
        "kQVMLanguagesViewControllerDidSelectLanguageNotificationName";
    static constexpr const char *kSearchPlaceholderKey = "_loc_language_search";

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewDidAppear() override;
    void viewWillDisappear() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void controlTextDidChange(const QString &text);
    void moveSelection(int step);
    void selectFirstLanguage();
    QString currentLocaleForSide() const;
    void showAsWindow(Qt::WindowFlags flags, const QPoint &position);

    uint m_sideIndex = 1;
    bool m_popup = false;
    bool m_searchUsed = false;
    QPointer<QObject> m_delegateLanguage;
    QPointer<QObject> m_delegate;
    QVLanguagesDataSourceService m_languagesDataSource;
    QVMLanguageTouchBarController *m_touchBar = nullptr;
    QVMLanguagesListModel *m_model = nullptr;
    QVMLanguagesTableViewCell *m_cell = nullptr;
    QLineEdit *m_searchField = nullptr;
    QListView *m_table = nullptr;
};
