#include "ui/style/QVMApplicationStyle.h"

#include <QApplication>
#include <QIconEngine>
#include <QLinearGradient>
#include <QMainWindow>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyleFactory>
#include <QStyleOptionToolBar>
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

// Fusion's look for a horizontal tool bar at the top of a main window: a faint gradient, a light
// line on top and a dark one (over a light one, for the last line of bars) at the bottom, each
// line a one-row fill.
bool drawTopToolBar(const QStyleOption *option, QPainter *painter, const QWidget *widget) {
    const auto *toolBar = qstyleoption_cast<const QStyleOptionToolBar *>(option);
    if (!toolBar || toolBar->toolBarArea != Qt::TopToolBarArea || !(option->state & QStyle::State_Horizontal))
        return false;
    if (!widget || !qobject_cast<const QMainWindow *>(widget->parentWidget()))
        return false;
    const QColor light(255, 255, 255, 90);
    const QColor shadow(0, 0, 0, 60);
    const QRect &rect = option->rect;
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, option->palette.window().color().lighter(104));
    gradient.setColorAt(1, option->palette.window().color());
    painter->fillRect(rect, gradient);
    auto row = [&](int y, const QColor &colour) { painter->fillRect(rect.left(), y, rect.width(), 1, colour); };
    if (toolBar->positionOfLine == QStyleOptionToolBar::End ||
        toolBar->positionOfLine == QStyleOptionToolBar::OnlyOne) {
        row(rect.bottom(), light);
        row(rect.bottom() - 1, shadow);
    } else {
        row(rect.bottom(), shadow);
    }
    row(rect.top(), light);
    return true;
}

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

void QVMApplicationStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                                      const QWidget *widget) const {
    if (element == CE_ToolBar && baseStyle()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0 &&
        drawTopToolBar(option, painter, widget))
        return;
    QProxyStyle::drawControl(element, option, painter, widget);
}

void QVMApplicationStyle::install() {
    QApplication::setStyle(new QVMApplicationStyle(QApplication::style()->name()));
}
