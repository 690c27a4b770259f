#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "RecordingCrashReporter.h"

#include "platform/StableHash.h"
#include "platform/SystemLog.h"

#include <QThread>
#include <gtest/gtest.h>

#include <stdexcept>

using platform::Error;

namespace {

const QString kDomain = QStringLiteral("com.translator");
const QString kStack = QStringLiteral("callStackSymbols");
const QString kMessage = QStringLiteral("message");

class DevLoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::CrashReporter::setShared(reporter);
        platform::SystemLog::setSink([this](const QString &line) { systemLines << line; });
    }
    void TearDown() override {
        platform::SystemLog::setSink({});
        platform::CrashReporter::setShared(nullptr);
    }
    const RecordingCrashReporter::Record &onlyRecord() {
        EXPECT_EQ(reporter->records.size(), 1);
        return reporter->records.first();
    }

    std::shared_ptr<RecordingCrashReporter> reporter = std::make_shared<RecordingCrashReporter>();
    QStringList systemLines;
};

} // namespace

TEST_F(DevLoggerTest, ErrorKeepsItsDomainAndNonZeroCode) {
    DevLogger::logError(Error(kDomain, -202), QStringLiteral("checkPackages"));
    const auto &record = onlyRecord();
    EXPECT_EQ(record.domain, kDomain);
    EXPECT_EQ(record.code, -202);
}

TEST_F(DevLoggerTest, ErrorWithCodeZeroIsRecordedUnderTheHashOfItsDomain) {
    DevLogger::logError(Error(kDomain, 0), QStringLiteral("checkPackages"));
    const auto &record = onlyRecord();
    EXPECT_EQ(record.domain, kDomain);
    EXPECT_EQ(record.code, platform::stableStringHash(kDomain));
    EXPECT_NE(record.code, 0);
}

TEST_F(DevLoggerTest, ErrorWithoutDomainIsRecordedUnderDevLoggerErrorAndTheMessage) {
    DevLogger::logError(Error(QString(), 5), QStringLiteral("x"));
    DevLogger::logError(Error(QString(), 0), QStringLiteral("y"));
    ASSERT_EQ(reporter->records.size(), 2);
    EXPECT_EQ(reporter->records[0].domain, QStringLiteral("DevLoggerError x"));
    EXPECT_EQ(reporter->records[0].code, 5);
    EXPECT_EQ(reporter->records[1].domain, QStringLiteral("DevLoggerError y"));
    EXPECT_EQ(reporter->records[1].code, 0);
}

TEST_F(DevLoggerTest, NullErrorStillGivesARecordWithOnlyTheTwoKeys) {
    DevLogger::logError(Error(), QStringLiteral("loadLanguages"));
    const auto &record = onlyRecord();
    EXPECT_EQ(record.domain, QStringLiteral("DevLoggerError loadLanguages"));
    EXPECT_EQ(record.code, 0);
    EXPECT_EQ(record.userInfo.keys(), (QStringList{kStack, kMessage}));
    EXPECT_EQ(record.userInfo.value(kMessage).toString(), QStringLiteral("loadLanguages"));
}

TEST_F(DevLoggerTest, ErrorUserInfoIsCopiedAndItsMessageReplaced) {
    const Error error(kDomain, -204, QString(),
                      {{kMessage, QStringLiteral("old")}, {QStringLiteral("CodeONMT"), 3}});
    DevLogger::logError(error, QStringLiteral("new"));
    const auto &record = onlyRecord();
    EXPECT_EQ(record.userInfo.value(kMessage).toString(), QStringLiteral("new"));
    EXPECT_EQ(record.userInfo.value(QStringLiteral("CodeONMT")).toInt(), 3);
    EXPECT_FALSE(record.userInfo.value(kStack).toStringList().isEmpty());
    // The caller's error is a value and stays as it was.
    EXPECT_EQ(error.userInfo().value(kMessage).toString(), QStringLiteral("old"));
}

TEST_F(DevLoggerTest, ErrorWritesOneLineWithUserInfoAndMessage) {
    DevLogger::logError(Error(kDomain, -202), QStringLiteral("checkPackages"));
    ASSERT_EQ(systemLines.size(), 1);
    const QString line = systemLines.first();
    EXPECT_TRUE(line.startsWith(QStringLiteral("ERROR: {\n")));
    EXPECT_TRUE(line.endsWith(QStringLiteral("} \r message: checkPackages")));
    EXPECT_TRUE(line.contains(QStringLiteral("message = checkPackages;")));
    EXPECT_EQ(reporter->lines, systemLines);
}

