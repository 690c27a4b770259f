// Files that hold the user's text or identity are the owner's only (0600) in a
// folder closed to others (0700), whether the program makes them or finds them
// left wider by an older version.
#include "StoreTestSchema.h"

#include "platform/AppPaths.h"
#include "platform/FileCrashReporter.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace platform;

namespace {

int modeOf(const QString &path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

// Leaves what the program writes under root (a fresh tree) and returns the files written.
using Writer = std::function<QStringList(const QString &root)>;

// The store stays open until the modes are checked: its -wal and -shm go when it closes.
ObjectStore g_openStore;

QStringList writeStore(const QString &) {
    static int written = 0;
    Error error;
    g_openStore = ObjectStore::open(storetest::configuration(QString()), &error);
    EXPECT_FALSE(error) << error.localizedDescription().toStdString();
    EXPECT_FALSE(g_openStore.write([](Transaction &tx) {
        tx.create(QStringLiteral("Language"),
                  {{QStringLiteral("localeIdentifier"), QStringLiteral("xx_%1").arg(++written)}});
    }));
    const QString db = QDir(AppPaths::state()).filePath(QStringLiteral("default.sqlite"));
    return {db, db + QStringLiteral("-wal"), db + QStringLiteral("-shm")};
}

QStringList writeDefaults(const QString &) {
    const QString file = QDir(AppPaths::config()).filePath(QStringLiteral("user-defaults.ini"));
    UserDefaults::setStorageFile(file);
    UserDefaults::standard().setObject(QStringLiteral("token"), QStringLiteral("secret"));
    return {file};
}

QStringList writeCrashReport(const QString &) {
    FileCrashReporter reporter;
    reporter.recordError(QStringLiteral("NSException"), 667, {});
    return {reporter.filePath()};
}

} // namespace

TEST(PrivateFileModes, FilesAreOwnerOnlyInClosedFoldersNewAndExisting) {
    struct Case {
        const char *name;
        Writer write;
        QString (*folder)();
    } cases[] = {
        {"history store with its -wal and -shm", writeStore, &AppPaths::state},
        {"user defaults", writeDefaults, &AppPaths::config},
        {"crash reports", writeCrashReport, &AppPaths::state},
    };
    const mode_t previous = ::umask(022);
    for (const Case &c : cases) {
        for (const bool leftWide : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (leftWide ? ", left wide by an older version" : ", new"));
            QTemporaryDir dir;
            AppPaths::setRoot(dir.path());
            QStringList files;
            if (leftWide) {
                // A first run, then everything opened up as an older version left it
                // (files a closed store removes, such as its -wal, left behind too).
                const QStringList first = c.write(dir.path());
                g_openStore = ObjectStore();
                for (const QString &file : first) {
                    QFile touch(file);
                    if (!touch.exists())
                        touch.open(QIODevice::WriteOnly);
                }
                UserDefaults::setStorageFile({});
                ::chmod(QFile::encodeName(c.folder()).constData(), 0755);
                for (const QString &entry : QDir(c.folder()).entryList(QDir::Files))
                    ::chmod(QFile::encodeName(QDir(c.folder()).filePath(entry)).constData(), 0644);
            }
            files = c.write(dir.path());
            EXPECT_EQ(modeOf(c.folder()), 0700);
            for (const QString &file : files) {
                SCOPED_TRACE(file.toStdString());
                EXPECT_EQ(modeOf(file), 0600);
            }
            g_openStore = ObjectStore();
            UserDefaults::setStorageFile({});
            AppPaths::setRoot(QString());
        }
    }
    ::umask(previous);
}
