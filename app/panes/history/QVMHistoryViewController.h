#pragma once

#include "core/models/QVTranslationRealm.h"
#include "panes/history/QVMHistoryTableViewCell.h"
#include "platform/NotificationCenter.h"
#include "ui/foundation/QVMBaseVC.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QToolButton>

class QModelIndex;

class QVMCustomSelectionColorTableView;
class QVMHistoryListModel;

// The history side panel: every stored translation, newest first, or only
// the favourites ("kShowHistoryNotification" / "kShowBookmarksNotification").
// A click on a row, or moving to it with Up and Down, shows the record in the
// main view ("kActionHistoryNotification", the record under "object"). Delete
// removes the row, Space toggles its star; the current row also carries real
// "Favourite" and "Remove from history" buttons. Favourite changes go through
// QVFavoritesSync, so none is lost when the account cannot be reached.
class QVMHistoryViewController : public QVMBaseVC {
    Q_OBJECT
public:
    explicit QVMHistoryViewController(QObject *parent = nullptr);
    ~QVMHistoryViewController() override;

    bool isHistoryMode() const;
    // The row painted as current; -1 for none.
    int highlightedRow() const;
    void highlightRow(int row);
    int state() const;

    // The notification handlers: the mode changes and the highlight goes.
    void showHistory();
    void showBookmarks();
    // The panel's own two-segment switch (0 history): the highlight stays.
    void onSegmentFavoritSwitch(int segment);
    void updateData();

    // The row's star and remove buttons.
    void onIsFavorit(int row);
    void onRemoveCell(int row);

    QVMHistoryListModel *model() const { return m_model; }
    QVMCustomSelectionColorTableView *historyTable() const { return m_table; }
    // The current row's real buttons (null without a current record row).
    QToolButton *favoriteButton() const { return m_favoriteButton; }
    QToolButton *removeButton() const { return m_removeButton; }

    static constexpr const char *kShowHistoryNotification = "kShowHistoryNotification";
    static constexpr const char *kShowBookmarksNotification = "kShowBookmarksNotification";
    static constexpr const char *kActionHistoryNotification = "kActionHistoryNotification";
    static constexpr const char *kActionHistoryBookmarkNotification = "kActionHistoryBookmarkNotification";

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void viewDidAppear() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void currentRowChanged(const QModelIndex &current);
    void chooseRow(int row);
    void moveSelection(int step);
    void placeRowButtons(int row);
    void showFavouriteState();
    bool handleRowButtonClick(QEvent *event);
    void refreshPending();

    QVMHistoryListModel *m_model = nullptr;
    QVMHistoryTableViewCell *m_cell = nullptr;
    QVMCustomSelectionColorTableView *m_table = nullptr;
    QPointer<QToolButton> m_favoriteButton;
    QPointer<QToolButton> m_removeButton;
    QPersistentModelIndex m_buttonsIndex;
    QPersistentModelIndex m_pressedIndex;
    QVMHistoryTableViewCell::Part m_pressedPart = QVMHistoryTableViewCell::Part::Row;
    QPointer<QWidget> m_bar;
    QList<platform::NotificationCenter::Token> m_observers;
};
