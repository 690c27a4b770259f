#include "ui/controls/TextViewWithPlaceHolder.h"

#include "ui/controls/QVMLongRunWrapping.h"

#include <QPainter>

TextViewWithPlaceHolder::TextViewWithPlaceHolder(QWidget *parent) : QTextEdit(parent) {
    // An empty view repaints when text comes or goes, so the hint follows.
    connect(this, &QTextEdit::textChanged, viewport(), qOverload<>(&QWidget::update));
    QVMLongRunWrapping::attach(this);
}

void TextViewWithPlaceHolder::setPlaceHolderString(const QString &text) {
    // A fixed grey would read in one scheme only: the palette's follows a live switch.
    setPlaceholder({text, QColor(), font()});
}

TextViewWithPlaceHolder::Placeholder TextViewWithPlaceHolder::placeholder() const {
    Placeholder shown = m_placeholder;
    if (!shown.color.isValid())
        shown.color = palette().color(QPalette::Active, QPalette::PlaceholderText);
    return shown;
}

void TextViewWithPlaceHolder::setPlaceholder(const Placeholder &placeholder) {
    m_placeholder = placeholder;
    viewport()->update();
}

bool TextViewWithPlaceHolder::isShowingPlaceholder() const {
    return !m_placeholder.text.isEmpty() && document()->isEmpty();
}

void TextViewWithPlaceHolder::paintEvent(QPaintEvent *event) {
    QTextEdit::paintEvent(event);
    if (!isShowingPlaceholder())
        return;
    const Placeholder hint = placeholder();
    QPainter painter(viewport());
    painter.setPen(hint.color);
    painter.setFont(hint.font);
    const QRectF area(kPlaceholderOrigin,
                      QSizeF(viewport()->width() - kPlaceholderOrigin.x(), viewport()->height()));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, hint.text);
}

void TextViewWithPlaceHolder::focusInEvent(QFocusEvent *event) {
    QTextEdit::focusInEvent(event);
    viewport()->update();
}

void TextViewWithPlaceHolder::focusOutEvent(QFocusEvent *event) {
    QTextEdit::focusOutEvent(event);
    viewport()->update();
}
