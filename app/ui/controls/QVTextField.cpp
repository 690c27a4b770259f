#include "ui/controls/QVTextField.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QTimer>

namespace {

// The line edit's inverting insertion point, switched off.
class NoInsertionPointStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override {
        if (metric == PM_TextCursorWidth)
            return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// The line edit reserves 5 points left of the insertion point in its cursor rectangle.
constexpr int kCursorRectLead = 5;

} // namespace

QVTextField::QVTextField(QWidget *parent) : QLineEdit(parent), m_blink(new QTimer(this)) {
    auto *style = new NoInsertionPointStyle;
    style->setParent(this);
    setStyle(style);
    connect(m_blink, &QTimer::timeout, this, [this] {
        m_caretShown = !m_caretShown;
        update();
    });
    // Moving or typing shows the insertion point at once, as the desktop does.
    connect(this, &QLineEdit::cursorPositionChanged, this, &QVTextField::restartBlinking);
    connect(this, &QLineEdit::textChanged, this, &QVTextField::restartBlinking);
}

QColor QVTextField::textColor() const {
    return palette().color(QPalette::Text);
}

void QVTextField::setTextColor(const QColor &color) {
    QPalette colours = palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        colours.setColor(group, QPalette::Text, color);
    setPalette(colours);
}

void QVTextField::restartBlinking() {
    if (!hasFocus())
        return;
    m_caretShown = true;
    const int flash = QApplication::cursorFlashTime();
    if (flash > 0)
        m_blink->start(flash / 2);
    update();
}

void QVTextField::focusInEvent(QFocusEvent *event) {
    QLineEdit::focusInEvent(event);
    restartBlinking();
}

void QVTextField::focusOutEvent(QFocusEvent *event) {
    m_blink->stop();
    m_caretShown = false;
    QLineEdit::focusOutEvent(event);
}

void QVTextField::paintEvent(QPaintEvent *event) {
    QLineEdit::paintEvent(event);
    if (!m_caretShown || !hasFocus() || isReadOnly() || hasSelectedText())
        return;
    const QRect cursor = cursorRect();
    const int width =
        std::max(1, QApplication::style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this));
    QPainter painter(this);
    painter.fillRect(QRect(cursor.x() + kCursorRectLead, cursor.y(), width, cursor.height() - 1),
                     textColor());
}
