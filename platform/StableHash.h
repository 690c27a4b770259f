#pragma once

#include <QString>

namespace platform {

// A hash of a string that stays the same across runs, builds and machines
// (unlike qHash, which is seeded per process), for values that are stored or
// sent away, such as the codes of diagnostic reports.
// FNV-1a 64 over the UTF-8 bytes, folded to 32 bits by XOR of the two halves,
// so the result is never negative; the empty string hashes to 0.
qint64 stableStringHash(const QString &text);

} // namespace platform
