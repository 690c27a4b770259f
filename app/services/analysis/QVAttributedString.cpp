#include "services/analysis/QVAttributedString.h"

#include <QTextCursor>
#include <QTextDocument>

QVAttributedString::QVAttributedString(const QString &text, const QColor &color)
    : m_null(false), m_text(text) {
    if (!text.isEmpty())
        m_runs.append({{0, static_cast<quint64>(text.size())}, color});
}

QColor QVAttributedString::foregroundColorAt(qsizetype index) const {
    if (index < 0)
        return {};
    const quint64 at = static_cast<quint64>(index);
    for (const QVColorRun &run : m_runs) {
        if (at >= run.range.location && at - run.range.location < run.range.length)
            return run.color;
    }
    return {};
}

void QVAttributedString::setForegroundColor(QVTextRange range, const QColor &color) {
    const quint64 size = static_cast<quint64>(m_text.size());
    if (range.location >= size || range.length == 0)
        return;
    const quint64 start = range.location;
    const quint64 end = start + std::min(range.length, size - start);

    QList<QVColorRun> runs;
    bool placed = false;
    for (const QVColorRun &run : m_runs) {
        const quint64 runStart = run.range.location;
        const quint64 runEnd = runStart + run.range.length;
        if (runEnd <= start || runStart >= end) {
            if (runStart >= end && !placed) {
                runs.append({{start, end - start}, color});
                placed = true;
            }
            runs.append(run);
            continue;
        }
        if (runStart < start)
            runs.append({{runStart, start - runStart}, run.color});
        if (!placed) {
            runs.append({{start, end - start}, color});
            placed = true;
        }
        if (runEnd > end)
            runs.append({{end, runEnd - end}, run.color});
    }
    if (!placed)
        runs.append({{start, end - start}, color});
    m_runs = runs;
    mergeNeighbours();
}

void QVAttributedString::mergeNeighbours() {
    QList<QVColorRun> merged;
    for (const QVColorRun &run : m_runs) {
        if (!merged.isEmpty() && merged.last().color == run.color &&
            merged.last().range.location + merged.last().range.length == run.range.location)
            merged.last().range.length += run.range.length;
        else
            merged.append(run);
    }
    m_runs = merged;
}

QStringList QVAttributedString::stretchesWithColor(const QColor &color) const {
    QStringList stretches;
    for (const QVColorRun &run : m_runs) {
        if (run.color == color)
            stretches.append(m_text.mid(static_cast<qsizetype>(run.range.location),
                                        static_cast<qsizetype>(run.range.length)));
    }
    return stretches;
}

QList<QTextLayout::FormatRange> QVAttributedString::formatRanges() const {
    QList<QTextLayout::FormatRange> ranges;
    for (const QVColorRun &run : m_runs) {
        QTextLayout::FormatRange range;
        range.start = static_cast<int>(run.range.location);
        range.length = static_cast<int>(run.range.length);
        range.format.setForeground(run.color);
        ranges.append(range);
    }
    return ranges;
}

void QVAttributedString::applyTo(QTextDocument *document) const {
    if (!document)
        return;
    // A document counts a line break as one position, as the text does.
    document->setPlainText(m_text);
    QTextCursor cursor(document);
    for (const QVColorRun &run : m_runs) {
        cursor.setPosition(static_cast<int>(run.range.location));
        cursor.setPosition(static_cast<int>(run.range.location + run.range.length), QTextCursor::KeepAnchor);
        QTextCharFormat format;
        format.setForeground(run.color);
        cursor.mergeCharFormat(format);
    }
}
