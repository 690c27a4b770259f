#include "core/models/QVSentenceDTO.h"

#include <utility>

QVSentenceDTO::QVSentenceDTO(qint64 tag, QVTextRange range, QString text)
    : m_tag(tag), m_range(range), m_text(std::move(text)) {}

QVSentenceDTO QVSentenceDTO::initWithTag(qint64 tag, QVTextRange range, const QString &text) {
    return QVSentenceDTO(tag, range, text);
}
