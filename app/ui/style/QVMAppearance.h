#pragma once

#include <QObject>
#include <QPalette>

// Puts the whole application on one live palette, light or dark as the
// desktop's colour scheme says (when it states none, the desktop theme's own
// palette stays, its texts made readable), so menus, toolbars, buttons and text
// views all take their colours from it (at start and whenever the appearance
// changes). Every text colour, placeholders included, keeps a contrast of at
// least 4.5:1 to the background it is drawn on. Main thread.
//
//   QVMAppearance::install();                 // once, before the first window
//   QPalette dark = QVMAppearance::palette(true);
//   QPalette mended = QVMAppearance::readablePalette(desktopPalette);
class QVMAppearance : public QObject {
    Q_OBJECT
public:
    static void install();
    static QPalette palette(bool dark);
    // The palette with each text colour of the active and inactive groups that does not reach
    // 4.5:1 on its background (a translucent placeholder, say) moved to the nearest shade that
    // does; backgrounds and readable colours stay as they are.
    static QPalette readablePalette(const QPalette &palette);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit QVMAppearance(QObject *parent);
    void apply();

    QPalette m_original;
    bool m_owned = false;
    bool m_applying = false;
};
