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

} // namespace

void SystemLog::write(const QString &line) {
    QMutexLocker lock(&g_mutex);
    if (g_sink) {
        g_sink(line);
        return;
    }
    const QByteArray text = line.toUtf8();
    syslog(LOG_USER | LOG_INFO, "%s", text.constData());
    const QByteArray stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
    const QByteArray name = QCoreApplication::applicationName().toUtf8();
    std::fprintf(stderr, "%s %s[%d] %s\n", stamp.constData(), name.constData(), static_cast<int>(getpid()),
                 text.constData());
}

void SystemLog::setSink(Sink sink) {
    QMutexLocker lock(&g_mutex);
    g_sink = std::move(sink);
}

} // namespace platform
