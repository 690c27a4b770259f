#include "platform/ProblemReporter.h"
#include "platform/UserDefaults.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using platform::UserDefaults;

namespace {

unsigned modeOf(const QString &path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
}

} // namespace

TEST(UserDefaultsFile, IsReadableByItsOwnerOnlyWhetherNewOrOld) {
    struct Case {
        const char *name;
        bool existed;
    };
    for (const Case &c : {Case{"a new file", false}, Case{"a file left world-readable", true}}) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("config/user-defaults.ini"));
        if (c.existed) {
            QDir().mkpath(dir.filePath(QStringLiteral("config")));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("[General]\nkept=yes\n");
            file.close();
            ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                        QFileDevice::ReadGroup | QFileDevice::ReadOther));
        }
        {
            UserDefaults defaults(path);
            defaults.setObject(QStringLiteral("secret-token"), QStringLiteral("kUserDefaultsTokenKey"));
            EXPECT_EQ(modeOf(path), 0600u);
        }
        UserDefaults reopened(path);
        EXPECT_EQ(reopened.stringForKey(QStringLiteral("kUserDefaultsTokenKey")),
                  QStringLiteral("secret-token"));
        EXPECT_EQ(reopened.boolForKey(QStringLiteral("kept")), c.existed);
        EXPECT_EQ(modeOf(path), 0600u);
    }
}

TEST(UserDefaultsFile, UnwritableLocationKeepsValuesInMemoryAndIsReportedOnce) {
    // A regular file where the folder should be: no write can succeed, even for root.
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("home")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QStringList reported;
    platform::setProblemHandler([&](const QString &name, const QVariantMap &) { reported << name; });

    UserDefaults defaults(dir.filePath(QStringLiteral("home/config/user-defaults.ini")));
    defaults.setObject(QStringLiteral("en"), QStringLiteral("kUserDefaultAppLanguage"));
    defaults.setBool(true, QStringLiteral("TranslateByEnterSetting"));
    defaults.removeObject(QStringLiteral("TranslateByEnterSetting"));
    platform::setProblemHandler({});

    EXPECT_EQ(defaults.stringForKey(QStringLiteral("kUserDefaultAppLanguage")), QStringLiteral("en"));
    EXPECT_FALSE(defaults.objectForKey(QStringLiteral("TranslateByEnterSetting")).isValid());
    EXPECT_EQ(reported, QStringList{QStringLiteral("User defaults not saved")});
}
