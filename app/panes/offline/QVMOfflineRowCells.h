#pragma once

#include <QList>
#include <QObject>

#include <functional>

class QTreeView;

// Keeps cell widgets only on the rows of a list that are on screen (and one on
// each side), so a list of any length costs what its window shows. The maker
// puts a row's widgets into the view (setIndexWidget); rows scrolled away lose
// theirs. A model reset drops every cell; the next layout makes them again.
//
//   QVMOfflineRowCells cells(view, {ActionColumn, OptionsColumn}, [&](int row) {
//       view->setIndexWidget(model->index(row, ActionColumn), new ActionCell);
//   });
class QVMOfflineRowCells : public QObject {
    Q_OBJECT
public:
    using Maker = std::function<void(int row)>;

    QVMOfflineRowCells(QTreeView *view, QList<int> columns, Maker maker);

    // Makes the cells of rows now on screen and drops the others.
    void update();
    // The rows that have cells, first and last (-1, -1 for none).
    int first() const { return m_first; }
    int last() const { return m_last; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void drop(int row);
    void scheduleUpdate();

    QTreeView *m_view;
    // Compared by address only: the filter may see the view's last events while it is taken apart.
    const QObject *m_viewport;
    QList<int> m_columns;
    Maker m_maker;
    int m_first = -1;
    int m_last = -1;
    bool m_scheduled = false;
};
