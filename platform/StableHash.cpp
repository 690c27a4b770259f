#include "StableHash.h"

#include <QByteArray>

namespace platform {

qint64 stableStringHash(const QString &text) {
    if (text.isEmpty())
        return 0;
    constexpr quint64 kOffsetBasis = 14695981039346656037ull;
    constexpr quint64 kPrime = 1099511628211ull;
    quint64 hash = kOffsetBasis;
    const QByteArray bytes = text.toUtf8();
    for (const char byte : bytes) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= kPrime;
    }
    return static_cast<qint64>(static_cast<quint32>(hash ^ (hash >> 32)));
}

} // namespace platform
