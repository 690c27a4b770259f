#include "platform/UserDefaults.h"
#include "support/EventLoop.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>
#include <iterator>
#include <limits>

#include <sys/stat.h>

using platform::UserDefaults;

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    QString file() const { return dir.filePath(QStringLiteral("defaults.ini")); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(UserDefaultsTest, RegisteredDefaultsAnswerUntilAValueIsStored) {
    UserDefaults defaults(file());
    defaults.registerDefaults({{QStringLiteral("NSApplicationCrashOnExceptions"), true},
                               {QStringLiteral("kUserDefaultAppLanguage"), QStringLiteral("en")}});
    EXPECT_TRUE(defaults.boolForKey(QStringLiteral("NSApplicationCrashOnExceptions")));
    defaults.setBool(false, QStringLiteral("NSApplicationCrashOnExceptions"));
    EXPECT_FALSE(defaults.boolForKey(QStringLiteral("NSApplicationCrashOnExceptions")));
    defaults.removeObject(QStringLiteral("NSApplicationCrashOnExceptions"));
    EXPECT_TRUE(defaults.boolForKey(QStringLiteral("NSApplicationCrashOnExceptions")));
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("kUserDefaultAppLanguage")), QStringLiteral("en"));
    EXPECT_FALSE(defaults.objectForKey(QStringLiteral("unknown")).isValid());
}

TEST_F(UserDefaultsTest, RegisteredDefaultsAreNeverWritten) {
    {
        UserDefaults defaults(file());
        defaults.registerDefaults({{QStringLiteral("flag"), true}});
        defaults.setObject(QStringLiteral("kept"), QStringLiteral("stored"));
    }
    UserDefaults reopened(file());
    EXPECT_FALSE(reopened.objectForKey(QStringLiteral("flag")).isValid());
    EXPECT_EQ(reopened.stringForKey(QStringLiteral("stored")), QStringLiteral("kept"));
}

TEST_F(UserDefaultsTest, TypedValuesSurviveAReopen) {
    {
        UserDefaults defaults(file());
        defaults.setBool(true, QStringLiteral("TranslateByEnterSetting"));
        defaults.setInteger(Q_INT64_C(5000000000), QStringLiteral("kUserDefaultLastShowedServerMessage"));
        defaults.setDouble(0.4, QStringLiteral("speed"));
        defaults.setObject(QVariantMap{{QStringLiteral("a"), 1}}, QStringLiteral("map"));
        defaults.setObject(QStringList{QStringLiteral("en_GB"), QStringLiteral("de_DE")},
                           QStringLiteral("recent"));
        defaults.setObject(QStringLiteral("YES"), QStringLiteral("textFlag"));
    }
    UserDefaults defaults(file());
    EXPECT_TRUE(defaults.boolForKey(QStringLiteral("TranslateByEnterSetting")));
    EXPECT_EQ(defaults.integerForKey(QStringLiteral("kUserDefaultLastShowedServerMessage")),
              Q_INT64_C(5000000000));
    EXPECT_DOUBLE_EQ(defaults.doubleForKey(QStringLiteral("speed")), 0.4);
    EXPECT_EQ(defaults.integerForKey(QStringLiteral("speed")), 0);
    EXPECT_EQ(defaults.dictionaryForKey(QStringLiteral("map")).value(QStringLiteral("a")).toInt(), 1);
    EXPECT_EQ(defaults.arrayForKey(QStringLiteral("recent")).size(), 2);
    EXPECT_TRUE(defaults.boolForKey(QStringLiteral("textFlag")));
    // A collection is not a string, and a string is not a collection.
    EXPECT_TRUE(defaults.stringForKey(QStringLiteral("map")).isEmpty());
    EXPECT_TRUE(defaults.dictionaryForKey(QStringLiteral("textFlag")).isEmpty());
    EXPECT_EQ(defaults.integerForKey(QStringLiteral("missing")), 0);
}

