#include "panes/offline/QVMOfflineRowCells.h"

#include <QEvent>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>

QVMOfflineRowCells::QVMOfflineRowCells(QTreeView *view, QList<int> columns, Maker maker)
    : QObject(view), m_view(view), m_viewport(view->viewport()), m_columns(std::move(columns)),
      m_maker(std::move(maker)) {
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this, &QVMOfflineRowCells::update);
    m_view->viewport()->installEventFilter(this);
    QAbstractItemModel *model = m_view->model();
    // The view deletes every index widget on a reset; the rows are made again on screen.
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        m_first = m_last = -1;
        scheduleUpdate();
    });
    connect(model, &QAbstractItemModel::layoutChanged, this, &QVMOfflineRowCells::scheduleUpdate);
}

bool QVMOfflineRowCells::eventFilter(QObject *watched, QEvent *event) {
    // The type first: the view's destruction sends its viewport events too.
    if ((event->type() == QEvent::Resize || event->type() == QEvent::Show) && watched == m_viewport)
        scheduleUpdate();
    return QObject::eventFilter(watched, event);
}

void QVMOfflineRowCells::scheduleUpdate() {
    if (m_scheduled)
        return;
    m_scheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_scheduled = false;
        update();
    });
}

void QVMOfflineRowCells::drop(int row) {
    for (const int column : std::as_const(m_columns)) {
        const QModelIndex index = m_view->model()->index(row, column);
        QPointer<QWidget> widget = m_view->indexWidget(index);
        if (!widget)
            continue;
        m_view->setIndexWidget(index, nullptr);
        if (widget) {
            // Perhaps inside one of its own handlers: gone once they return.
            widget->hide();
            widget->deleteLater();
        }
    }
}

void QVMOfflineRowCells::update() {
    const int rows = m_view->model()->rowCount();
    int first = -1;
    int last = -1;
    if (rows > 0) {
        const QModelIndex top = m_view->indexAt(QPoint(1, 1));
        const QModelIndex bottom = m_view->indexAt(QPoint(1, qMax(1, m_view->viewport()->height() - 2)));
        first = qMax(0, (top.isValid() ? top.row() : 0) - 1);
        last = qMin(rows - 1, (bottom.isValid() ? bottom.row() : rows - 1) + 1);
    }
    if (m_first >= 0) {
        for (int row = m_first; row <= m_last && row < rows; ++row)
            if (row < first || row > last)
                drop(row);
    }
    const int oldFirst = m_first;
    const int oldLast = m_last;
    m_first = first;
    m_last = last;
    if (first < 0)
        return;
    for (int row = first; row <= last; ++row)
        if (oldFirst < 0 || row < oldFirst || row > oldLast ||
            !m_view->indexWidget(m_view->model()->index(row, m_columns.value(0))))
            m_maker(row);
}
