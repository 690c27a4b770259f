#pragma once

#include <QColor>
#include <QListView>

// A one-column table whose selected row is painted across its whole width in
// the palette's selection colour for the current appearance (light or dark),
// following appearance changes while it lives. A list view underneath: a table
// view's row header keeps a record per row, 8 MB for a million rows.
class QVMCustomSelectionColorTableView : public QListView {
    Q_OBJECT
public:
    explicit QVMCustomSelectionColorTableView(QWidget *parent = nullptr);

    // The selected row's colour for the appearance.
    static QColor selectionColor(bool dark);
    // A text colour readable on the selection colour.
    static QColor selectionTextColor(bool dark);

protected:
    void changeEvent(QEvent *event) override;

private:
    void applySelectionColors();
    bool m_applying = false;
};
