#include "services/analysis/QVSynonyms.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace {

// A scanner over JSON text already known to be valid.
class JsonScanner {
public:
    explicit JsonScanner(const QByteArray &text) : m_text(text) {}

    QStringList objectKeys() {
        QStringList keys;
        skipSpace();
        if (!take('{'))
            return keys;
        while (true) {
            skipSpace();
            if (peek() != '"')
                break;
            const qsizetype start = m_at;
            skipString();
            keys.append(decodedString(m_text.mid(start, m_at - start)));
            skipSpace();
            if (!take(':'))
                break;
            skipValue();
            skipSpace();
            if (!take(','))
                break;
        }
        return keys;
    }

private:
    char peek() const { return m_at < m_text.size() ? m_text.at(m_at) : '\0'; }
    bool take(char c) {
        if (peek() != c)
            return false;
        ++m_at;
        return true;
    }
    void skipSpace() {
        while (m_at < m_text.size() && QByteArrayView(" \t\r\n").contains(m_text.at(m_at)))
            ++m_at;
    }
    void skipString() {
        ++m_at; // the opening quote
        while (m_at < m_text.size()) {
            const char c = m_text.at(m_at++);
            if (c == '\\')
                ++m_at;
            else if (c == '"')
                return;
        }
    }
    void skipValue() {
        skipSpace();
        int depth = 0;
        while (m_at < m_text.size()) {
            const char c = peek();
            if (c == '"') {
                skipString();
            } else if (c == '{' || c == '[') {
                ++depth;
                ++m_at;
            } else if (c == '}' || c == ']') {
                if (depth == 0)
                    return;
                --depth;
                ++m_at;
            } else if (c == ',' && depth == 0) {
                return;
            } else {
                ++m_at;
            }
            if (depth == 0 && (c == '"' || c == '}' || c == ']'))
                return;
        }
    }
    // The string token with its escapes resolved by the JSON parser itself.
    static QString decodedString(const QByteArray &token) {
        return QJsonDocument::fromJson("[" + token + "]").array().at(0).toString();
    }

    const QByteArray &m_text;
    qsizetype m_at = 0;
};

} // namespace

QStringList QVSynonyms::orderedKeysOfJsonObject(const QByteArray &json) {
    if (!QJsonDocument::fromJson(json).isObject())
        return {};
    QStringList keys = JsonScanner(json).objectKeys();
    keys.removeDuplicates();
    return keys;
}

QVSynonyms QVSynonyms::build(const QStringList &keys, const QVariantMap &values,
                             const QString &originalText) {
    QVSynonyms synonyms;
    synonyms.m_original = originalText;
    for (const QString &key : keys)
        synonyms.m_storagePartOfSpeech.append(
            QVPartOfSpeechObject::initWithArray(values.value(key).toList(), key));
    return synonyms;
}

QVSynonyms QVSynonyms::initWithJson(const QByteArray &json, const QString &originalText,
                                    platform::Error *error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject()) {
        if (error)
            *error = platform::Error(QStringLiteral("QJsonParseError"), parseError.error,
                                     parseError.error == QJsonParseError::NoError
                                         ? QStringLiteral("The synonyms reply is not an object")
                                         : parseError.errorString());
        return build({}, {}, originalText);
    }
    return build(orderedKeysOfJsonObject(json), document.object().toVariantMap(), originalText);
}

QVSynonyms QVSynonyms::initWithDictionary(const QVariantMap &dictionary, const QString &originalText) {
    return build(dictionary.keys(), dictionary, originalText);
}
