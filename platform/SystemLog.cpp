#include "SystemLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMutex>
#include <QRecursiveMutex>
#include <QScopeGuard>
#include <QWaitCondition>

#include <cstdio>
#include <map>
#include <memory>
#include <syslog.h>
#include <unistd.h>

namespace platform {
namespace {

// The settings below, and the writes calling out with them by the generation of settings they
// took: nothing is called with the mutex held, so that a line written from inside a write (a
// warning Qt raises there) never waits for it.
QMutex g_mutex;
QWaitCondition g_callsDone;
quint64 g_generation = 0;
std::map<quint64, int> g_calls;
std::shared_ptr<const SystemLog::Sink> g_sink;
std::shared_ptr<const SystemLog::SyslogWriter> g_syslogWriter;
std::optional<bool> g_verbose;

// Lines reach the sink (or syslog and the terminal) one after another, as a log's lines are
// written; a write from inside one, on the same thread, goes through. Taken before a write is
// counted, so a replacement made from inside a sink never waits for a write queued behind it.
QRecursiveMutex g_delivery;

// The writes this thread is inside. A line from inside one is written, but not one from inside
// that: a sink that warns about every line it is given would never end.
thread_local int t_depth = 0;
constexpr int kNestingKept = 1;

int priorityOf(SystemLog::Level level) {
    switch (level) {
    case SystemLog::Debug:
        return LOG_DEBUG;
    case SystemLog::Info:
        return LOG_INFO;
    case SystemLog::Warning:
        return LOG_WARNING;
    case SystemLog::Error:
        break;
    }
    return LOG_ERR;
}

bool verboseLocked() {
    if (g_verbose)
        return *g_verbose;
    const QByteArray value = qgetenv(SystemLog::kVerboseVariable);
    return !value.isEmpty() && value != "0";
}

void handleQtMessage(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    SystemLog::Level level = SystemLog::Error;
    switch (type) {
    case QtDebugMsg:
        level = SystemLog::Debug;
        break;
    case QtInfoMsg:
        level = SystemLog::Info;
        break;
    case QtWarningMsg:
        level = SystemLog::Warning;
        break;
    case QtCriticalMsg:
    case QtFatalMsg:
        break;
    }
    // Qt's own categories ("qt.qpa.xcb") name where a message comes from; "default" adds nothing.
    const bool named = context.category && qstrcmp(context.category, "default") != 0;
    SystemLog::write(named ? QString::fromUtf8(context.category) + QStringLiteral(": ") + message : message,
                     level);
}

} // namespace

void SystemLog::write(const QString &line, Level level) {
    if (t_depth > kNestingKept)
        return;
    QMutexLocker delivering(&g_delivery);
    std::shared_ptr<const Sink> sink;
    std::shared_ptr<const SyslogWriter> syslogWriter;
    bool verbose = false;
    quint64 generation = 0;
    {
        QMutexLocker lock(&g_mutex);
        sink = g_sink;
        syslogWriter = g_syslogWriter;
        verbose = verboseLocked();
        generation = g_generation;
        ++g_calls[generation];
    }
    ++t_depth;
    const auto done = qScopeGuard([generation] {
        --t_depth;
        QMutexLocker lock(&g_mutex);
        if (--g_calls[generation] == 0) {
            g_calls.erase(generation);
            g_callsDone.wakeAll();
        }
    });
    if (sink) {
        (*sink)(line);
        return;
    }
    const QByteArray text = line.toUtf8();
    if (syslogWriter)
        (*syslogWriter)(LOG_USER | priorityOf(level), text);
    else
        syslog(LOG_USER | priorityOf(level), "%s", text.constData());
    if (level < Warning && !verbose)
        return;
    const QByteArray stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
    const QByteArray name = QCoreApplication::applicationName().toUtf8();
    std::fprintf(stderr, "%s %s[%d] %s\n", stamp.constData(), name.constData(), static_cast<int>(getpid()),
                 text.constData());
}

void SystemLog::setVerbose(std::optional<bool> verbose) {
    QMutexLocker lock(&g_mutex);
    g_verbose = verbose;
}

bool SystemLog::isVerbose() {
    QMutexLocker lock(&g_mutex);
    return verboseLocked();
}

void SystemLog::installQtMessageHandler() {
    qInstallMessageHandler(handleQtMessage);
}

namespace {

// Once a replacement returns, the one replaced is called no more but by the writes of this very
// thread it is called from. Writes that begin meanwhile take the new one and are not waited for.
template <typename Function> void replace(std::shared_ptr<const Function> &slot, Function function) {
    QMutexLocker lock(&g_mutex);
    slot = function ? std::make_shared<const Function>(std::move(function)) : nullptr;
    const quint64 replaced = g_generation++;
    const auto callsWithReplaced = [replaced] {
        int calls = 0;
        for (auto it = g_calls.cbegin(); it != g_calls.cend() && it->first <= replaced; ++it)
            calls += it->second;
        return calls;
    };
    while (callsWithReplaced() > t_depth)
        g_callsDone.wait(&g_mutex);
}

} // namespace

void SystemLog::setSink(Sink sink) {
    replace(g_sink, std::move(sink));
}

void SystemLog::setSyslogWriter(SyslogWriter writer) {
    replace(g_syslogWriter, std::move(writer));
}

} // namespace platform
