#include "platform/FileCrashReporter.h"
#include "platform/AppPaths.h"
#include "support/ChildProcess.h"
#include "support/EventLoop.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using platform::FileCrashReporter;

namespace {

QList<QJsonObject> readRecords(const QString &path) {
    QFile file(path);
    QList<QJsonObject> out;
    if (!file.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            out << QJsonDocument::fromJson(line).object();
    }
    return out;
}

} // namespace

TEST(FileCrashReporter, BreadcrumbsKeepOnlyTheLatestLines) {
    FileCrashReporter reporter(QStringLiteral("/nonexistent/never-written"));
    for (int i = 0; i < FileCrashReporter::kMaxBreadcrumbs + 10; ++i)
        reporter.log(QString::number(i));
    reporter.log(QString(FileCrashReporter::kMaxLineLength * 2, QLatin1Char('x')));
    const QStringList crumbs = reporter.breadcrumbs();
    ASSERT_EQ(crumbs.size(), FileCrashReporter::kMaxBreadcrumbs);
    EXPECT_EQ(crumbs.first(), QString::number(11));
    EXPECT_EQ(crumbs.last().size(), FileCrashReporter::kMaxLineLength);
}

TEST(FileCrashReporter, EachRecordIsOneJsonLineInTheStateFolder) {
    QTemporaryDir dir;
    platform::AppPaths::setRoot(dir.path());
    FileCrashReporter reporter;
    reporter.setUserId(QStringLiteral("user-7"));
    reporter.setCustomKey(QStringLiteral("launches"), 3);
    reporter.log(QStringLiteral("[push] started"));
    reporter.recordError(QStringLiteral("com.translator"), -202,
                         {{QStringLiteral("message"), QStringLiteral("check")},
                          {QStringLiteral("callStackSymbols"), QStringList{QStringLiteral("0 f")}}});
    reporter.recordError(QStringLiteral("NSException"), 667, {});
    const QString path = QDir(platform::AppPaths::state()).filePath(QStringLiteral("crash-reports.jsonl"));
    EXPECT_EQ(reporter.filePath(), path);
    platform::AppPaths::setRoot(QString());

    const QList<QJsonObject> records = readRecords(path);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0][QStringLiteral("domain")].toString(), QStringLiteral("com.translator"));
    EXPECT_EQ(records[0][QStringLiteral("code")].toInteger(), -202);
    EXPECT_EQ(records[0][QStringLiteral("userInfo")][QStringLiteral("message")].toString(),
              QStringLiteral("check"));
    EXPECT_EQ(records[0][QStringLiteral("userInfo")][QStringLiteral("callStackSymbols")].toArray().size(), 1);
    EXPECT_EQ(records[0][QStringLiteral("userId")].toString(), QStringLiteral("user-7"));
    EXPECT_EQ(records[0][QStringLiteral("customKeys")][QStringLiteral("launches")].toInt(), 3);
    EXPECT_EQ(records[0][QStringLiteral("breadcrumbs")].toArray().first().toString(),
              QStringLiteral("[push] started"));
    EXPECT_EQ(records[1][QStringLiteral("code")].toInteger(), 667);
}

namespace {

unsigned modeOf(const QString &path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
}

} // namespace

// One writer process for the test below: QV_TEST_COUNT records tagged QV_TEST_TAG, once the
// start file exists.
TEST(CrashReportChild, DISABLED_WriteRecords) {
    const QString path = qEnvironmentVariable("QV_TEST_FILE");
    ASSERT_FALSE(path.isEmpty());
    ASSERT_TRUE(qvtest::waitUntil([&] { return QFile::exists(path + QStringLiteral(".go")); }, 20000));
    FileCrashReporter reporter(path);
    const QString padding(2000, QLatin1Char('p'));
    for (int i = 0; i < qEnvironmentVariableIntValue("QV_TEST_COUNT"); ++i)
        reporter.recordError(qEnvironmentVariable("QV_TEST_TAG"), i, {{QStringLiteral("padding"), padding}});
}

TEST(FileCrashReporter, ProcessesWritingAtTheLimitLoseNoRecordAndFilesStayPrivate) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("crash-reports.jsonl"));
    // Just under the limit, so the writers below cross it together, once.
    int prefilled = 0;
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const QByteArray padding(1000, 'x');
        while (file.size() < FileCrashReporter::kMaxFileBytes - 20000)
            file.write("{\"domain\":\"prefill\",\"code\":" + QByteArray::number(prefilled++) + ",\"p\":\"" +
                       padding + "\"}\n");
    }
    constexpr int kWriters = 6;
    constexpr int kRecords = 40;
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int i = 0; i < kWriters; ++i)
        writers.push_back(qvtest::startChildTest(QStringLiteral("CrashReportChild.DISABLED_WriteRecords"),
                                                 {{"QV_TEST_FILE", path},
                                                  {"QV_TEST_TAG", QStringLiteral("writer-%1").arg(i)},
                                                  {"QV_TEST_COUNT", kRecords}}));
    for (auto &writer : writers)
        ASSERT_TRUE(writer->waitForStarted(10000));
    qvtest::spin(300);
    QFile go(path + QStringLiteral(".go"));
    ASSERT_TRUE(go.open(QIODevice::WriteOnly));
    go.close();
    for (auto &writer : writers)
        EXPECT_FALSE(qvtest::finishChild(*writer).isEmpty());

    QMap<QString, QSet<qint64>> seen;
    int lines = 0;
    for (const QString &file : {path + QStringLiteral(".1"), path}) {
        for (const QJsonObject &record : readRecords(file)) {
            ++lines;
            seen[record[QStringLiteral("domain")].toString()].insert(
                record[QStringLiteral("code")].toInteger());
        }
    }
    EXPECT_EQ(seen.value(QStringLiteral("prefill")).size(), prefilled) << "the rotated records survive";
    for (int i = 0; i < kWriters; ++i)
        EXPECT_EQ(seen.value(QStringLiteral("writer-%1").arg(i)).size(), kRecords) << i;
    EXPECT_EQ(lines, prefilled + kWriters * kRecords) << "every record once, none torn";
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(modeOf(path + QStringLiteral(".lock")), 0600u);
}
