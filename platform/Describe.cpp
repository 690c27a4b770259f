#include "Describe.h"

#include "Error.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <QUrl>

#include <cmath>

namespace platform {
namespace {

QString indent(int level) { return QString(level * 4, QLatin1Char(' ')); }

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

QString quoted(const QString &text) {
    if (isBareWord(text))
        return text;
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QStringLiteral("\\\""); break;
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default: out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString describeDouble(double value) {
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString describeBytes(const QByteArray &bytes) {
    constexpr int kShown = 24;
    QString hex = QString::fromLatin1(bytes.left(kShown).toHex());
    if (bytes.size() > kShown)
        hex += QStringLiteral(" ... ");
    return QStringLiteral("{length = %1, bytes = 0x%2}").arg(bytes.size()).arg(hex);
}

QString describeError(const Error &error);
QString describeAt(const QVariant &value, int level, bool nested);

QString describeList(const QVariantList &list, int level) {
    QString out = QStringLiteral("(\n");
    for (qsizetype i = 0; i < list.size(); ++i) {
        out += indent(level + 1) + describeAt(list.at(i), level + 1, true);
        out += (i + 1 < list.size()) ? QStringLiteral(",\n") : QStringLiteral("\n");
    }
    return out + indent(level) + QLatin1Char(')');
}

QString describeMap(const QVariantMap &map, int level) {
    QString out = QStringLiteral("{\n");
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        out += indent(level + 1) + quoted(it.key()) + QStringLiteral(" = ") +
               describeAt(it.value(), level + 1, true) + QStringLiteral(";\n");
    }
    return out + indent(level) + QLatin1Char('}');
}

QString describeAt(const QVariant &value, int level, bool nested) {
    if (!value.isValid() || (value.isNull() && value.typeId() != QMetaType::QString))
        return nested ? QStringLiteral("<null>") : QStringLiteral("(null)");
    switch (value.typeId()) {
    case QMetaType::QString:
        return nested ? quoted(value.toString()) : value.toString();
    case QMetaType::QVariantMap:
        return describeMap(value.toMap(), level);
    case QMetaType::QVariantHash: {
        QVariantMap sorted;
        const QVariantHash hash = value.toHash();
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            sorted.insert(it.key(), it.value());
        return describeMap(sorted, level);
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return describeList(value.toList(), level);
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Double:
    case QMetaType::Float:
        return describeDouble(value.toDouble());
    case QMetaType::QUrl:
        return value.toUrl().toString();
    case QMetaType::QByteArray:
        return describeBytes(value.toByteArray());
    case QMetaType::QDateTime:
        return value.toDateTime().toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000"));
    default:
        break;
    }
    if (value.canConvert<Error>() && value.metaType() == QMetaType::fromType<Error>())
        return describeError(value.value<Error>());
    if (value.canConvert<QString>()) {
        const QString text = value.toString();
        return nested ? quoted(text) : text;
    }
    return QStringLiteral("<%1>").arg(QString::fromLatin1(value.typeName()));
}

QString describeError(const Error &error) {
    if (error.isNull())
        return QStringLiteral("(null)");
    QString out = QStringLiteral("Error Domain=%1 Code=%2 \"%3\"")
                      .arg(error.domain())
                      .arg(error.code())
                      .arg(error.localizedDescription());
    if (!error.userInfo().isEmpty())
        out += QStringLiteral(" UserInfo=") + describeMap(error.userInfo(), 0);
    return out;
}

} // namespace

QString describe(const QVariant &value) { return describeAt(value, 0, false); }

} // namespace platform
