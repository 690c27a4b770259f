// The folder that holds all of the program's own folders is closed to others when the program
// makes it; a folder that was there before keeps its mode.
#include "platform/AppPaths.h"
#include "platform/SystemLog.h"

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

// The program's own folders that an older version left open to others are closed to 0700 the first
// time the program asks for a folder, once, each with a line in the log; the user's documents, the
// QV_HOME root and a link are left as they are.
TEST(AppPaths, OwnFoldersLeftOpenToOthersAreClosedOnceWithALogLine) {
    const KeptHome kept;
    const struct {
        const char *name;
        bool desktop;       // the desktop's locations, else below QV_HOME
        const char *folder; // made beforehand, below the temporary folder
        int mode;           // its mode then
        int expected;       // its mode once the program asked for a folder
        bool logged;
    } cases[] = {
        {"a cache folder others may read", false, "home/cache", 0755, 0700, true},
        {"a config folder its group may enter", false, "home/config", 0710, 0700, true},
        {"a state folder others may write", false, "home/state", 0777, 0700, true},
        {"the desktop's cache folder of the program", true, "cache/Quorvalde/quorvalde-translator-tests",
         0755, 0700, true},
        {"the desktop's data folder of the program", true, "data/Quorvalde/quorvalde-translator-tests", 0750,
         0700, true},
        {"a private folder", false, "home/state", 0700, 0700, false},
        {"the documents folder", false, "home/documents", 0755, 0755, false},
        {"the QV_HOME root", false, "home", 0755, 0755, false},
        {"the desktop's cache folder itself", true, "cache", 0755, 0755, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QString::fromLatin1(c.folder));
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), mode_t(c.mode)), 0);
        QStringList lines;
        SystemLog::setSink([&lines](const QString &line) { lines.append(line); });
        const QByteArray home = QFile::encodeName(dir.path());
        if (c.desktop) {
            qunsetenv("QV_HOME");
            qputenv("XDG_CACHE_HOME", home + "/cache");
            qputenv("XDG_CONFIG_HOME", home + "/config");
            qputenv("XDG_DATA_HOME", home + "/data");
        } else {
            qputenv("QV_HOME", home + "/home");
        }
        AppPaths::documents();
        AppPaths::caches();
        SystemLog::setSink({});
        for (const char *name : {"QV_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            qunsetenv(name);
        EXPECT_EQ(modeOf(folder), c.expected);
        const QStringList about = lines.filter(folder + QLatin1Char(' '));
        EXPECT_EQ(about.size(), c.logged ? 1 : 0) << lines.join(QLatin1Char('\n')).toStdString();
        if (c.logged) {
            EXPECT_TRUE(about.value(0).contains(QStringLiteral("0%1").arg(c.mode, 0, 8)))
                << about.value(0).toStdString();
        }
    }
}

// A link in place of one of the program's folders is not followed: what it points to keeps its mode.
TEST(AppPaths, ALinkInPlaceOfAnOwnFolderIsNotFollowed) {
    const KeptHome kept;
    QTemporaryDir dir;
    const QString elsewhere = dir.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ::chmod(QFile::encodeName(elsewhere).constData(), 0755);
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("home"))));
    ASSERT_TRUE(QFile::link(elsewhere, dir.filePath(QStringLiteral("home/cache"))));
    qputenv("QV_HOME", QFile::encodeName(dir.filePath(QStringLiteral("home"))));
    AppPaths::config();
    qunsetenv("QV_HOME");
    EXPECT_EQ(modeOf(elsewhere), 0755);
}
