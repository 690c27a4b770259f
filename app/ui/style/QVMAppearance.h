#pragma once

#include <QObject>
#include <QPalette>

// Puts the whole application on one live palette, light or dark as the
// desktop's colour scheme says (when it states none, the desktop theme's own
// palette stays), so menus, toolbars, buttons and text views all take
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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit QVMAppearance(QObject *parent);
    void apply();

    QPalette m_original;
    bool m_owned = false;
    bool m_applying = false;
};
