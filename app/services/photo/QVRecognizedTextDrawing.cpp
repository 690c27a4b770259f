#include "services/photo/QVRecognizedTextDrawing.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

namespace {

constexpr int kMinPixelSize = 6;
constexpr int kEdge = 2;

// Black or white, whichever differs more from the background.
QColor textColorOn(const QColor &background) {
    return background.lightnessF() > 0.55 ? QColor(Qt::black) : QColor(Qt::white);
}

// The largest font whose line fits the box's height and width.
QFont fittedFont(const QString &text, const QRectF &box) {
    QFont font(QStringLiteral("DejaVu Sans"));
    int size = std::max(kMinPixelSize, static_cast<int>(box.height() * 0.8));
    for (; size > kMinPixelSize; --size) {
        font.setPixelSize(size);
        const QFontMetricsF metrics(font);
        if (metrics.horizontalAdvance(text) <= box.width() && metrics.height() <= box.height() * 1.15)
            break;
    }
    font.setPixelSize(size);
    return font;
}

} // namespace

QColor QVRecognizedTextDrawing::surroundingColor(const QImage &picture, const QRect &box) {
    const QRect bounds = picture.rect();
    QRect ring = box.adjusted(-2, -2, 2, 2).intersected(bounds);
    if (ring.isEmpty())
        return QColor(Qt::white);
    qint64 red = 0, green = 0, blue = 0, count = 0;
    auto add = [&](int x, int y) {
        const QColor pixel = picture.pixelColor(x, y);
        red += pixel.red();
        green += pixel.green();
        blue += pixel.blue();
        ++count;
    };
    for (int x = ring.left(); x <= ring.right(); ++x) {
        add(x, ring.top());
        add(x, ring.bottom());
    }
    for (int y = ring.top() + 1; y < ring.bottom(); ++y) {
        add(ring.left(), y);
        add(ring.right(), y);
    }
    return QColor(static_cast<int>(red / count), static_cast<int>(green / count),
                  static_cast<int>(blue / count));
}

QImage QVRecognizedTextDrawing::drawRecognizedText(const QImage &picture,
                                                   const QList<QVRecognizedBlock> &lines) {
    QImage drawn = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (drawn.isNull())
        return drawn;
    // The boxes are in pixels: the painter must not scale them by the picture's density.
    drawn.setDevicePixelRatio(1);
    QPainter painter(&drawn);
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (const QVRecognizedBlock &line : lines) {
        const QString text = line.text.simplified();
        const QRect box = line.boundingBox.toAlignedRect().intersected(drawn.rect());
        if (text.isEmpty() || box.isEmpty())
            continue;
        // A recogniser's box is tight: the soft edges and overshoot of round letters lie just
        // outside it. The cover reaches past them, and its colour is read beyond them.
        const QRect cover = box.adjusted(-kEdge, -kEdge, kEdge, kEdge).intersected(drawn.rect());
        const QColor background = surroundingColor(picture, cover);
        painter.fillRect(cover, background);
        painter.setPen(textColorOn(background));
        painter.setFont(fittedFont(text, box));
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, text);
    }
    painter.end();
    return drawn;
}
