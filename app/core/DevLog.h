#pragma once

#include "platform/Format.h"

#include <QString>

// Writes one finished diagnostic line to the system log and to the crash
// reporter's breadcrumb log.
void DevLogLine(const QString &line);

// The application's diagnostic line, formatted like the platform's strings
// ("%@" for objects, "%ld" for longs, ...). Callable from any thread; never
// fails towards the caller. Callers pass fixed texts and identifiers, not the
// user's text.
template <typename... Args> void DevLog(const QString &format, const Args &...args) {
    DevLogLine(platform::format(format, args...));
}
