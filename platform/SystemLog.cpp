#include "SystemLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMutex>

#include <cstdio>
#include <syslog.h>
#include <unistd.h>

namespace platform {
namespace {

QMutex g_mutex;
SystemLog::Sink g_sink;
SystemLog::SyslogWriter g_syslogWriter;
std::optional<bool> g_verbose;

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
    QMutexLocker lock(&g_mutex);
    if (g_sink) {
        g_sink(line);
        return;
    }
    const QByteArray text = line.toUtf8();
    if (g_syslogWriter)
        g_syslogWriter(LOG_USER | priorityOf(level), text);
    else
        syslog(LOG_USER | priorityOf(level), "%s", text.constData());
    if (level < Warning && !verboseLocked())
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

void SystemLog::setSink(Sink sink) {
    QMutexLocker lock(&g_mutex);
    g_sink = std::move(sink);
}

void SystemLog::setSyslogWriter(SyslogWriter writer) {
    QMutexLocker lock(&g_mutex);
    g_syslogWriter = std::move(writer);
}

} // namespace platform
