#include "QVMPopoverIcons.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

using Draw = void (*)(QPainter &, const QColor &);

// Every picture is drawn on a 24 x 24 grid and scaled.
void drawStatusBar(QPainter &p, const QColor &color) {
    // A speech bubble holding an "A" and a wave: text going one way and coming back.
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(2, 3, 20, 14), 4, 4);
    bubble.moveTo(7, 17);
    bubble.lineTo(6, 22);
    bubble.lineTo(12, 17);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(bubble.simplified());
    p.setPen(
        QPen(color.lightness() > 128 ? Qt::black : Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({{5, 14}, {8, 6}, {11, 14}}));
    p.drawLine(QPointF(6.2, 11), QPointF(9.8, 11));
    QPainterPath wave;
    wave.moveTo(13, 10);
    wave.cubicTo(15, 6, 17, 14, 19, 10);
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
}

void drawPinShape(QPainter &p, const QColor &color, bool filled) {
    QPainterPath head;
    head.moveTo(8, 3);
    head.lineTo(16, 3);
    head.lineTo(15, 10);
    head.lineTo(18, 14);
    head.lineTo(6, 14);
    head.lineTo(9, 10);
    head.closeSubpath();
    p.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(filled ? QBrush(color) : QBrush(Qt::NoBrush));
    p.drawPath(head);
    p.drawLine(QPointF(12, 14), QPointF(12, 21));
}

void drawPin(QPainter &p, const QColor &color) {
    drawPinShape(p, color, false);
}

void drawPinFilled(QPainter &p, const QColor &color) {
    drawPinShape(p, color, true);
}

void drawStop(QPainter &p, const QColor &color) {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(QRectF(6, 6, 12, 12), 2, 2);
}

void drawVolumeHigh(QPainter &p, const QColor &color) {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(QPolygonF({{3, 9}, {7, 9}, {12, 4}, {12, 20}, {7, 15}, {3, 15}}));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(9, 8, 7, 8), -60 * 16, 120 * 16);
    p.drawArc(QRectF(9, 4, 12, 16), -60 * 16, 120 * 16);
}

void drawClear(QPainter &p, const QColor &color) {
    p.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7, 7), QPointF(17, 17));
    p.drawLine(QPointF(17, 7), QPointF(7, 17));
}

void drawMainWindow(QPainter &p, const QColor &color) {
    p.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(3, 5, 18, 14), 2, 2);
    p.drawLine(QPointF(3, 9), QPointF(21, 9));
    p.drawLine(QPointF(12, 9), QPointF(12, 19));
}

Draw drawerFor(const QString &name) {
    static const struct {
        const char *name;
        Draw draw;
    } table[] = {
        {QVMPopoverIcons::kStatusBarIcon, drawStatusBar}, {QVMPopoverIcons::kPin, drawPin},
        {QVMPopoverIcons::kPinFilled, drawPinFilled},     {QVMPopoverIcons::kStop, drawStop},
        {QVMPopoverIcons::kVolumeHigh, drawVolumeHigh},   {QVMPopoverIcons::kClear, drawClear},
        {QVMPopoverIcons::kMainWindow, drawMainWindow},
    };
    for (const auto &entry : table)
        if (name == QLatin1String(entry.name))
            return entry.draw;
    return nullptr;
}

} // namespace

bool QVMPopoverIcons::hasImage(const QString &name) {
    return drawerFor(name) != nullptr;
}

QImage QVMPopoverIcons::image(const QString &name, int size, const QColor &color) {
    const Draw draw = drawerFor(name);
    if (!draw || size <= 0)
        return {};
    QImage picture(size, size, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 24.0, size / 24.0);
    draw(painter, color);
    return picture;
}

QIcon QVMPopoverIcons::icon(const QString &name, const QColor &color) {
    QIcon result;
    for (int size : {16, 22, 24, 32, 48, 64})
        result.addPixmap(QPixmap::fromImage(image(name, size, color)));
    return result;
}
