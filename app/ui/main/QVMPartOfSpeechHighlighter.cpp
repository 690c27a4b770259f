#include "ui/main/QVMPartOfSpeechHighlighter.h"

#include "ui/style/QVMColor.h"

#include <QTextDocument>

QVMPartOfSpeechHighlighter::QVMPartOfSpeechHighlighter(QTextDocument *document)
    : QSyntaxHighlighter(document) {}

void QVMPartOfSpeechHighlighter::setColors(const QString &text, const QList<QVMColorSpan> &spans) {
    m_text = text;
    m_spans = spans;
    m_checkedRevision = -1;
    rehighlight();
}

void QVMPartOfSpeechHighlighter::clearColors() {
    if (m_spans.isEmpty() && m_text.isEmpty())
        return;
    m_text.clear();
    m_spans.clear();
    m_checkedRevision = -1;
    rehighlight();
}

void QVMPartOfSpeechHighlighter::setBackground(const QColor &background) {
    if (background == m_background)
        return;
    m_background = background;
    if (!m_spans.isEmpty())
        rehighlight();
}

bool QVMPartOfSpeechHighlighter::textMatches() {
    if (m_spans.isEmpty())
        return false;
    QTextDocument *doc = document();
    if (!doc)
        return false;
    if (doc->revision() != m_checkedRevision) {
        m_checkedRevision = doc->revision();
        m_matches = doc->toPlainText() == m_text;
    }
    return m_matches;
}

QColor QVMPartOfSpeechHighlighter::colorAt(int position) const {
    QTextDocument *doc = document();
    if (!doc || m_spans.isEmpty() || doc->toPlainText() != m_text)
        return {};
    QColor found;
    for (const QVMColorSpan &span : m_spans) {
        if (position >= span.start && position < span.start + span.length)
            found = span.color;
    }
    return found;
}

void QVMPartOfSpeechHighlighter::highlightBlock(const QString &text) {
    if (!textMatches())
        return;
    const int blockStart = currentBlock().position();
    const int blockEnd = blockStart + int(text.size());
    for (const QVMColorSpan &span : std::as_const(m_spans)) {
        const int start = qMax(span.start, blockStart);
        const int end = qMin(span.start + span.length, blockEnd);
        if (end <= start)
            continue;
        QTextCharFormat format;
        format.setForeground(QVMColor::readableOn(span.color, m_background));
        setFormat(start - blockStart, end - start, format);
    }
}
