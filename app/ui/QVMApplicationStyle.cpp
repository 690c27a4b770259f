#include "ui/QVMApplicationStyle.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyleFactory>
#include <QWidget>

#include <algorithm>

namespace {

enum class Shape { ChevronsRight, ChevronsLeft, ChevronsDown, Clear };

class DrawnIconEngine : public QIconEngine {
public:
    explicit DrawnIconEngine(Shape shape) : m_shape(shape) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override {
        const QPalette palette = QApplication::palette();
        const QPalette::ColorGroup group = mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active;
        const QColor ink = palette.color(group, QPalette::WindowText);
        const qreal side = std::min(rect.width(), rect.height());
        const QRectF box(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side, side);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (m_shape == Shape::Clear) {
            QColor disc = ink;
            disc.setAlphaF(0.55f);
            painter->setPen(Qt::NoPen);
            painter->setBrush(disc);
            painter->drawEllipse(box.adjusted(side * 0.1, side * 0.1, -side * 0.1, -side * 0.1));
            painter->setPen(QPen(palette.color(group, QPalette::Base), std::max(1.0, side / 10)));
            const QRectF cross = box.adjusted(side * 0.35, side * 0.35, -side * 0.35, -side * 0.35);
            painter->drawLine(cross.topLeft(), cross.bottomRight());
            painter->drawLine(cross.topRight(), cross.bottomLeft());
        } else {
            painter->setPen(QPen(ink, std::max(1.0, side / 10), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter->setBrush(Qt::NoBrush);
            // Two chevrons pointing where the hidden items are.
            for (const qreal lead : {0.25, 0.5}) {
                QPainterPath chevron;
                const qreal a = lead * side, b = a + side * 0.25;
                if (m_shape == Shape::ChevronsRight) {
                    chevron.moveTo(box.left() + a, box.top() + side * 0.25);
                    chevron.lineTo(box.left() + b, box.top() + side * 0.5);
                    chevron.lineTo(box.left() + a, box.top() + side * 0.75);
                } else if (m_shape == Shape::ChevronsLeft) {
                    chevron.moveTo(box.right() - a, box.top() + side * 0.25);
                    chevron.lineTo(box.right() - b, box.top() + side * 0.5);
                    chevron.lineTo(box.right() - a, box.top() + side * 0.75);
                } else {
                    chevron.moveTo(box.left() + side * 0.25, box.top() + a);
                    chevron.lineTo(box.left() + side * 0.5, box.top() + b);
                    chevron.lineTo(box.left() + side * 0.75, box.top() + a);
                }
                painter->drawPath(chevron);
            }
        }
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }

    QIconEngine *clone() const override { return new DrawnIconEngine(m_shape); }
    QString key() const override { return QStringLiteral("QVMDrawnIcon"); }

private:
    Shape m_shape;
};

} // namespace

QVMApplicationStyle::QVMApplicationStyle(const QString &baseStyleName)
    : QProxyStyle(QStyleFactory::create(baseStyleName)) {}

QIcon QVMApplicationStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption *option,
                                        const QWidget *widget) const {
    switch (standardIcon) {
    case SP_ToolBarHorizontalExtensionButton: {
        // The hidden items lie towards the line's end.
        const Qt::LayoutDirection direction =
            widget ? widget->layoutDirection() : QApplication::layoutDirection();
        return QIcon(new DrawnIconEngine(direction == Qt::RightToLeft ? Shape::ChevronsLeft
                                                                       : Shape::ChevronsRight));
    }
    case SP_ToolBarVerticalExtensionButton:
        return QIcon(new DrawnIconEngine(Shape::ChevronsDown));
    case SP_LineEditClearButton:
        return QIcon(new DrawnIconEngine(Shape::Clear));
    default:
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    }
}

void QVMApplicationStyle::install() {
    QApplication::setStyle(new QVMApplicationStyle(QApplication::style()->name()));
}