TEST_F(DevLoggerTest, NonFatalIsRecordedUnderItsNameWithHashedDomain) {
    const QString name = QStringLiteral("Localization error: no bundle found, resetting!");
    DevLogger::logNonFatal(name, {});
    const auto &record = onlyRecord();
    EXPECT_EQ(record.domain, QStringLiteral("NonFatal ") + name);
    EXPECT_EQ(record.code, platform::stableStringHash(record.domain));
    EXPECT_EQ(record.userInfo.keys(), (QStringList{kStack, kMessage}));
    EXPECT_EQ(record.userInfo.value(kMessage).toString(), name);
    ASSERT_EQ(systemLines.size(), 1);
    EXPECT_TRUE(systemLines.first().startsWith(QStringLiteral("NonFatal: ") + name + QStringLiteral(" \r payload: {")));
}

TEST_F(DevLoggerTest, NonFatalPayloadIsKeptBesideTheAddedKeys) {
    DevLogger::logNonFatal(QStringLiteral("event"), {{QStringLiteral("lang"), QStringLiteral("de")},
                                                    {kMessage, QStringLiteral("payload's own")}});
    const auto &record = onlyRecord();
    EXPECT_EQ(record.userInfo.value(QStringLiteral("lang")).toString(), QStringLiteral("de"));
    EXPECT_EQ(record.userInfo.value(kMessage).toString(), QStringLiteral("event"));
}

TEST_F(DevLoggerTest, ExceptionIsRecordedAs667WithoutALogLine) {
    DevLogger::logException(std::runtime_error("boom"), QStringLiteral("savePromoAppsWithData:withCompletion:"));
    const auto &record = onlyRecord();
    EXPECT_EQ(record.domain, QStringLiteral("NSException"));
    EXPECT_EQ(record.code, 667);
    EXPECT_EQ(record.userInfo.value(kMessage).toString(), QStringLiteral("savePromoAppsWithData:withCompletion:"));
    EXPECT_TRUE(record.userInfo.contains(kStack));
    EXPECT_TRUE(systemLines.isEmpty());
    EXPECT_TRUE(reporter->lines.isEmpty());
}

TEST_F(DevLoggerTest, CallStackNamesTheReportingCaller) {
    DevLogger::logNonFatal(QStringLiteral("event"), {});
    const QStringList stack = onlyRecord().userInfo.value(kStack).toStringList();
    ASSERT_FALSE(stack.isEmpty());
    EXPECT_TRUE(stack.join(QLatin1Char('\n')).contains(QStringLiteral("DevLoggerTest")));
    EXPECT_TRUE(stack.first().startsWith(QStringLiteral("0 ")));
}

TEST_F(DevLoggerTest, DevLogWritesTheLineOnceToEachLog) {
    DevLog("[Analytics] userId: %@", nullptr);
    EXPECT_EQ(systemLines, QStringList{QStringLiteral("[Analytics] userId: (null)")});
    EXPECT_EQ(reporter->lines, systemLines);
}

TEST_F(DevLoggerTest, DevLogNeverTreatsTheFormattedLineAsAFormat) {
    DevLog("[file] translated %@", QStringLiteral("100%d %@ %s"));
    EXPECT_EQ(systemLines, QStringList{QStringLiteral("[file] translated 100%d %@ %s")});
}

TEST_F(DevLoggerTest, CallableFromWorkerThreads) {
    QList<QThread *> threads;
    for (int t = 0; t < 4; ++t) {
        threads << QThread::create([] {
            for (int i = 0; i < 25; ++i)
                DevLogger::logNonFatal(QStringLiteral("worker"), {});
        });
        threads.last()->start();
    }
    for (QThread *thread : threads) {
        thread->wait();
        delete thread;
    }
    EXPECT_EQ(reporter->records.size(), 100);
}

// No network, no backend, a cancel: one plain line; a fault in the same domain is still a record.
TEST_F(DevLoggerTest, ExpectedConditionsAreOnePlainLineAndNeverARecord) {
    const QString url = QStringLiteral("NSURLErrorDomain");
    struct Case {
        Error error;
        bool expected;
    } cases[] = {
        {Error(url, -1003, QStringLiteral("A server with the specified hostname could not be found.")), true},
        {Error(url, -1009), true},
        {Error(url, -1004), true},
        {Error(url, -1001), true},
        {Error(url, -999), true},
        {Error(url, -1005), true},
        {Error(url, -1011), false}, // a bad reply from a backend that answered
        {Error(url, -1202), false},
        {Error(kDomain, -1003), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.error.code());
        reporter->records.clear();
        systemLines.clear();
        DevLogger::logError(c.error, QStringLiteral("getRemoteSettings"));
        EXPECT_EQ(DevLogger::isExpectedCondition(c.error), c.expected);
        EXPECT_EQ(reporter->records.size(), c.expected ? 0 : 1);
        ASSERT_EQ(systemLines.size(), 1);
        EXPECT_EQ(systemLines.first().startsWith(QStringLiteral("[expected] getRemoteSettings: ")), c.expected);
        EXPECT_EQ(systemLines.first().contains(QLatin1Char('\n')), !c.expected) << "a plain line has no stack";
    }
}