TEST_F(UserDefaultsTest, ChangedSignalNamesTheKeyForSetsRemovalsAndRegistrations) {
    UserDefaults defaults(file());
    QSignalSpy spy(&defaults, &UserDefaults::changed);
    defaults.setObject(QStringLiteral("de"), QStringLiteral("kUserDefaultAppLanguage"));
    defaults.removeObject(QStringLiteral("kUserDefaultAppLanguage"));
    defaults.registerDefaults({{QStringLiteral("hardcodedShortcutEnabled"), true}});
    // Registering the same value again, or under a stored value, changes nothing visible.
    defaults.registerDefaults({{QStringLiteral("hardcodedShortcutEnabled"), true}});
    defaults.setBool(false, QStringLiteral("customShortcutEnabled"));
    defaults.registerDefaults({{QStringLiteral("customShortcutEnabled"), true}});
    ASSERT_EQ(spy.count(), 4);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("kUserDefaultAppLanguage"));
    EXPECT_EQ(spy.at(1).at(0).toString(), QStringLiteral("kUserDefaultAppLanguage"));
    EXPECT_EQ(spy.at(2).at(0).toString(), QStringLiteral("hardcodedShortcutEnabled"));
    EXPECT_EQ(spy.at(3).at(0).toString(), QStringLiteral("customShortcutEnabled"));
}

TEST_F(UserDefaultsTest, ChangeFromWorkerReachesMainThreadReceiver) {
    UserDefaults defaults(file());
    QObject receiver;
    QString key;
    bool onMain = false;
    QObject::connect(&defaults, &UserDefaults::changed, &receiver, [&](const QString &changedKey) {
        key = changedKey;
        onMain = QThread::currentThread() == receiver.thread();
    });
    QThread *worker = QThread::create([&] { defaults.setInteger(3, QStringLiteral("launches")); });
    worker->start();
    worker->wait();
    delete worker;
    ASSERT_TRUE(qvtest::waitUntil([&] { return !key.isEmpty(); }));
    EXPECT_EQ(key, QStringLiteral("launches"));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(defaults.integerForKey(QStringLiteral("launches")), 3);
}

TEST_F(UserDefaultsTest, StandardStoreMovesToTheInjectedFile) {
    UserDefaults::setStorageFile(file());
    UserDefaults::standard().setObject(QStringLiteral("token"), QStringLiteral("kUserDefaultsTokenKey"));
    EXPECT_EQ(UserDefaults::standard().filePath(), file());
    UserDefaults other(file());
    EXPECT_EQ(other.stringForKey(QStringLiteral("kUserDefaultsTokenKey")), QStringLiteral("token"));
    UserDefaults::setStorageFile(dir.filePath(QStringLiteral("second.ini")));
    EXPECT_FALSE(UserDefaults::standard().objectForKey(QStringLiteral("kUserDefaultsTokenKey")).isValid());
}

namespace {

// Collects warnings while alive, so a test can count what was logged.
class WarningLog {
public:
    WarningLog() {
        s_lines.clear();
        m_previous =
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &line) {
                if (type == QtWarningMsg)
                    s_lines << line;
            });
    }
    ~WarningLog() { qInstallMessageHandler(m_previous); }
    QStringList lines() const { return s_lines; }

private:
    static inline QStringList s_lines;
    QtMessageHandler m_previous = nullptr;
};

} // namespace

