#include "CustomButton.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QStylePainter>

CustomButton::CustomButton(QWidget *parent) : QPushButton(parent) {}

CustomButton::CustomButton(const QString &text, QWidget *parent) : QPushButton(text, parent) {}

void CustomButton::setBGColor(const QColor &color) {
    setBGColor(QBrush(color));
}

// The palette's button colour says what the label is drawn on, for whoever checks its contrast.
void CustomButton::setBGColor(const QBrush &brush) {
    m_bgColor = brush.gradient() ? QColor(brush.gradient()->stops().value(0).second) : brush.color();
    m_bgBrush = brush;
    QPalette colours = palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        colours.setColor(group, QPalette::Button, *m_bgColor);
    setPalette(colours);
    update();
}

void CustomButton::clearBGColor() {
    m_bgColor.reset();
    m_bgBrush = QBrush();
    update();
}

void CustomButton::setTextColor(const QColor &color) {
    m_textColor = color;
    QPalette colours = palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        colours.setColor(group, QPalette::ButtonText, color);
    setPalette(colours);
    update();
}

void CustomButton::setCornerRadius(double radius) {
    m_cornerRadius = radius;
    update();
}

void CustomButton::paintEvent(QPaintEvent *event) {
    if (!m_bgColor) {
        QPushButton::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
    painter.setClipPath(shape);
    painter.fillRect(rect(), m_bgBrush);

    // The style draws only the label and the focus frame over our background.
    QStyleOptionButton option;
    initStyleOption(&option);
    option.features |= QStyleOptionButton::Flat;
    option.state &= ~(QStyle::State_Sunken | QStyle::State_Raised);
    if (m_textColor)
        option.palette.setColor(QPalette::ButtonText, *m_textColor);
    style()->drawControl(QStyle::CE_PushButtonLabel, &option, &painter, this);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}
