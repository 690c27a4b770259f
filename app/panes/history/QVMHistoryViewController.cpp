#include "QVMHistoryViewController.h"

#include "panes/history/QVMHistoryListModel.h"
#include "panes/history/QVMHistoryTableViewCell.h"

#include "services/analytics/QVAnalyticsManager.h"
#include "services/favourites/QVFavoritesSync.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/controls/QVMCustomSelectionColorTableView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kCategory = QStringLiteral("Main screen");

void track(const QString &action, const QVariantMap &params = {}) {
    QVMGeneralServices::shared().analytics().trackEvent(kCategory, action, params);
}

} // namespace

QVMHistoryViewController::QVMHistoryViewController(QObject *parent) : QVMBaseVC(parent) {}

QVMHistoryViewController::~QVMHistoryViewController() {
    for (const auto token : std::as_const(m_observers))
        platform::NotificationCenter::defaultCenter().removeObserver(token);
}

QWidget *QVMHistoryViewController::loadView() {
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("QVMHistoryView"));
    auto *layout = new QVBoxLayout(root);
    layout->setContentsMargins(0, 0, 0, 0);
    m_table = new QVMCustomSelectionColorTableView(root);
    m_table->setObjectName(QStringLiteral("historyTable"));
    m_table->setAccessibleName(tr("History"));
    m_table->setToolTip(tr("Click a translation or move to it with Up and Down to show it; "
                           "Delete removes it, Space stars it"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->setWordWrap(false);
    m_model = new QVMHistoryListModel(this);
    m_cell = new QVMHistoryTableViewCell(this);
    m_table->setModel(m_model);
    m_table->setItemDelegate(m_cell);
    layout->addWidget(m_table);
    return root;
}

void QVMHistoryViewController::viewDidLoad() {
    auto &center = platform::NotificationCenter::defaultCenter();
    m_observers << center.addObserver(QString::fromLatin1(kShowHistoryNotification),
                                      [this](const QVariantMap &) { showHistory(); });
    m_observers << center.addObserver(QString::fromLatin1(kShowBookmarksNotification),
                                      [this](const QVariantMap &) { showBookmarks(); });
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { currentRowChanged(current); });
    connect(m_table, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { chooseRow(index.row()); });
    connect(m_cell, &QVMHistoryTableViewCell::flagLoaded, m_table->viewport(), qOverload<>(&QWidget::update));
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { placeRowButtons(-1); });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this,
            [this] { placeRowButtons(m_table->currentIndex().row()); });
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this] { showFavouriteState(); });
    connect(&QVFavoritesSync::shared(), &QVFavoritesSync::pendingChanged, this, [this] { refreshPending(); });
    m_table->installEventFilter(this);
    m_table->viewport()->installEventFilter(this);
    m_model->setHistoryMode(true);
    refreshPending();
}

void QVMHistoryViewController::viewDidAppear() {
    QVAnalyticsManager::trackViewsFromArray({QStringLiteral("ScreenHistory")});
}

void QVMHistoryViewController::refreshPending() {
    QSet<qint64> pending;
    for (const QString &identifier : QVFavoritesSync::shared().pendingDeletes())
        pending.insert(identifier.toLongLong());
    m_model->setPendingDeletes(pending);
}

bool QVMHistoryViewController::isHistoryMode() const {
    return m_model && m_model->isHistoryMode();
}

int QVMHistoryViewController::highlightedRow() const {
    return m_model ? m_model->highlightedRow() : -1;
}

void QVMHistoryViewController::highlightRow(int row) {
    const QVTranslationRealm record = m_model->recordAt(row);
    m_model->setHighlightedIdentifier(record.isNull() ? std::nullopt : record.idTranslation());
}

int QVMHistoryViewController::state() const {
    return m_model ? m_model->state() : 0;
}

void QVMHistoryViewController::updateData() {
    view();
    m_model->updateData();
}

void QVMHistoryViewController::showHistory() {
    view();
    m_model->setHighlightedIdentifier(std::nullopt);
    m_model->setHistoryMode(true);
}

void QVMHistoryViewController::showBookmarks() {
    view();
    m_model->setHighlightedIdentifier(std::nullopt);
    m_model->setHistoryMode(false);
}

void QVMHistoryViewController::onSegmentFavoritSwitch(int segment) {
    view();
    m_model->setHistoryMode(segment == 0);
}

