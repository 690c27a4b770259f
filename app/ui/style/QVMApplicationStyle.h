#pragma once

#include <QProxyStyle>

// The desktop's style, with the standard icons the main window asks for as it is built (the
// tool bar's and menu bar's overflow buttons, the search fields' clear button) drawn here in
// the text colour of the moment. The style's own go through the icon theme and probe every
// image plugin before the first frame. Fusion's tool bar at the top of a main window is drawn
// here too, alike to the pixel: Fusion strokes its edge lines a pixel at a time, and Qt's raster
// engine hands each run of such pixels to its thread pool, which costs the first frame more than
// the lines are worth.
class QVMApplicationStyle : public QProxyStyle {
public:
    // Wraps a new copy of the style named `baseStyleName` (the one Qt chose or the user asked for).
    explicit QVMApplicationStyle(const QString &baseStyleName);

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;

    // Makes this style the application's, wrapping the one in use.
    static void install();
};
