#include "QVMOffsetImageButtonCell.h"

#include <QStyleOptionToolButton>
#include <QStylePainter>

QVMOffsetImageButtonCell::QVMOffsetImageButtonCell(QWidget *parent) : QToolButton(parent) {}

QRect QVMOffsetImageButtonCell::imageRectForFrame(const QRect &frame) {
    return QRect(frame.x(), frame.y() + 3, frame.width(), qMax(0, frame.height() - 4));
}

void QVMOffsetImageButtonCell::paintEvent(QPaintEvent *event) {
    if (icon().isNull() || toolButtonStyle() != Qt::ToolButtonIconOnly) {
        QToolButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    // The bevel as usual, then the picture in the moved rectangle.
    QStyleOptionToolButton bevel = option;
    bevel.icon = QIcon();
    painter.drawComplexControl(QStyle::CC_ToolButton, bevel);
    const QRect frame = style()->subControlRect(QStyle::CC_ToolButton, &option, QStyle::SC_ToolButton, this);
    const QRect target = imageRectForFrame(frame);
    const QIcon::Mode mode = !isEnabled() ? QIcon::Disabled : (underMouse() ? QIcon::Active : QIcon::Normal);
    icon().paint(&painter, target, Qt::AlignCenter, mode, isChecked() ? QIcon::On : QIcon::Off);
}
