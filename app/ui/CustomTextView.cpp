#include "CustomTextView.h"

#include "core/DevLog.h"

#include <QAbstractTextDocumentLayout>

#include <cmath>

CustomTextView::CustomTextView(QWidget *parent) : QTextEdit(parent) {
    connect(this, &QTextEdit::textChanged, this, &QWidget::updateGeometry);
}

QSize CustomTextView::intrinsicContentSize() const {
    QTextDocument *text = document();
    const qreal width = text->idealWidth();
    const qreal height = text->documentLayout() ? text->documentLayout()->documentSize().height() : 0;
    DevLog(QString::fromLatin1(kSizeLogFormat), width, height);
    return QSize(int(std::ceil(width)), int(std::ceil(height)));
}
