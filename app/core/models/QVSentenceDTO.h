#pragma once

#include <QString>
#include <QtGlobal>

// Where a stretch lies in an analysed text (UTF-16 positions, like QString).
struct QVTextRange {
    quint64 location = 0;
    quint64 length = 0;

    bool operator==(const QVTextRange &other) const {
        return location == other.location && length == other.length;
    }
};

// One tagged stretch of text, as the text analysis cuts it into sentences. Not persisted.
class QVSentenceDTO {
public:
    QVSentenceDTO() = default;
    QVSentenceDTO(qint64 tag, QVTextRange range, QString text);
    static QVSentenceDTO initWithTag(qint64 tag, QVTextRange range, const QString &text);

    qint64 tag() const { return m_tag; }
    void setTag(qint64 tag) { m_tag = tag; }
    QVTextRange range() const { return m_range; }
    void setRange(QVTextRange range) { m_range = range; }
    QString text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }

private:
    qint64 m_tag = 0;
    QVTextRange m_range;
    QString m_text;
};