void QVMHistoryViewController::currentRowChanged(const QModelIndex &current) {
    placeRowButtons(current.isValid() ? current.row() : -1);
}

void QVMHistoryViewController::moveSelection(int step) {
    if (m_model->state() != 1)
        return;
    const int current =
        m_table->currentIndex().isValid() ? m_table->currentIndex().row() : (step > 0 ? -1 : 0);
    const int row = qBound(0, current + step, m_model->recordCount() - 1);
    m_table->setCurrentIndex(m_model->index(row));
    m_table->scrollTo(m_model->index(row));
    // Moving to a row shows its record, as a click does; the keyboard stays in the list,
    // so the next key acts on the row and not on the text the record filled in.
    const bool listHadFocus = m_table->hasFocus();
    chooseRow(row);
    if (listHadFocus && m_table)
        m_table->setFocus(Qt::OtherFocusReason);
}

void QVMHistoryViewController::chooseRow(int row) {
    if (m_model->state() != 1 || row < 0 || row >= m_model->recordCount())
        return;
    const QVTranslationRealm record = m_model->recordAt(row);
    if (record.isNull())
        return;
    highlightRow(row);
    platform::NotificationCenter::defaultCenter().post(
        QString::fromLatin1(kActionHistoryNotification),
        {{QStringLiteral("object"), QVariant::fromValue(platform::Object(record))}});
}

void QVMHistoryViewController::onIsFavorit(int row) {
    const QVTranslationRealm record = m_model->recordAt(row);
    if (record.isNull() || !record.isValid())
        return;
    const bool favourite = record.isFavorite().value_or(false);
    QPointer<QVMHistoryViewController> self(this);
    QVFavoritesSync::shared().toggle(
        record, !favourite,
        [self](const QVTranslationRealm &stored) {
            track(QStringLiteral("History panel - Add Bookmarks"));
            if (!stored.isNull())
                platform::NotificationCenter::defaultCenter().post(
                    QString::fromLatin1(kActionHistoryBookmarkNotification),
                    {{QStringLiteral("object"), QVariant::fromValue(platform::Object(stored))}});
        },
        [] {
            track(QStringLiteral("History panel - Remove Bookmarks"),
                  {{QStringLiteral("method"), QStringLiteral("star")}});
        });
    // An unstarred bookmark leaves the list at once.
    if (!isHistoryMode())
        updateData();
}

void QVMHistoryViewController::onRemoveCell(int row) {
    const QVTranslationRealm record = m_model->recordAt(row);
    if (record.isNull() || !record.isValid())
        return;
    QPointer<QVMHistoryViewController> self(this);
    QVFavoritesSync::shared().removeFromHistory(record, [self] {
        const bool history = !self || self->isHistoryMode();
        track(history ? QStringLiteral("History panel - Remove Bookmarks")
                      : QStringLiteral("Bookmarks panel - Remove item"),
              {{QStringLiteral("method"), QStringLiteral("close")}});
    });
    track(QStringLiteral("History panel - Clear item"));
}

void QVMHistoryViewController::placeRowButtons(int row) {
    if (m_buttonsIndex.isValid() && m_table->indexWidget(m_buttonsIndex) == m_bar)
        m_table->setIndexWidget(m_buttonsIndex, nullptr);
    else
        delete m_bar;
    m_buttonsIndex = QPersistentModelIndex();
    m_cell->setRowWithButtons({});
    if (row < 0 || m_model->state() != 1 || row >= m_model->recordCount())
        return;
    // Real buttons on the current row, so keyboard and screen-reader users reach them.
    auto *bar = new QWidget;
    bar->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 8, 6, 0);
    layout->setSpacing(4);
    layout->addStretch(1);
    m_favoriteButton = new QToolButton(bar);
    m_favoriteButton->setCheckable(true);
    m_favoriteButton->setAccessibleName(tr("Favourite"));
    m_removeButton = new QToolButton(bar);
    m_removeButton->setText(QStringLiteral("\u2715"));
    m_removeButton->setAccessibleName(tr("Remove from history"));
    m_removeButton->setToolTip(
        QVMHistoryTableViewCell::toolTipFor(QVMHistoryTableViewCell::Part::Remove, false, QString()));
    // The glyphs as large as the painted ones of the other rows.
    QFont glyphs = m_table->font();
    glyphs.setPointSizeF(glyphs.pointSizeF() * 1.3);
    for (QToolButton *button : {m_favoriteButton.data(), m_removeButton.data()}) {
        button->setFont(glyphs);
        button->setFixedSize(QVMHistoryTableViewCell::kButtonSize, QVMHistoryTableViewCell::kButtonSize);
        button->setAutoRaise(true);
        layout->addWidget(button, 0, Qt::AlignTop);
    }
    connect(m_favoriteButton, &QToolButton::clicked, this, [this] { onIsFavorit(m_buttonsIndex.row()); });
    connect(m_removeButton, &QToolButton::clicked, this, [this] { onRemoveCell(m_buttonsIndex.row()); });
    m_buttonsIndex = m_model->index(row);
    m_bar = bar;
    showFavouriteState();
    m_cell->setRowWithButtons(m_buttonsIndex);
    m_table->setIndexWidget(m_buttonsIndex, bar);
    // The bar covers the row; clicks on its empty part still choose the row.
    bar->installEventFilter(this);
}