// Runs clean under -fsanitize=undefined,float-cast-overflow: no stored text may be cast out of range.
TEST_F(UserDefaultsTest, IntegerReadsKeepValuesInRangeAndTheDefaultOutside) {
    constexpr qint64 kDefault = 7;
    struct Case {
        QVariant stored;
        qint64 expected;
    };
    const Case cases[] = {
        {QStringLiteral("1e400"), kDefault},
        {QStringLiteral("-1e400"), kDefault},
        {QStringLiteral("nan"), kDefault},
        {QStringLiteral("inf"), kDefault},
        {QStringLiteral("9223372036854775808"), kDefault},
        {QStringLiteral("-9223372036854775809"), kDefault},
        {QStringLiteral("1e19"), kDefault},
        {1e300, kDefault},
        {std::numeric_limits<double>::quiet_NaN(), kDefault},
        {QVariant::fromValue(Q_UINT64_C(9223372036854775808)), kDefault},
        {QStringLiteral("9223372036854775807"), std::numeric_limits<qint64>::max()},
        {QStringLiteral("-9223372036854775808"), std::numeric_limits<qint64>::min()},
        {QStringLiteral(" 42 "), 42},
        {QStringLiteral("-3.9"), -3},
        {QStringLiteral("9223372036854775807.0"), std::numeric_limits<qint64>::max()},
        {QStringLiteral("-9223372036854775808.9"), std::numeric_limits<qint64>::min()},
        {QStringLiteral("9223372036854775808.0"), kDefault},
        {QStringLiteral("1e3"), 1000},
        {QStringLiteral("abc"), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored.toString().toStdString());
        {
            UserDefaults defaults(file());
            defaults.setObject(c.stored, QStringLiteral("value"));
            defaults.registerDefaults({{QStringLiteral("value"), kDefault}});
            EXPECT_EQ(defaults.integerForKey(QStringLiteral("value")), c.expected) << "as stored";
        }
        UserDefaults reopened(file());
        reopened.registerDefaults({{QStringLiteral("value"), kDefault}});
        EXPECT_EQ(reopened.integerForKey(QStringLiteral("value")), c.expected) << "after a reopen";
    }
}

TEST_F(UserDefaultsTest, OutOfRangeIntegerIsLoggedOnceWithoutItsValue) {
    UserDefaults defaults(file());
    defaults.setObject(QStringLiteral("92233720368547758070"), QStringLiteral("launchCount"));
    WarningLog log;
    // With no default registered the read is 0, as for any key without a value.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(defaults.integerForKey(QStringLiteral("launchCount")), 0);
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().at(0).contains(QStringLiteral("launchCount")));
    EXPECT_FALSE(log.lines().at(0).contains(QStringLiteral("92233720368547758070")));
}

// The file is replaced on every write: its inode tells whether a set wrote it.
TEST_F(UserDefaultsTest, StoringAValueAgainLeavesTheFileAloneAndAnyChangeWritesIt) {
    {
        UserDefaults defaults(file());
        defaults.setInteger(2, QStringLiteral("state"));
        defaults.setBool(true, QStringLiteral("flag"));
        defaults.setObject(QStringLiteral("de_DE"), QStringLiteral("language"));
    }
    const auto inode = [this] {
        struct stat info {};
        return ::stat(QFile::encodeName(file()).constData(), &info) == 0 ? info.st_ino : ino_t(0);
    };
    struct Case {
        const char *key;
        QVariant value;
        bool writes;
    } cases[] = {
        // Read back from the file, every value is text: the same text is no change.
        {"state", qint64(2), false},
        {"flag", true, false},
        {"language", QStringLiteral("de_DE"), false},
        {"state", QStringLiteral("2"), false},
        {"state", qint64(3), true},
        {"flag", false, true},
        {"language", QStringLiteral("fr_FR"), true},
        {"new", 1, true},
    };
    UserDefaults defaults(file());
    QSignalSpy changed(&defaults, &UserDefaults::changed);
    for (const Case &c : cases) {
        const ino_t before = inode();
        defaults.setObject(c.value, QString::fromLatin1(c.key));
        EXPECT_EQ(inode() != before, c.writes) << c.key << " " << c.value.toString().toStdString();
        EXPECT_EQ(defaults.objectForKey(QString::fromLatin1(c.key)).toString(), c.value.toString());
    }
    // Listeners hear every set, written or not.
    EXPECT_EQ(changed.count(), int(std::size(cases)));
    UserDefaults reopened(file());
    EXPECT_EQ(reopened.integerForKey(QStringLiteral("state")), 3);
    EXPECT_FALSE(reopened.boolForKey(QStringLiteral("flag")));
}
