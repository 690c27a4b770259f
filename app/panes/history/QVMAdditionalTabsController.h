#pragma once

#include "panes/history/QVMHistoryViewController.h"
#include "ui/foundation/QVMBaseVC.h"

#include <QPointer>

class CustomButton;
class QStackedWidget;

// The side panel's group: three tab buttons (History, Bookmarks, Dictionary;
// Ctrl+1, Ctrl+2, Ctrl+3; exactly one is on) over an inner stack whose page 0 is the history
// list and page 1 the dictionary pane ("Main" / "QVMDicrionaryController",
// or a notice while that part is missing). The chosen tab survives relaunches
// in "kUserDefaultAdditionalState" (2, Dictionary, on a fresh install and for
// anything unreadable).
class QVMAdditionalTabsController : public QVMBaseVC {
    Q_OBJECT
public:
    enum State : uint { History = 0, Bookmarks = 1, Dictionary = 2 };

    explicit QVMAdditionalTabsController(QObject *parent = nullptr);
    ~QVMAdditionalTabsController() override;

    void onHistory() { showHistory(); }
    void onBookmarks() { showBookmarks(); }
    void onDictionary() { showDictionary(); }
    void showHistory();
    void showBookmarks();
    void showDictionary();
    void setState(uint state);
    void lazyState();
    void updateButton(CustomButton *button, bool active);

    uint currentAdditionalState() const { return m_state; }
    int innerPage() const;
    CustomButton *historyButton() const { return m_historyButton; }
    CustomButton *bookmarksButton() const { return m_bookmarksButton; }
    CustomButton *dictionaryButton() const { return m_dictionaryButton; }
    QVMHistoryViewController *historyViewController() const { return m_history; }
    QObject *dictionaryController() const { return m_dictionary; }

    static constexpr const char *kUserDefaultAdditionalState = "kUserDefaultAdditionalState";
    static constexpr const char *kDictionaryStoryboardId = "QVMDicrionaryController";

signals:
    void stateChanged(uint state);

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void didChangeColorTheme(bool dark) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void choose(uint state);
    QWidget *makeDictionaryPage();

    uint m_state = Dictionary;
    QPointer<QVMHistoryViewController> m_history;
    QPointer<QObject> m_dictionary;
    CustomButton *m_historyButton = nullptr;
    CustomButton *m_bookmarksButton = nullptr;
    CustomButton *m_dictionaryButton = nullptr;
    QStackedWidget *m_tabs = nullptr;
    QWidget *m_shadowView = nullptr;
    bool m_repainting = false;
};
