#include "ui/controls/QVMAutoGrowingTextField.h"

#include <QAbstractTextDocumentLayout>

#include <cmath>
#include <memory>

QVMAutoGrowingTextField::QVMAutoGrowingTextField(QWidget *parent) : QTextEdit(parent) {
    setAcceptRichText(false);
    setWraps(true);
    connect(this, &QTextEdit::textChanged, this, &QWidget::updateGeometry);
}

void QVMAutoGrowingTextField::setWraps(bool wraps) {
    setLineWrapMode(wraps ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    setVerticalScrollBarPolicy(wraps ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    updateGeometry();
}

QSize QVMAutoGrowingTextField::intrinsicContentSize() const {
    if (!wraps())
        return QTextEdit::sizeHint();
    // The text laid out at the width the field has now, as tall as it needs.
    const QMargins margins = contentsMargins() + viewportMargins();
    std::unique_ptr<QTextDocument> text(document()->clone());
    text->setTextWidth(std::max(0, width() - margins.left() - margins.right()));
    const qreal height = text->documentLayout()->documentSize().height();
    return QSize(width(), int(std::ceil(height)) + margins.top() + margins.bottom());
}
