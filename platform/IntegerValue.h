#pragma once

#include <QVariant>

#include <optional>

namespace platform {

// Conversions to 64-bit integers that never cast a value out of range (undefined behaviour).

// Truncates toward zero; NaN is 0 and values beyond 64 bits clamp to the nearest end.
qint64 clampToInt64(double value);
// The same for unsigned: negative values wrap as their signed truncation does.
quint64 clampToUInt64(double value);

// The whole-number reading of a stored value: integers as they are, floating values
// truncated toward zero, booleans 1 or 0, text read as a number ("42", "-3.9", "1e3"),
// and 0 for text that is no number. Nothing (nullopt) when the value is a number that
// does not fit in 64 bits, is infinite or is NaN: the caller decides what stands in.
std::optional<qint64> integerFromValue(const QVariant &value);

} // namespace platform
