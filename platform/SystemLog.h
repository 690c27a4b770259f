#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace platform {

// The program's log: every line goes to syslog (facility user, at its level), where
// `journalctl -t quorvalde-translator` finds it. Standard error, the terminal, shows a line
// with a time stamp and the process name only from Warning up, unless verbose (QV_VERBOSE=1 or
// the program's --verbose). A line is always written as data, never used as a format.
//
//   SystemLog::write(QStringLiteral("[net] reply in 20 ms"));                  // log only
//   SystemLog::write(QStringLiteral("[net] bad reply"), SystemLog::Warning);  // and the terminal
//   SystemLog::installQtMessageHandler(); // qDebug/qInfo/qWarning take the same way
class SystemLog {
public:
    enum Level { Debug, Info, Warning, Error };
    static constexpr const char *kVerboseVariable = "QV_VERBOSE";

    static void write(const QString &line, Level level = Info);

    // Every line on the terminal too, or not; nullopt (the default) follows QV_VERBOSE, set
    // and not "0".
    static void setVerbose(std::optional<bool> verbose);
    static bool isVerbose();

    // Qt's messages become lines of this log at their level (a fatal one is an Error, and Qt
    // then ends the program as it would).
    static void installQtMessageHandler();

    // Tests capture lines here instead; an empty function restores the system log. Once either
    // setter returns, the function it replaced is no longer called (but by a write it is called from).
    // A line written from inside a write (a warning Qt raises in a sink) is written; one from inside
    // that is dropped.
    using Sink = std::function<void(const QString &line)>;
    static void setSink(Sink sink);
    // Tests see what would reach syslog (its priority and the text); empty restores syslog().
    using SyslogWriter = std::function<void(int priority, const QByteArray &text)>;
    static void setSyslogWriter(SyslogWriter writer);
};

} // namespace platform
