#include "platform/AppPaths.h"
#include "platform/FileCrashReporter.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
    EXPECT_EQ(records[0][QStringLiteral("userInfo")][QStringLiteral("message")].toString(), QStringLiteral("check"));
    EXPECT_EQ(records[0][QStringLiteral("userInfo")][QStringLiteral("callStackSymbols")].toArray().size(), 1);
    EXPECT_EQ(records[0][QStringLiteral("userId")].toString(), QStringLiteral("user-7"));
    EXPECT_EQ(records[0][QStringLiteral("customKeys")][QStringLiteral("launches")].toInt(), 3);
    EXPECT_EQ(records[0][QStringLiteral("breadcrumbs")].toArray().first().toString(),
              QStringLiteral("[push] started"));
    EXPECT_EQ(records[1][QStringLiteral("code")].toInteger(), 667);
}
