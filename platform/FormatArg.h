#pragma once

#include "Error.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <cstddef>
#include <string>
#include <type_traits>

namespace platform {

// One argument of a printf-style format with "%@". Built implicitly from the
// values callers pass, so the formatter knows each argument's type and never
// reads memory it was not given.
class FormatArg {
public:
    enum class Kind { Null, String, Signed, Unsigned, Double, Object };

    FormatArg(std::nullptr_t) {}
    FormatArg(const QString &value) : m_kind(Kind::String), m_string(value) {}
    FormatArg(const char *value);
    FormatArg(char *value) : FormatArg(static_cast<const char *>(value)) {}
    FormatArg(const std::string &value) : m_kind(Kind::String), m_string(QString::fromStdString(value)) {}
    FormatArg(const QByteArray &value) : m_kind(Kind::String), m_string(QString::fromUtf8(value)) {}
    FormatArg(int value) : m_kind(Kind::Signed), m_signed(value) {}
    FormatArg(long value) : m_kind(Kind::Signed), m_signed(value) {}
    FormatArg(long long value) : m_kind(Kind::Signed), m_signed(value) {}
    FormatArg(unsigned value) : m_kind(Kind::Unsigned), m_unsigned(value) {}
    FormatArg(unsigned long value) : m_kind(Kind::Unsigned), m_unsigned(value) {}
    FormatArg(unsigned long long value) : m_kind(Kind::Unsigned), m_unsigned(value) {}
    FormatArg(double value) : m_kind(Kind::Double), m_double(value) {}
    // Booleans print as the platform's numbers do: 1 or 0.
    FormatArg(bool value) : m_kind(Kind::Signed), m_signed(value ? 1 : 0) {}
    FormatArg(const QVariant &value);
    FormatArg(const QVariantMap &value) : m_kind(Kind::Object), m_object(value) {}
    FormatArg(const QVariantList &value) : m_kind(Kind::Object), m_object(value) {}
    FormatArg(const QStringList &value) : m_kind(Kind::Object), m_object(value) {}
    FormatArg(const QUrl &value) : m_kind(Kind::Object), m_object(value) {}
    FormatArg(const QDateTime &value) : m_kind(Kind::Object), m_object(value) {}
    FormatArg(const QJsonObject &value) : FormatArg(value.toVariantMap()) {}
    FormatArg(const QJsonArray &value) : FormatArg(value.toVariantList()) {}
    FormatArg(const QJsonValue &value) : FormatArg(value.toVariant()) {}
    FormatArg(const Error &value);

    // Objects print as "<ClassName: 0x...>"; any other raw pointer is refused at compile time.
    template <typename T> FormatArg(T *pointer) {
        static_assert(std::is_base_of_v<QObject, std::remove_cv_t<T>>,
                      "format arguments take values, strings or QObject pointers");
        setQObject(pointer);
    }

    Kind kind() const { return m_kind; }
    // What "%@" prints; "(null)" for nothing.
    QString description() const;
    // Numeric views; strings parse as numbers when they hold one. Integer views of a
    // floating value truncate toward zero and clamp to the 64-bit range (NaN is 0).
    bool isNumeric() const;
    // A floating value (or text) that is NaN or infinite, which integer directives print as such.
    bool isNonFinite() const;
    qint64 toSigned() const;
    quint64 toUnsigned() const;
    double toDouble() const;

private:
    void setQObject(const QObject *object);

    Kind m_kind = Kind::Null;
    QString m_string;
    qint64 m_signed = 0;
    quint64 m_unsigned = 0;
    double m_double = 0;
    QVariant m_object;
};

} // namespace platform
