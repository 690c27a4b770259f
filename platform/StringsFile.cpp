#include "StringsFile.h"

#include <QFile>

namespace platform {
namespace {

// The text that decoded cleanly, and where decoding stopped when it did not.
struct Decoded {
    QString text;
    qsizetype badByte = -1;
    const char *encoding = "UTF-8";
};

bool inRange(unsigned char c, unsigned char low, unsigned char high) {
    return c >= low && c <= high;
}

// Offset of the first byte that starts no well-formed UTF-8 sequence, or -1. Overlong
// forms, encoded surrogates and code points past U+10FFFF are all refused.
qsizetype firstInvalidUtf8(const QByteArray &data, qsizetype from) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(data.at(i)); };
    const qsizetype n = data.size();
    qsizetype i = from;
    while (i < n) {
        const unsigned char lead = byte(i);
        int length = 0;
        unsigned char low = 0x80, high = 0xBF; // range of the second byte
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (inRange(lead, 0xC2, 0xDF)) {
            length = 2;
        } else if (inRange(lead, 0xE0, 0xEF)) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (inRange(lead, 0xF0, 0xF4)) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return i;
        }
        if (i + length > n || !inRange(byte(i + 1), low, high))
            return i;
        for (int k = 2; k < length; ++k) {
            if (!inRange(byte(i + k), 0x80, 0xBF))
                return i;
        }
        i += length;
    }
    return -1;
}

// `start` is 2 after a byte-order mark, 0 without one.
Decoded decodeUtf16(const QByteArray &data, bool bigEndian, qsizetype start) {
    Decoded out;
    out.encoding = "UTF-16";
    const qsizetype n = data.size();
    const auto unitAt = [&](qsizetype i) -> char16_t {
        const auto first = static_cast<unsigned char>(data.at(i));
        const auto second = static_cast<unsigned char>(data.at(i + 1));
        return static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    };
    out.text.reserve((n - start) / 2);
    qsizetype i = start;
    while (i < n) {
        if (i + 1 >= n) {
            out.badByte = i; // a trailing odd byte
            break;
        }
        const char16_t unit = unitAt(i);
        if (QChar::isLowSurrogate(unit)) {
            out.badByte = i;
            break;
        }
        if (QChar::isHighSurrogate(unit)) {
            if (i + 3 >= n || !QChar::isLowSurrogate(unitAt(i + 2))) {
                out.badByte = i;
                break;
            }
            out.text += QChar(unit);
            out.text += QChar(unitAt(i + 2));
            i += 4;
            continue;
        }
        out.text += QChar(unit);
        i += 2;
    }
    return out;
}

Decoded decode(const QByteArray &data) {
    if (data.startsWith("\xFF\xFE"))
        return decodeUtf16(data, false, 2);
    if (data.startsWith("\xFE\xFF"))
        return decodeUtf16(data, true, 2);
    // UTF-16 saved without a mark: a table's first character is ASCII, so one of its two
    // bytes is zero, which no UTF-8 table starts with.
    if (data.size() >= 2 && (data.at(0) == '\0') != (data.at(1) == '\0'))
        return decodeUtf16(data, data.at(0) == '\0', 0);
    Decoded out;
    const qsizetype start = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    out.badByte = firstInvalidUtf8(data, start);
    const qsizetype end = out.badByte < 0 ? data.size() : out.badByte;
    out.text = QString::fromUtf8(data.constData() + start, end - start);
    return out;
}

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

class Parser {
public:
    explicit Parser(const QString &text) : m_text(text) {}

    StringsFile::Entries run() {
        StringsFile::Entries entries;
        while (skipSpaceAndComments() && !atEnd()) {
            QString key, value;
            if (!readEntry(&key, &value)) {
                if (m_failure.isEmpty())
                    m_failure = QStringLiteral("malformed entry near offset ") + QString::number(m_pos);
                break;
            }
            entries.append({key, value});
        }
        return entries;
    }

    const QString &failure() const { return m_failure; }
    // Whether the parser stopped because the text ran out, rather than at something it read.
    bool stoppedAtEnd() const { return !m_failure.isEmpty() && atEnd(); }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    bool startsWith(const char *two) const {
        return m_pos + 1 < m_text.size() && m_text.at(m_pos) == QLatin1Char(two[0]) &&
               m_text.at(m_pos + 1) == QLatin1Char(two[1]);
    }

