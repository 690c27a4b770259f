#include "ProblemReporter.h"

#include <QDebug>
#include <QMutex>

namespace platform {
namespace {

QMutex g_mutex;
ProblemHandler g_handler;

} // namespace

void reportProblem(const QString &name, const QVariantMap &info) {
    ProblemHandler handler;
    {
        QMutexLocker lock(&g_mutex);
        handler = g_handler;
    }
    if (handler)
        handler(name, info);
    else
        qWarning().noquote() << name << info;
}

void setProblemHandler(ProblemHandler handler) {
    QMutexLocker lock(&g_mutex);
    g_handler = std::move(handler);
}

} // namespace platform
