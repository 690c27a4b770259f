#include "panes/offline/QVMOfflineHeaderCell.h"

QVMOfflineHeaderCell::QVMOfflineHeaderCell(QWidget *parent) : QHeaderView(Qt::Horizontal, parent) {
    QFont bold = font();
    bold.setBold(true);
    bold.setPointSizeF(14.0);
    setFont(bold);
    setDefaultAlignment(Qt::AlignCenter);
    setSectionsClickable(false);
}
