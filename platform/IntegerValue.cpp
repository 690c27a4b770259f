#include "IntegerValue.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <limits>

namespace platform {
namespace {

constexpr double kTwo63 = 9223372036854775808.0;
constexpr double kTwo64 = 18446744073709551616.0;

bool fitsInt64(double value) {
    return value >= -kTwo63 && value < kTwo63;
}

std::optional<qint64> fromDouble(double value) {
    if (!fitsInt64(value)) // also false for NaN
        return std::nullopt;
    return static_cast<qint64>(value);
}

bool isDigits(const QString &text) {
    return std::all_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

bool isWholeNumberText(const QString &text) {
    qsizetype i = (text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+'))) ? 1 : 0;
    if (i >= text.size())
        return false;
    for (; i < text.size(); ++i) {
        if (text.at(i) < QLatin1Char('0') || text.at(i) > QLatin1Char('9'))
            return false;
    }
    return true;
}

std::optional<qint64> fromText(const QString &text) {
    bool ok = false;
    const qint64 whole = text.toLongLong(&ok);
    if (ok)
        return whole;
    // Digits that do not fit: read as a double, "-9223372036854775809" would round into range.
    if (isWholeNumberText(text))
        return std::nullopt;
    // A decimal fraction is cut off before the whole part could round out of range as a double
    // ("9223372036854775807.0" fits).
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    if (point > 0 && isWholeNumberText(text.left(point)) &&
        (point + 1 == text.size() || isDigits(text.mid(point + 1))))
        return fromText(text.left(point));
    const double number = text.toDouble(&ok);
    // Qt answers inf and not-ok for a literal beyond the double range ("1e400").
    if (!ok && !std::isinf(number))
        return 0;
    return fromDouble(number);
}

} // namespace

qint64 clampToInt64(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= kTwo63)
        return std::numeric_limits<qint64>::max();
    if (value < -kTwo63)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(value);
}

quint64 clampToUInt64(double value) {
    if (value >= kTwo64)
        return std::numeric_limits<quint64>::max();
    if (value >= kTwo63)
        return static_cast<quint64>(value);
    return static_cast<quint64>(clampToInt64(value));
}

std::optional<qint64> integerFromValue(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::Double:
    case QMetaType::Float:
        return fromDouble(value.toDouble());
    case QMetaType::ULongLong:
    case QMetaType::ULong: {
        const quint64 whole = value.toULongLong();
        if (whole > static_cast<quint64>(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return static_cast<qint64>(whole);
    }
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return fromText(value.toString().trimmed());
    default:
        break;
    }
    bool ok = false;
    const qint64 whole = value.toLongLong(&ok);
    return ok ? whole : 0;
}

} // namespace platform
