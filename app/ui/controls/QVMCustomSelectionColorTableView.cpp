#include "QVMCustomSelectionColorTableView.h"

#include "services/graphics/QVMStyleService.h"
#include "ui/style/QVMColor.h"

#include <QEvent>

QVMCustomSelectionColorTableView::QVMCustomSelectionColorTableView(QWidget *parent) : QListView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // Rows of one height are laid out without asking each row its size.
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    applySelectionColors();
    connect(&QVMStyleService::shared(), &QVMStyleService::darkModeChanged, this,
            [this] { applySelectionColors(); });
}

QColor QVMCustomSelectionColorTableView::selectionColor(bool dark) {
    return dark ? QVMColor::cellSelectionDarkColor() : QVMColor::cellSelectionColor();
}

QColor QVMCustomSelectionColorTableView::selectionTextColor(bool dark) {
    // Whichever of black and white stands out more from the selection.
    return selectionColor(dark).lightnessF() > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
}

void QVMCustomSelectionColorTableView::changeEvent(QEvent *event) {
    QListView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !m_applying)
        applySelectionColors();
}

void QVMCustomSelectionColorTableView::applySelectionColors() {
    const bool dark = QVMStyleService::isDarkMode();
    m_applying = true;
    QPalette colours = palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        colours.setColor(group, QPalette::Highlight, selectionColor(dark));
        colours.setColor(group, QPalette::HighlightedText, selectionTextColor(dark));
    }
    setPalette(colours);
    m_applying = false;
}
