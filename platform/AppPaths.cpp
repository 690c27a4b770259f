#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// Creates the folder and each missing folder above it closed to others (0700); folders that
// exist are left as they are.
void makeOwnFolder(const QString &folder) {
    QStringList missing;
    for (QString at = QDir::cleanPath(QDir(folder).absolutePath()); !QFileInfo::exists(at);
         at = QFileInfo(at).path()) {
        missing.prepend(at);
        if (QFileInfo(at).path() == at)
            break;
    }
    for (const QString &path : std::as_const(missing))
        ::mkdir(QFile::encodeName(path).constData(), 0700);
}

// The root of the program's folders is created private: under QV_HOME the root itself, else
// the program's own folder in the desktop's location (not the user's documents).
QString pick(const char *sub, QStandardPaths::StandardLocation location) {
    const QString root = rootOrEnv();
    if (!root.isEmpty()) {
        makeOwnFolder(root);
        return QDir(root).filePath(QString::fromLatin1(sub));
    }
    const QString folder = QStandardPaths::writableLocation(location);
    if (location != QStandardPaths::DocumentsLocation && !folder.isEmpty())
        makeOwnFolder(folder);
    return folder;
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
// The desktop reads the folder itself, not one of ours below it.
QString AppPaths::autostart() {
    const QString root = rootOrEnv();
    if (!root.isEmpty()) {
        makeOwnFolder(root);
        return QDir(root).filePath(QStringLiteral("autostart"));
    }
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("autostart"));
}

// The session's folder is shared by every program of the user: ours is a folder below it.
QString AppPaths::runtime() {
    const QString root = rootOrEnv();
    QString folder;
    if (!root.isEmpty()) {
        folder = QDir(root).filePath(QStringLiteral("runtime"));
    } else {
        const QString session = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (session.isEmpty())
            return {};
        folder = QDir(session).filePath(QCoreApplication::applicationName());
    }
    makeOwnFolder(folder);
    return folder;
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
