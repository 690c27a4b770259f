#pragma once

#include <QString>
#include <QVariant>

namespace platform {

// Readable text of a value, the way the platform's "%@" shows objects:
// dictionaries as "{\n    key = value;\n}", arrays as "(\n    a,\n    b\n)",
// strings bare at the top level and quoted inside collections when they hold
// anything beyond letters, digits and "_.$/:"; an invalid value is "(null)",
// or "<null>" inside a collection.
QString describe(const QVariant &value);

} // namespace platform
