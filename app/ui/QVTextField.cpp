#include "QVTextField.h"

QVTextField::QVTextField(QWidget *parent) : QLineEdit(parent) {}

QColor QVTextField::textColor() const {
    return palette().color(QPalette::Text);
}

void QVTextField::setTextColor(const QColor &color) {
    QPalette colours = palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        colours.setColor(group, QPalette::Text, color);
    setPalette(colours);
}
