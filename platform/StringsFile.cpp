#include "StringsFile.h"

#include <QFile>
#include <QStringDecoder>

namespace platform {
namespace {

class Parser {
public:
    explicit Parser(QString text) : m_text(std::move(text)) {}

    StringsFile::Entries run(QString *error) {
        StringsFile::Entries entries;
        while (true) {
            skipSpaceAndComments();
            if (atEnd())
                break;
            QString key, value;
            if (!readToken(&key) || !expect(QLatin1Char('=')) || !readToken(&value) ||
                !expect(QLatin1Char(';'))) {
                if (error)
                    *error = QStringLiteral("malformed entry near offset %1").arg(m_pos);
                break;
            }
            entries.append({key, value});
        }
        return entries;
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }

    void skipSpaceAndComments() {
        while (!atEnd()) {
            const QChar c = m_text.at(m_pos);
            if (c.isSpace()) {
                ++m_pos;
            } else if (m_text.mid(m_pos, 2) == QLatin1String("/*")) {
                const qsizetype end = m_text.indexOf(QLatin1String("*/"), m_pos + 2);
                m_pos = end < 0 ? m_text.size() : end + 2;
            } else if (m_text.mid(m_pos, 2) == QLatin1String("//")) {
                const qsizetype end = m_text.indexOf(QLatin1Char('\n'), m_pos);
                m_pos = end < 0 ? m_text.size() : end + 1;
            } else {
                break;
            }
        }
    }

    bool expect(QChar c) {
        skipSpaceAndComments();
        if (atEnd() || m_text.at(m_pos) != c)
            return false;
        ++m_pos;
        return true;
    }

    // A quoted string, or a bare word of letters, digits and "_.-".
    bool readToken(QString *out) {
        skipSpaceAndComments();
        if (atEnd())
            return false;
        if (m_text.at(m_pos) != QLatin1Char('"')) {
            const qsizetype start = m_pos;
            while (!atEnd() && (m_text.at(m_pos).isLetterOrNumber() ||
                                QStringLiteral("_.-").contains(m_text.at(m_pos))))
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
            case 'n': result += QLatin1Char('\n'); break;
            case 't': result += QLatin1Char('\t'); break;
            case 'r': result += QLatin1Char('\r'); break;
            case 'U':
            case 'u': {
                bool ok = false;
                const uint code = m_text.mid(m_pos, 4).toUInt(&ok, 16);
                if (!ok)
                    return false;
                result += QChar(char16_t(code));
                m_pos += 4;
                break;
            }
            default: result += e; break;
            }
        }
        return false;
    }

    QString m_text;
    qsizetype m_pos = 0;
};

QString decode(const QByteArray &data) {
    if (data.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(data.mid(2));
    if (data.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE).decode(data.mid(2));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(data);
}

} // namespace

StringsFile::Entries StringsFile::parse(const QByteArray &data, QString *error) {
    return Parser(decode(data)).run(error);
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
