#include "ui/controls/TextViewWithPlaceHolder.h"

#include "ui/controls/QVMLongRunWrapping.h"

#include <QPainter>

TextViewWithPlaceHolder::TextViewWithPlaceHolder(QWidget *parent) : QTextEdit(parent) {
    // An empty view repaints when text comes or goes, so the hint follows.
    connect(this, &QTextEdit::textChanged, viewport(), qOverload<>(&QWidget::update));
    QVMLongRunWrapping::attach(this);
}

void TextViewWithPlaceHolder::setPlaceHolderString(const QString &text) {
    setPlaceholder({text, QColor(Qt::gray), font()});
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
    QPainter painter(viewport());
    painter.setPen(m_placeholder.color);
    painter.setFont(m_placeholder.font);
    const QRectF area(kPlaceholderOrigin,
                      QSizeF(viewport()->width() - kPlaceholderOrigin.x(), viewport()->height()));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_placeholder.text);
}

void TextViewWithPlaceHolder::focusInEvent(QFocusEvent *event) {
    QTextEdit::focusInEvent(event);
    viewport()->update();
}

void TextViewWithPlaceHolder::focusOutEvent(QFocusEvent *event) {
    QTextEdit::focusOutEvent(event);
    viewport()->update();
}
