#pragma once

#include <QByteArray>

namespace qvtest {

// A single "Range: bytes=..." request resolved against a body of known size.
struct ByteRange {
    enum class Kind { Whole, Partial, Unsatisfiable };
    Kind kind = Kind::Whole;
    qint64 first = 0;
    qint64 last = -1; // inclusive

    // "bytes=N-", "bytes=N-M" and "bytes=-N" are honoured; a malformed header or a list of
    // several ranges asks for the whole body, as a server may answer those with 200.
    static ByteRange resolve(const QByteArray &rangeHeader, qint64 size);
    QByteArray contentRange(qint64 size) const;
};

} // namespace qvtest
