#include "QVMPhotoPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void QVMPhotoPlacement::placeOnScreen(QWidget *window) {
    if (!window)
        return;
    QWidget *owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    QScreen *screen = owner ? owner->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect inside = window->geometry();
    const QRect outside = window->frameGeometry();
    const QMargins actual(inside.left() - outside.left(), inside.top() - outside.top(),
                          outside.right() - inside.right(), outside.bottom() - inside.bottom());
    // Before the window manager has framed the window its frame is unknown: room is left for one.
    const QMargins frame = actual.isNull() && !window->isVisible() ? kFrameAllowance : actual;
    const QRect available = screen->availableGeometry();
    const QPoint centre = owner && owner->isVisible() ? owner->frameGeometry().center() : available.center();
    window->setGeometry(geometryWithin(window->size(), centre, available, frame));
}

QRect QVMPhotoPlacement::geometryWithin(const QSize &wanted, const QPoint &centre, const QRect &available,
                                        const QMargins &frame) {
    const QSize room = available.size().shrunkBy(frame).expandedTo(QSize(1, 1));
    QRect outer(QPoint(), wanted.boundedTo(room).grownBy(frame));
    outer.moveCenter(centre);
    if (outer.right() > available.right())
        outer.moveRight(available.right());
    if (outer.bottom() > available.bottom())
        outer.moveBottom(available.bottom());
    if (outer.left() < available.left())
        outer.moveLeft(available.left());
    if (outer.top() < available.top())
        outer.moveTop(available.top());
    return outer.marginsRemoved(frame);
}
