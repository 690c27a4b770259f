#pragma once
#include <QHeaderView>

// Column titles of the offline list: bold 14 pt, centred.
class QVMOfflineHeaderCell : public QHeaderView {
    Q_OBJECT
public:
    explicit QVMOfflineHeaderCell(QWidget *parent = nullptr);
};
