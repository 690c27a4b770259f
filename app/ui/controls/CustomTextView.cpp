#include "ui/controls/CustomTextView.h"

#include "core/DevLog.h"

#include <QAbstractTextDocumentLayout>

#include <cmath>
#include <memory>

CustomTextView::CustomTextView(QWidget *parent) : QTextEdit(parent) {
    connect(this, &QTextEdit::textChanged, this, &QWidget::updateGeometry);
}

QSize CustomTextView::intrinsicContentSize() const {
    // The view lays its text out lazily; a copy laid out completely at the
    // view's text width gives the size the text uses now.
    std::unique_ptr<QTextDocument> text(document()->clone());
    text->setTextWidth(std::max(0, viewport()->width()));
    const qreal width = text->idealWidth();
    const qreal height = text->documentLayout()->documentSize().height();
    DevLog(QString::fromLatin1(kSizeLogFormat), width, height);
    return QSize(int(std::ceil(width)), int(std::ceil(height)));
}
