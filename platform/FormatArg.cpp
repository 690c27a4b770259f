#include "FormatArg.h"

#include "Describe.h"
#include "IntegerValue.h"

#include <cmath>

namespace platform {
namespace {

bool isNumberType(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Bool:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// Text that reads as a number; a literal beyond the double range reads as an infinity.
bool parseNumber(const QString &text, double *number) {
    bool ok = false;
    *number = text.trimmed().toDouble(&ok);
    return ok || std::isinf(*number);
}

} // namespace

FormatArg::FormatArg(const char *value) {
    if (value) {
        m_kind = Kind::String;
        m_string = QString::fromUtf8(value);
    }
}

FormatArg::FormatArg(const QVariant &value) {
    if (!value.isValid() || (value.isNull() && value.typeId() != QMetaType::QString))
        return;
    switch (value.typeId()) {
    case QMetaType::QString:
        m_kind = Kind::String;
        m_string = value.toString();
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        m_kind = Kind::Double;
        m_double = value.toDouble();
        return;
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        m_kind = Kind::Unsigned;
        m_unsigned = value.toULongLong();
        return;
    default:
        break;
    }
    if (isNumberType(value)) {
        m_kind = Kind::Signed;
        m_signed = value.toLongLong();
        return;
    }
    m_kind = Kind::Object;
    m_object = value;
}

FormatArg::FormatArg(const Error &value) {
    if (value.isNull())
        return;
    m_kind = Kind::Object;
    m_object = QVariant::fromValue(value);
}

void FormatArg::setQObject(const QObject *object) {
    if (!object)
        return;
    m_kind = Kind::String;
    m_string = QLatin1Char('<') + QString::fromLatin1(object->metaObject()->className()) +
               QStringLiteral(": 0x") + QString::number(reinterpret_cast<quintptr>(object), 16) +
               QLatin1Char('>');
}

QString FormatArg::description() const {
    switch (m_kind) {
    case Kind::Null:
        return QStringLiteral("(null)");
    case Kind::String:
        return m_string;
    case Kind::Signed:
        return QString::number(m_signed);
    case Kind::Unsigned:
        return QString::number(m_unsigned);
    case Kind::Double:
        return describe(QVariant(m_double));
    case Kind::Object:
        return describe(m_object);
    }
    return QString();
}

bool FormatArg::isNumeric() const {
    switch (m_kind) {
    case Kind::Signed:
    case Kind::Unsigned:
    case Kind::Double:
        return true;
    case Kind::String: {
        double number = 0;
        return parseNumber(m_string, &number);
    }
    default:
        return false;
    }
}

bool FormatArg::isNonFinite() const {
    return (m_kind == Kind::Double || m_kind == Kind::String) && !std::isfinite(toDouble());
}

qint64 FormatArg::toSigned() const {
    switch (m_kind) {
    case Kind::Signed:
        return m_signed;
    case Kind::Unsigned:
        return static_cast<qint64>(m_unsigned);
    case Kind::Double:
        return clampToInt64(m_double);
    case Kind::String: {
        bool ok = false;
        const qint64 whole = m_string.trimmed().toLongLong(&ok);
        return ok ? whole : clampToInt64(toDouble());
    }
    default:
        return 0;
    }
}

quint64 FormatArg::toUnsigned() const {
    switch (m_kind) {
    case Kind::Unsigned:
        return m_unsigned;
    case Kind::Double:
        return clampToUInt64(m_double);
    case Kind::String: {
        bool ok = false;
        const quint64 whole = m_string.trimmed().toULongLong(&ok);
        return ok ? whole : clampToUInt64(toDouble());
    }
    default:
        return static_cast<quint64>(toSigned());
    }
}

double FormatArg::toDouble() const {
    switch (m_kind) {
    case Kind::Signed:
        return static_cast<double>(m_signed);
    case Kind::Unsigned:
        return static_cast<double>(m_unsigned);
    case Kind::Double:
        return m_double;
    case Kind::String: {
        double number = 0;
        parseNumber(m_string, &number);
        return number;
    }
    default:
        return 0;
    }
}

} // namespace platform
