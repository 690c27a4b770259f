#include "AppPaths.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

QMutex g_mutex;
QString g_root;

QString rootOrEnv() {
    QMutexLocker lock(&g_mutex);
    if (!g_root.isEmpty())
        return g_root;
    return qEnvironmentVariable("QV_HOME");
}

QString pick(const char *sub, QStandardPaths::StandardLocation location) {
    const QString root = rootOrEnv();
    if (!root.isEmpty())
        return QDir(root).filePath(QString::fromLatin1(sub));
    return QStandardPaths::writableLocation(location);
}

} // namespace

QString AppPaths::caches() {
    return pick("cache", QStandardPaths::CacheLocation);
}
QString AppPaths::documents() {
    return pick("documents", QStandardPaths::DocumentsLocation);
}
QString AppPaths::config() {
    return pick("config", QStandardPaths::AppConfigLocation);
}
QString AppPaths::state() {
    return pick("state", QStandardPaths::AppLocalDataLocation);
}

void AppPaths::setRoot(const QString &root) {
    QMutexLocker lock(&g_mutex);
    g_root = root;
}

QString AppPaths::ensure(const QString &folder) {
    QDir().mkpath(folder);
    return folder;
}

QString AppPaths::ensurePrivate(const QString &folder) {
    QDir().mkpath(folder);
    struct stat info {};
    const QByteArray path = QFile::encodeName(folder);
    if (::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
        (info.st_mode & 07777) != 0700)
        ::chmod(path.constData(), 0700);
    return folder;
}

} // namespace platform
