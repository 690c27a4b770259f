#pragma once
#include <QTreeView>

// A flat outline: no expansion arrows, and grid lines only down to the last row.
class QVMCustomGridOutlineView : public QTreeView {
    Q_OBJECT
public:
    explicit QVMCustomGridOutlineView(QWidget *parent = nullptr);
    // The height of the area that carries grid lines (0 for no rows).
    int gridHeight() const;

protected:
    void drawRow(QPainter *painter, const QStyleOptionViewItem &option,
                 const QModelIndex &index) const override;
};
