#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Where the photo window opens: centred on the window that opened it, inside
// the free area of that window's screen (panels and docks excluded), its frame
// included, and smaller than it asked for when the area is.
//
//   QVMPhotoPlacement::placeOnScreen(photoWindow);   // before it is shown, and again once framed
class QVMPhotoPlacement {
public:
    // Room a window manager's frame takes before it says how much (a title bar, thin sides).
    static constexpr QMargins kFrameAllowance{8, 40, 8, 8};

    static void placeOnScreen(QWidget *window);
    // The window's inside for a wanted size, centred on `centre`, so that with its frame it lies
    // within the available area.
    static QRect geometryWithin(const QSize &wanted, const QPoint &centre, const QRect &available,
                                const QMargins &frame);

    QVMPhotoPlacement() = delete;
};
