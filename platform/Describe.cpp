#include "Describe.h"

#include "Error.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <QUrl>

#include <cmath>

namespace platform {
namespace {

bool isBareWord(const QString &text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.') ||
              c == QLatin1Char('$') || c == QLatin1Char('/') || c == QLatin1Char(':')))
            return false;
    }
    return true;
}

void appendQuoted(QString &out, const QString &text) {
    if (isBareWord(text)) {
        out += text;
        return;
    }
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            out += c;
        }
    }
    out += QLatin1Char('"');
}

QString describeDouble(double value) {
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString describeBytes(const QByteArray &bytes) {
    constexpr int kShown = 24;
    QString out = QStringLiteral("{length = ") + QString::number(bytes.size()) +
                  QStringLiteral(", bytes = 0x") + QString::fromLatin1(bytes.left(kShown).toHex());
    if (bytes.size() > kShown)
        out += QStringLiteral(" ... ");
    return out + QLatin1Char('}');
}

// Writes every value straight into one string: nothing is built and then copied into
// its parent, so a deep value costs no more than a flat one of the same size.
class Writer {
public:
    QString take() { return std::move(m_out); }

    // `level` sets the indentation; `depth` counts every collection entered, also through errors.
    void value(const QVariant &value, int level, int depth, bool nested) {
        if (!value.isValid() || (value.isNull() && value.typeId() != QMetaType::QString)) {
            m_out += nested ? QLatin1String("<null>") : QLatin1String("(null)");
            return;
        }
        switch (value.typeId()) {
        case QMetaType::QString:
            text(value.toString(), nested);
            return;
        case QMetaType::QVariantMap:
            map(value.toMap(), level, depth);
            return;
        case QMetaType::QVariantHash: {
            QVariantMap sorted;
            const QVariantHash hash = value.toHash();
            for (auto it = hash.cbegin(); it != hash.cend(); ++it)
                sorted.insert(it.key(), it.value());
            map(sorted, level, depth);
            return;
        }
        case QMetaType::QVariantList:
        case QMetaType::QStringList:
            list(value.toList(), level, depth);
            return;
        case QMetaType::Bool:
            m_out += value.toBool() ? QLatin1Char('1') : QLatin1Char('0');
            return;
        case QMetaType::Double:
        case QMetaType::Float:
            m_out += describeDouble(value.toDouble());
            return;
        case QMetaType::QUrl:
            m_out += value.toUrl().toString();
            return;
        case QMetaType::QByteArray:
            m_out += describeBytes(value.toByteArray());
            return;
        case QMetaType::QDateTime:
            m_out += value.toDateTime().toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000"));
            return;
        default:
            break;
        }
        if (value.metaType() == QMetaType::fromType<Error>()) {
            error(value.value<Error>(), depth);
            return;
        }
        if (value.canConvert<QString>()) {
            text(value.toString(), nested);
            return;
        }
        m_out += QLatin1Char('<') + QString::fromLatin1(value.typeName()) + QLatin1Char('>');
    }

    void error(const Error &error, int depth) {
        if (error.isNull()) {
            m_out += QLatin1String("(null)");
            return;
        }
        m_out += QLatin1String("Error Domain=") + error.domain() + QLatin1String(" Code=") +
                 QString::number(error.code()) + QLatin1String(" \"") + error.localizedDescription() +
                 QLatin1Char('"');
        if (!error.userInfo().isEmpty()) {
            m_out += QLatin1String(" UserInfo=");
            map(error.userInfo(), 0, depth);
        }
    }

private:
    void indent(int level) { m_out.append(QString(level * 4, QLatin1Char(' '))); }

    void text(const QString &text, bool nested) {
        if (nested)
            appendQuoted(m_out, text);
        else
            m_out += text;
    }

    bool cut(int depth) {
        if (depth < kDescribeMaxDepth)
            return false;
        m_out += QChar(0x2026);
        return true;
    }

    void list(const QVariantList &list, int level, int depth) {
        if (cut(depth))
            return;
        m_out += QLatin1String("(\n");
        for (qsizetype i = 0; i < list.size(); ++i) {
            indent(level + 1);
            value(list.at(i), level + 1, depth + 1, true);
            m_out += (i + 1 < list.size()) ? QLatin1String(",\n") : QLatin1String("\n");
        }
        indent(level);
        m_out += QLatin1Char(')');
    }

    void map(const QVariantMap &map, int level, int depth) {
        if (cut(depth))
            return;
        m_out += QLatin1String("{\n");
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            indent(level + 1);
            appendQuoted(m_out, it.key());
            m_out += QLatin1String(" = ");
            value(it.value(), level + 1, depth + 1, true);
            m_out += QLatin1String(";\n");
        }
        indent(level);
        m_out += QLatin1Char('}');
    }

    QString m_out;
};

} // namespace

QString describe(const QVariant &value) {
    Writer writer;
    writer.value(value, 0, 0, false);
    return writer.take();
}

} // namespace platform
