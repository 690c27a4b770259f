// The folder that holds all of the program's own folders is closed to others when the program
// makes it; a folder that was there before keeps its mode.
#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace platform;

namespace {

// The runner's QV_HOME, back when the test ends.
struct KeptHome {
    QByteArray value = qgetenv("QV_HOME");
    ~KeptHome() {
        if (value.isEmpty())
            qunsetenv("QV_HOME");
        else
            qputenv("QV_HOME", value);
    }
};

int modeOf(const QString &path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

} // namespace

TEST(AppPaths, TheRootOfTheProgramsFoldersIsMadePrivateAndAnExistingOneIsLeftAlone) {
    const KeptHome kept;
    const struct {
        const char *name;
        const char *root;     // below the temporary folder
        const char *existing; // made 0755 beforehand; nullptr: nothing there
        const char *checked;  // folders whose mode is 0700 after
    } cases[] = {
        {"a new QV_HOME", "home", nullptr, "home"},
        {"a new QV_HOME in a new folder", "new/home", nullptr, "new;new/home"},
        {"an existing QV_HOME", "kept", "kept", ""},
        {"a new QV_HOME in an existing folder", "shared/home", "shared", "shared/home"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        if (c.existing) {
            ASSERT_TRUE(QDir().mkpath(dir.filePath(QString::fromLatin1(c.existing))));
            ::chmod(QFile::encodeName(dir.filePath(QString::fromLatin1(c.existing))).constData(), 0755);
        }
        const QString root = dir.filePath(QString::fromLatin1(c.root));
        qputenv("QV_HOME", QFile::encodeName(root));
        // Whoever makes a folder below the root, however it makes it.
        ASSERT_TRUE(QDir().mkpath(AppPaths::caches()));
        qunsetenv("QV_HOME");
        for (const QString &folder :
             QString::fromLatin1(c.checked).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            EXPECT_EQ(modeOf(dir.filePath(folder)), 0700) << folder.toStdString();
        if (c.existing) {
            EXPECT_EQ(modeOf(dir.filePath(QString::fromLatin1(c.existing))), 0755);
        }
    }
}

TEST(AppPaths, WithoutARootTheProgramsOwnFoldersInTheDesktopsLocationsArePrivate) {
    const KeptHome kept;
    QTemporaryDir dir;
    const QByteArray home = QFile::encodeName(dir.path());
    qunsetenv("QV_HOME");
    // The locations' parents are missing too, as in a new account.
    qputenv("XDG_CACHE_HOME", home + "/cache");
    qputenv("XDG_CONFIG_HOME", home + "/config");
    qputenv("XDG_DATA_HOME", home + "/data");
    for (const QString &folder : {AppPaths::caches(), AppPaths::config(), AppPaths::state()}) {
        SCOPED_TRACE(folder.toStdString());
        ASSERT_TRUE(folder.startsWith(dir.path()));
        for (QString at = folder; at != dir.path(); at = QFileInfo(at).path())
            EXPECT_EQ(modeOf(at), 0700) << at.toStdString();
    }
    for (const char *name : {"XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
        qunsetenv(name);
}
