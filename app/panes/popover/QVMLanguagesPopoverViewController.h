#pragma once

#include "panes/languages/QVLanguagesDataSourceService.h"
#include "panes/languages/QVMLanguageTouchBarController.h"
#include "ui/foundation/QVMBaseVC.h"

#include <QColor>
#include <QPointer>

class QFrame;
class QListView;
class QPushButton;
class QVMGenaralPopoverViewController;
class QVMLanguagesListModel;
class QVMLanguagesTableViewCell;
class QVTextField;

// The searchable language list that takes the popover translator's place in
// the tray window when one of its language buttons is pressed: one side's
// languages in sections, the side's current language marked. A click or
// Return chooses (the search field keeps the focus; Up and Down move between
// languages and choose nothing); Escape, the close button or a click outside
// the window returns to the translator unchanged.
//
//   auto *list = new QVMLanguagesPopoverViewController(translator);
//   list->setSideIndex(2);
//   list->setLastViewController(translator);
//   QVMStatusItem::sharedInstance().updateContentViewController(list);
class QVMLanguagesPopoverViewController : public QVMBaseVC, public QVMLanguageTouchBarControllerDelegate {
    Q_OBJECT
public:
    explicit QVMLanguagesPopoverViewController(QObject *parent = nullptr);
    ~QVMLanguagesPopoverViewController() override;

    uint sideIndex() const { return m_sideIndex; }
    Q_INVOKABLE void setSideIndex(uint side);
    QVMGenaralPopoverViewController *lastViewController() const;
    Q_INVOKABLE void setLastViewController(QObject *controller);

    void updateDataWithSearchText(const QString &searchText);
    // A click or Return on the row: false for a header or no row.
    bool chooseRow(int row);
    // Applies a choice: stores the side's language, tells the main window, translates for the target side.
    void itemSelected(const QVLanguageRealm &language, uint direction);
    // The translator back in the window; this list goes.
    void back();
    void onDone();
    void onShowGeneralWindows();
    void didSelectItem(const QVLanguageRealm &language, QVMLanguageTouchBarController *controller) override;

    const FVCompositeArray &dataSource() const;
    QVTextField *searchField() const { return m_searchField; }
    QListView *languagesTable() const { return m_table; }
    QPushButton *closeButton() const { return m_closeButton; }
    QVMLanguageTouchBarController *touchBarViewController() const { return m_touchBar; }
    QColor mainColorB() const { return m_mainColorB; }
    QColor textColor() const { return m_textColor; }

    static constexpr const char *kScreenName = "ScreenLanguagesPopover";

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewDidAppear() override;
    void didChangeColorTheme(bool dark) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void moveSelection(int step);
    QString currentLocaleForSide() const;
    void applyTheme();

    uint m_sideIndex = 1;
    QPointer<QObject> m_lastViewController;
    QVLanguagesDataSourceService m_languagesDataSource;
    QVMLanguageTouchBarController *m_touchBar = nullptr;
    QVMLanguagesListModel *m_model = nullptr;
    QVMLanguagesTableViewCell *m_cell = nullptr;
    QFrame *m_boxA = nullptr;
    QFrame *m_boxB = nullptr;
    QFrame *m_boxC = nullptr;
    QVTextField *m_searchField = nullptr;
    QListView *m_table = nullptr;
    QPushButton *m_closeButton = nullptr;
    QPushButton *m_mainButton = nullptr;
    QColor m_mainColorB;
    QColor m_textColor;
    bool m_leaving = false;
};
