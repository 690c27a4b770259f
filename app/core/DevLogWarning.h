#pragma once

#include "platform/Format.h"
#include "platform/SystemLog.h"

#include <QString>

// DevLogLine at a level of its own: from Warning up the terminal shows the line
// too, whatever the verbosity.
void DevLogLineAt(const QString &line, platform::SystemLog::Level level);

// A diagnostic line for the person at the terminal: a setting refused, a file
// that cannot be used. Formatted as DevLog formats.
template <typename... Args> void DevLogWarning(const QString &format, const Args &...args) {
    DevLogLineAt(platform::format(format, args...), platform::SystemLog::Warning);
}
