#include "CrashReporter.h"

#include "FileCrashReporter.h"

#include <QMutex>

namespace platform {
namespace {

QMutex g_mutex;
std::shared_ptr<CrashReporter> g_reporter;

} // namespace

std::shared_ptr<CrashReporter> CrashReporter::shared() {
    QMutexLocker lock(&g_mutex);
    if (!g_reporter)
        g_reporter = std::make_shared<FileCrashReporter>();
    return g_reporter;
}

void CrashReporter::setShared(std::shared_ptr<CrashReporter> reporter) {
    QMutexLocker lock(&g_mutex);
    g_reporter = std::move(reporter);
}

} // namespace platform
