#include "RecordingCrashReporter.h"

#include "core/mapping/ObjectStoreReporting.h"

#include "platform/store/Store.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ObjectStoreReporting, ADamagedStoreFileReachesTheCrashReporter) {
    auto reporter = std::make_shared<RecordingCrashReporter>();
    const auto previous = platform::CrashReporter::shared();
    platform::CrashReporter::setShared(reporter);
    installObjectStoreReporter();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("store.sqlite"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8192, 'x'));
    file.close();
    platform::StoreConfiguration config;
    config.path = path;
    config.schemaVersion = 112;
    config.classes = {platform::ObjectSchema(QStringLiteral("Thing"))
                          .property(QStringLiteral("name"), platform::PropertyType::String)};
    EXPECT_FALSE(platform::ObjectStore::open(config).isNull());

    platform::ObjectStore::setReporter({});
    platform::CrashReporter::setShared(previous);
    ASSERT_EQ(reporter->records.size(), 1);
    EXPECT_EQ(reporter->records.first().domain, QString::fromLatin1(platform::ObjectStore::kErrorDomain));
    EXPECT_EQ(reporter->records.first().code, platform::ObjectStore::DamagedFile);
    EXPECT_TRUE(reporter->records.first()
                    .userInfo.value(QStringLiteral("movedTo"))
                    .toString()
                    .contains(QStringLiteral("damaged")));
}
