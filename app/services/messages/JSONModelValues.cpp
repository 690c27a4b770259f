#include "services/messages/JSONModelValues.h"

#include <cmath>
#include <limits>

namespace jsonmodel {

QString string(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toString();
    default:
        return {};
    }
}

std::optional<qint64> wholeNumber(const QVariant &value) {
    bool ok = false;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
        return value.toLongLong();
    case QMetaType::ULongLong: {
        const qulonglong n = value.toULongLong();
        if (n > qulonglong(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return qint64(n);
    }
    case QMetaType::Double: {
        // JSON numbers arrive as doubles: only exact whole values within range count.
        const double d = value.toDouble();
        if (!std::isfinite(d) || std::trunc(d) != d || std::fabs(d) >= 9.2e18)
            return std::nullopt;
        return qint64(d);
    }
    case QMetaType::QString: {
        const qint64 n = value.toString().trimmed().toLongLong(&ok);
        return ok ? std::optional<qint64>(n) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

} // namespace jsonmodel
