#pragma once

#include <QRect>
#include <QTableView>

// A table that draws its grid lines only over its rows: the space below the
// last row stays empty, and a table without rows draws no lines at all.
class QVMCustomGridTableView : public QTableView {
    Q_OBJECT
public:
    explicit QVMCustomGridTableView(QWidget *parent = nullptr);

    // The part of the viewport the grid may cover: from the top down to the
    // bottom of the last row, as wide as the rows; empty without rows.
    QRect gridArea() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