// The current row's real star shows the record's state as the painted ones do.
void QVMHistoryViewController::showFavouriteState() {
    if (!m_favoriteButton || !m_buttonsIndex.isValid())
        return;
    const bool favourite = m_buttonsIndex.data(QVMHistoryListModel::FavouriteRole).toBool();
    m_favoriteButton->setChecked(favourite);
    m_favoriteButton->setText(QVMHistoryTableViewCell::starGlyph(favourite));
    m_favoriteButton->setToolTip(
        QVMHistoryTableViewCell::toolTipFor(QVMHistoryTableViewCell::Part::Star, favourite, QString()));
}

// A press on a painted star or remove button acts on its own row at the release, before the
// list could make another row current (whose real buttons would then take the click).
bool QVMHistoryViewController::handleRowButtonClick(QEvent *event) {
    const auto *mouse = static_cast<QMouseEvent *>(event);
    const QModelIndex index = m_table->indexAt(mouse->position().toPoint());
    const bool record = index.isValid() && m_model->state() == 1 && index.row() < m_model->recordCount();
    const QVMHistoryTableViewCell::Part part =
        record ? QVMHistoryTableViewCell::partAt(m_table->visualRect(index), mouse->position().toPoint())
               : QVMHistoryTableViewCell::Part::Row;
    if (event->type() == QEvent::MouseButtonRelease) {
        const bool same = m_pressedPart == part && m_pressedIndex.isValid() && m_pressedIndex == index;
        const QVMHistoryTableViewCell::Part pressed =
            std::exchange(m_pressedPart, QVMHistoryTableViewCell::Part::Row);
        m_pressedIndex = QPersistentModelIndex();
        if (pressed == QVMHistoryTableViewCell::Part::Row)
            return false;
        if (same && mouse->button() == Qt::LeftButton) {
            if (part == QVMHistoryTableViewCell::Part::Star)
                onIsFavorit(index.row());
            else
                onRemoveCell(index.row());
        }
        return true;
    }
    if (part == QVMHistoryTableViewCell::Part::Row || mouse->button() != Qt::LeftButton)
        return false;
    m_pressedPart = part;
    m_pressedIndex = index;
    return true;
}

bool QVMHistoryViewController::eventFilter(QObject *watched, QEvent *event) {
    // The event's type first: as the table goes, its viewport's last events come here while
    // the table is no longer one.
    const bool mouse = event->type() == QEvent::MouseButtonPress ||
                       event->type() == QEvent::MouseButtonDblClick ||
                       event->type() == QEvent::MouseButtonRelease;
    if (mouse && isViewLoaded() && watched == m_table->viewport())
        return handleRowButtonClick(event) || QVMBaseVC::eventFilter(watched, event);
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const int row = m_table->currentIndex().row();
        if (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) {
            onRemoveCell(row);
            return true;
        }
        if (key->key() == Qt::Key_Space) {
            onIsFavorit(row);
            return true;
        }
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            moveSelection(key->key() == Qt::Key_Down ? 1 : -1);
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease && qobject_cast<QWidget *>(watched) &&
               watched == m_bar && m_buttonsIndex.isValid()) {
        chooseRow(m_buttonsIndex.row());
    }
    return QVMBaseVC::eventFilter(watched, event);
}
