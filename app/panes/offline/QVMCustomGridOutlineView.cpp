#include "panes/offline/QVMCustomGridOutlineView.h"

#include <QHeaderView>
#include <QPainter>

QVMCustomGridOutlineView::QVMCustomGridOutlineView(QWidget *parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
}

int QVMCustomGridOutlineView::gridHeight() const {
    if (!model() || model()->rowCount(rootIndex()) == 0)
        return 0;
    const QRect last = visualRect(model()->index(model()->rowCount(rootIndex()) - 1, 0, rootIndex()));
    return qMax(0, last.bottom() + 1);
}

// Each row draws its own lines, so nothing is drawn below the last row.
void QVMCustomGridOutlineView::drawRow(QPainter *painter, const QStyleOptionViewItem &option,
                                       const QModelIndex &index) const {
    QTreeView::drawRow(painter, option, index);
    painter->save();
    painter->setPen(palette().color(QPalette::Midlight));
    const QRect r = option.rect;
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    for (int column = 1; column < header()->count(); ++column) {
        const int x = columnViewportPosition(column);
        painter->drawLine(x, r.top(), x, r.bottom());
    }
    painter->restore();
}