    // False when a comment never ends; the rest of the file is then not read.
    bool skipSpaceAndComments() {
        while (!atEnd()) {
            if (m_text.at(m_pos).isSpace()) {
                ++m_pos;
            } else if (startsWith("/*")) {
                const qsizetype end = m_text.indexOf(QLatin1String("*/"), m_pos + 2);
                if (end < 0) {
                    m_failure = QStringLiteral("malformed comment near offset ") + QString::number(m_pos) +
                                QStringLiteral(": no closing \"*/\"");
                    m_pos = m_text.size();
                    return false;
                }
                m_pos = end + 2;
            } else if (startsWith("//")) {
                const qsizetype end = m_text.indexOf(QLatin1Char('\n'), m_pos);
                m_pos = end < 0 ? m_text.size() : end + 1;
            } else {
                break;
            }
        }
        return true;
    }

    // "key" = "value"; or "key"; alone, short for "key" = "key";
    bool readEntry(QString *key, QString *value) {
        if (!readToken(key))
            return false;
        if (expect(QLatin1Char(';'))) {
            *value = *key;
            return true;
        }
        return expect(QLatin1Char('=')) && readToken(value) && expect(QLatin1Char(';'));
    }

    bool expect(QChar c) {
        if (!skipSpaceAndComments() || atEnd() || m_text.at(m_pos) != c)
            return false;
        ++m_pos;
        return true;
    }

    // Four hex digits after "\U" or "\u", nothing else.
    bool readHex4(char16_t *out) {
        if (m_pos + 4 > m_text.size())
            return false;
        int code = 0;
        for (int k = 0; k < 4; ++k) {
            const int digit = hexValue(m_text.at(m_pos + k));
            if (digit < 0)
                return false;
            code = code * 16 + digit;
        }
        m_pos += 4;
        *out = static_cast<char16_t>(code);
        return true;
    }

    // A "\U" escape, with the pair's second half when the first is a high surrogate.
    bool readUnicodeEscape(QString *result) {
        char16_t unit = 0;
        if (!readHex4(&unit) || QChar::isLowSurrogate(unit))
            return false;
        if (!QChar::isHighSurrogate(unit)) {
            *result += QChar(unit);
            return true;
        }
        char16_t low = 0;
        if (m_pos + 2 > m_text.size() || m_text.at(m_pos) != QLatin1Char('\\') ||
            (m_text.at(m_pos + 1) != QLatin1Char('U') && m_text.at(m_pos + 1) != QLatin1Char('u')))
            return false;
        m_pos += 2;
        if (!readHex4(&low) || !QChar::isLowSurrogate(low))
            return false;
        *result += QChar(unit);
        *result += QChar(low);
        return true;
    }

    // A quoted string, or a bare word of letters, digits and "_.-".
    bool readToken(QString *out) {
        if (!skipSpaceAndComments() || atEnd())
            return false;
        if (m_text.at(m_pos) != QLatin1Char('"')) {
            const qsizetype start = m_pos;
            while (!atEnd() &&
                   (m_text.at(m_pos).isLetterOrNumber() || QStringLiteral("_.-").contains(m_text.at(m_pos))))
                ++m_pos;
            *out = m_text.mid(start, m_pos - start);
            return m_pos > start;
        }
        ++m_pos;
        QString result;
        while (!atEnd()) {
            const QChar c = m_text.at(m_pos++);
            if (c == QLatin1Char('"')) {
                *out = result;
                return true;
            }
            if (c != QLatin1Char('\\')) {
                result += c;
                continue;
            }
            if (atEnd())
                return false;
            const QChar e = m_text.at(m_pos++);
            switch (e.unicode()) {
            case 'n':
                result += QLatin1Char('\n');
                break;
            case 't':
                result += QLatin1Char('\t');
                break;
            case 'r':
                result += QLatin1Char('\r');
                break;
            case 'U':
            case 'u':
                if (!readUnicodeEscape(&result))
                    return false;
                break;
            default:
                result += e;
                break;
            }
        }
        return false;
    }

    const QString &m_text;
    qsizetype m_pos = 0;
    QString m_failure;
};

} // namespace

StringsFile::Entries StringsFile::parse(const QByteArray &data, QString *error) {
    const Decoded decoded = decode(data);
    Parser parser(decoded.text);
    const Entries entries = parser.run();
    QString failure = parser.failure();
    // A fault the parser met before the undecodable bytes comes first; one it met only
    // because the text ended there is the decoding fault.
    if (decoded.badByte >= 0 && (failure.isEmpty() || parser.stoppedAtEnd())) {
        failure = QStringLiteral("invalid ") + QLatin1String(decoded.encoding) +
                  QStringLiteral(" at byte offset ") + QString::number(decoded.badByte);
    }
    if (error)
        *error = failure;
    return entries;
}

StringsFile::Entries StringsFile::read(const QString &path, QString *error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return {};
    }
    return parse(file.readAll(), error);
}

} // namespace platform
