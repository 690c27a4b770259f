#include "QVMPhotoImageView.h"

#include <QPaintEvent>
#include <QPainter>

QVMPhotoImageView::QVMPhotoImageView(QWidget *parent) : QLabel(parent) {}

void QVMPhotoImageView::setImage(const QImage &image) {
    m_image = image;
    update();
}

void QVMPhotoImageView::paintEvent(QPaintEvent *event) {
    if (m_image.isNull() || width() <= 0 || height() <= 0)
        return QLabel::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Only the exposed part, mapped back to the picture's own pixels.
    const QRectF target = QRectF(event->rect()).intersected(QRectF(rect()));
    const qreal sx = qreal(m_image.width()) / qreal(width());
    const qreal sy = qreal(m_image.height()) / qreal(height());
    const QRectF source(target.x() * sx, target.y() * sy, target.width() * sx, target.height() * sy);
    painter.drawImage(target, m_image, source);
}
