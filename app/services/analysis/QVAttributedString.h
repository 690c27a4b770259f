#pragma once

#include "core/models/QVSentenceDTO.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QTextLayout>

class QTextDocument;

// One stretch of an attributed string and its text colour.
struct QVColorRun {
    QVTextRange range;
    QColor color;

    bool operator==(const QVColorRun &other) const { return range == other.range && color == other.color; }
};

// A text with a foreground colour for every character, as runs that cover the
// whole text in order. A plain value: made on any thread, applied on the main
// thread through formatRanges() or applyTo().
//
//   QVAttributedString coloured(text, Qt::black);
//   coloured.setForegroundColor({3, 4}, Qt::red);
//   coloured.applyTo(resultView->document());
class QVAttributedString {
public:
    QVAttributedString() = default; // the null string: no text given
    QVAttributedString(const QString &text, const QColor &color);

    bool isNull() const { return m_null; }
    QString string() const { return m_text; }
    qsizetype length() const { return m_text.size(); }
    QList<QVColorRun> runs() const { return m_runs; }

    // The colour of one UTF-16 position; invalid outside the text.
    QColor foregroundColorAt(qsizetype index) const;
    // Gives the range (clipped to the text) one colour; neighbours of the same colour merge.
    void setForegroundColor(QVTextRange range, const QColor &color);
    // The texts of the runs in this colour, in order.
    QStringList stretchesWithColor(const QColor &color) const;

    // For QTextLayout / QPlainTextEdit extra formats.
    QList<QTextLayout::FormatRange> formatRanges() const;
    // Replaces the document's text and colours it.
    void applyTo(QTextDocument *document) const;

private:
    void mergeNeighbours();

    bool m_null = true;
    QString m_text;
    QList<QVColorRun> m_runs;
};
