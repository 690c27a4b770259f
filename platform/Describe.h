#pragma once

#include <QString>
#include <QVariant>

namespace platform {

// Collections nested deeper than this print as one "…", so a description costs time
// linear in the value it shows whatever the value's depth.
inline constexpr int kDescribeMaxDepth = 64;

// Readable text of a value, the way the platform's "%@" shows objects:
// dictionaries as "{\n    key = value;\n}", arrays as "(\n    a,\n    b\n)",
// strings bare at the top level and quoted inside collections when they hold
// anything beyond letters, digits and "_.$/:"; an invalid value is "(null)",
// or "<null>" inside a collection. Errors print as
// "Error Domain=D Code=N \"description\" UserInfo={...}".
QString describe(const QVariant &value);

} // namespace platform
