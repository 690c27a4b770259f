#pragma once

#include <QObject>
#include <QPalette>

// Puts the whole application on one live palette, light or dark as
// QVMStyleService says, so menus, toolbars, buttons and text views all take
// their colours from it (at start and whenever the appearance changes). Every
// text colour of both palettes keeps a contrast of at least 4.5:1 to the
// background it is drawn on. Main thread.
//
//   QVMAppearance::install();                 // once, before the first window
//   QPalette dark = QVMAppearance::palette(true);
class QVMAppearance : public QObject {
    Q_OBJECT
public:
    static void install();
    static QPalette palette(bool dark);

private:
    explicit QVMAppearance(QObject *parent);
    void apply(bool dark);
};
