#include "AppPaths.h"

#include "SystemLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>

#include <fcntl.h>
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

// Closes a folder of ours that others may enter to its owner (0700): through a descriptor
// opened without following a link, and only a folder this user owns. Says so in the log.
void closeToOthers(const QString &folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & 077) != 0) {
        const int was = int(info.st_mode & 07777);
        if (::fchmod(fd, 0700) == 0)
            SystemLog::write(QStringLiteral("[paths] %1 was open to others (%2): closed to 0700")
                                 .arg(folder, QString::number(was, 8).rightJustified(4, QLatin1Char('0'))));
    }
    ::close(fd);
}

// The program's own folders: below QV_HOME by these names, else the program's own in the desktop's
// locations. Not the user's documents, nor the desktop's autostart folder.
struct OwnFolder {
    const char *sub;
    QStandardPaths::StandardLocation location;
};
constexpr OwnFolder kOwnFolders[] = {{"cache", QStandardPaths::CacheLocation},
                                     {"config", QStandardPaths::AppConfigLocation},
                                     {"state", QStandardPaths::AppLocalDataLocation}};

QString folderFor(const QString &root, const char *sub, QStandardPaths::StandardLocation location) {
    return root.isEmpty() ? QStandardPaths::writableLocation(location)
                          : QDir(root).filePath(QString::fromLatin1(sub));
}

// Found as an older version may have left them (it made them 0700 only when it made them), they are
// closed to others once: when the program first asks for a folder.
void closeOwnFoldersOnce(const QString &root) {
    static QMutex mutex;
    static QSet<QString> checked;
    QStringList unchecked;
    {
        QMutexLocker lock(&mutex);
        for (const OwnFolder &own : kOwnFolders) {
            const QString folder = folderFor(root, own.sub, own.location);
            if (!folder.isEmpty() && !checked.contains(folder)) {
                checked.insert(folder);
                unchecked.append(folder);
            }
        }
    }
    for (const QString &folder : std::as_const(unchecked))
        closeToOthers(folder);
}

// A folder of the program's own is created private, and so is the QV_HOME root.
QString pick(const char *sub, QStandardPaths::StandardLocation location) {
    const QString root = rootOrEnv();
    closeOwnFoldersOnce(root);
    const QString folder = folderFor(root, sub, location);
    if (!root.isEmpty())
        makeOwnFolder(root);
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
