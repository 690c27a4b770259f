#include "ui/controls/QVMSoftShadow.h"

#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <qdrawutil.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Three box blurs in each direction come close to a Gaussian.
void boxBlur(std::vector<float> &values, int size, int radius, bool horizontal) {
    std::vector<float> line(size);
    const float span = float(2 * radius + 1);
    for (int other = 0; other < size; ++other) {
        auto at = [&](int i) -> float & { return horizontal ? values[other * size + i] : values[i * size + other]; };
        for (int i = 0; i < size; ++i)
            line[i] = at(i);
        float sum = 0;
        for (int i = -radius; i <= radius; ++i)
            sum += line[std::clamp(i, 0, size - 1)];
        for (int i = 0; i < size; ++i) {
            at(i) = sum / span;
            sum += line[std::min(i + radius + 1, size - 1)] - line[std::max(i - radius, 0)];
        }
    }
}

// A square holding an opaque square of `inner` points in the middle, blurred by `pad` on each side.
QPixmap shadowSprite(int pad, const QColor &colour) {
    const int inner = 2 * pad + 2;
    const int size = inner + 2 * pad;
    std::vector<float> alpha(size_t(size) * size, 0.0f);
    for (int y = pad; y < pad + inner; ++y)
        std::fill_n(alpha.begin() + y * size + pad, inner, 1.0f);
    const int box = std::max(1, pad / 3);
    for (int pass = 0; pass < 3; ++pass) {
        boxBlur(alpha, size, box, true);
        boxBlur(alpha, size, box, false);
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size; ++x) {
            QColor pixel = colour;
            // The running sums leave values a hair outside [0, 1].
            pixel.setAlphaF(std::clamp(colour.alphaF() * alpha[size_t(y) * size + x], 0.0f, 1.0f));
            row[x] = qPremultiply(pixel.rgba());
        }
    }
    return QPixmap::fromImage(image);
}

class ShadowPainter : public QObject {
public:
    ShadowPainter(QWidget *view, qreal blurRadius, const QPointF &offset, const QColor &colour)
        : QObject(view), m_view(view), m_parent(view->parentWidget()), m_offset(offset.toPoint()),
          m_pad(std::max(1, int(std::ceil(blurRadius)))), m_sprite(shadowSprite(m_pad, colour)) {
        view->installEventFilter(this);
        if (m_parent)
            m_parent->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == m_parent && event->type() == QEvent::Paint) {
            // Drawn before the parent's own painting: the shadow lies under whatever it draws.
            if (m_view && m_view->isVisible()) {
                QPainter painter(m_parent);
                qDrawBorderPixmap(&painter, shadowRect(),
                                  QMargins(2 * m_pad, 2 * m_pad, 2 * m_pad, 2 * m_pad), m_sprite);
            }
        } else if (watched == m_view) {
            switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Show:
            case QEvent::Hide:
                if (m_parent)
                    m_parent->update(); // the old place and the new
                break;
            default:
                break;
            }
        }
        return false;
    }

private:
    QRect shadowRect() const {
        return m_view->geometry().adjusted(-m_pad, -m_pad, m_pad, m_pad).translated(m_offset);
    }

    QPointer<QWidget> m_view;
    QPointer<QWidget> m_parent;
    QPoint m_offset;
    int m_pad;
    QPixmap m_sprite;
};

} // namespace

namespace QVMSoftShadow {

void attach(QWidget *view, qreal blurRadius, const QPointF &offset, const QColor &colour) {
    if (view)
        new ShadowPainter(view, blurRadius, offset, colour);
}

} // namespace QVMSoftShadow
