#pragma once

#include "core/models/QVTranslationRealm.h"

#include <QString>

class QVMGeneralViewController;

// What the main view's panels show, carried into the view that replaces it (a new interface
// language rebuilds the main window): the source text, the translation as the user reads it
// (without the transliteration line under it) and the history record they are, when they
// still are one. Restored, the new view shows exactly that pair, empty panels included,
// and nothing older.
//
//   const QVMPanelsSnapshot panels = QVMPanelsSnapshot::take(*oldView);
//   ...
//   panels.restore(*newView);
class QVMPanelsSnapshot {
public:
    static QVMPanelsSnapshot take(const QVMGeneralViewController &view);
    void restore(QVMGeneralViewController &view) const;

    QString original;
    QString translation;
    // Null when the panels are not the record on screen (edited, or never stored).
    QVTranslationRealm record;
};
