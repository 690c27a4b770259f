#include "QVMCustomGridTableView.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>

QVMCustomGridTableView::QVMCustomGridTableView(QWidget *parent) : QTableView(parent) {
    // The base would draw lines over the empty space too; ours draws them.
    QTableView::setShowGrid(false);
}

QRect QVMCustomGridTableView::gridArea() const {
    if (!model() || model()->rowCount(rootIndex()) == 0 || model()->columnCount(rootIndex()) == 0)
        return {};
    const int lastRow = model()->rowCount(rootIndex()) - 1;
    const int lastColumn = model()->columnCount(rootIndex()) - 1;
    const int bottom = verticalHeader()->sectionViewportPosition(lastRow) + rowHeight(lastRow);
    const int right = horizontalHeader()->sectionViewportPosition(lastColumn) + columnWidth(lastColumn);
    return QRect(QPoint(0, 0), QPoint(right - 1, bottom - 1));
}

void QVMCustomGridTableView::paintEvent(QPaintEvent *event) {
    QTableView::paintEvent(event);
    const QRect area = gridArea().intersected(event->rect());
    if (area.isEmpty())
        return;
    QPainter painter(viewport());
    painter.setClipRect(area);
    painter.setPen(QPen(palette().color(QPalette::Mid), 0, gridStyle()));
    const int rows = model()->rowCount(rootIndex());
    const int columns = model()->columnCount(rootIndex());
    for (int row = 0; row < rows; ++row) {
        const int y = verticalHeader()->sectionViewportPosition(row) + rowHeight(row) - 1;
        if (y < area.top() - 1)
            continue;
        if (y > area.bottom())
            break;
        painter.drawLine(area.left(), y, area.right(), y);
    }
    for (int column = 0; column < columns; ++column) {
        const int x = horizontalHeader()->sectionViewportPosition(column) + columnWidth(column) - 1;
        painter.drawLine(x, area.top(), x, area.bottom());
    }
}
