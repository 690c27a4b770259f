#include "ByteRange.h"

#include <algorithm>

namespace qvtest {

namespace {

bool parseNumber(const QByteArray &text, qint64 *value) {
    if (text.isEmpty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    bool ok = false;
    *value = text.toLongLong(&ok);
    return ok;
}

} // namespace

ByteRange ByteRange::resolve(const QByteArray &rangeHeader, qint64 size) {
    ByteRange whole;
    const QByteArray spec = rangeHeader.trimmed();
    if (!spec.startsWith("bytes="))
        return whole;
    const QByteArray set = spec.mid(6).trimmed();
    if (set.contains(','))
        return whole;
    const int dash = set.indexOf('-');
    if (dash < 0)
        return whole;
    const QByteArray from = set.left(dash).trimmed();
    const QByteArray to = set.mid(dash + 1).trimmed();

    ByteRange range;
    range.kind = Kind::Partial;
    if (from.isEmpty()) { // suffix: the last N bytes
        qint64 suffix = 0;
        if (!parseNumber(to, &suffix))
            return whole;
        if (suffix == 0 || size == 0) {
            range.kind = Kind::Unsatisfiable;
            return range;
        }
        range.first = std::max<qint64>(0, size - suffix);
        range.last = size - 1;
        return range;
    }
    if (!parseNumber(from, &range.first))
        return whole;
    range.last = size - 1;
    if (!to.isEmpty()) {
        qint64 last = 0;
        if (!parseNumber(to, &last) || last < range.first)
            return whole;
        range.last = std::min(last, size - 1);
    }
    if (range.first >= size)
        range.kind = Kind::Unsatisfiable;
    return range;
}

QByteArray ByteRange::contentRange(qint64 size) const {
    if (kind == Kind::Unsatisfiable)
        return "bytes */" + QByteArray::number(size);
    return "bytes " + QByteArray::number(first) + '-' + QByteArray::number(last) + '/' +
           QByteArray::number(size);
}

} // namespace qvtest
