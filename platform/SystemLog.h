#pragma once

#include <QString>

#include <functional>

namespace platform {

// The system log: each line goes to syslog (facility user, level info) and to
// standard error with a time stamp and the process name, as the desktop's
// console expects. A line is always written as data, never used as a format.
class SystemLog {
public:
    static void write(const QString &line);

    // Tests capture lines here instead; an empty function restores the system log.
    using Sink = std::function<void(const QString &line)>;
    static void setSink(Sink sink);
};

} // namespace platform
