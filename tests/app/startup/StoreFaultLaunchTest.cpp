#include "LaunchTestSupport.h"

#include "core/QVStoreConfiguration.h"
#include "startup/QVSystemLaunchDependencies.h"
#include "platform/AppPaths.h"
#include "platform/CrashReporter.h"
#include "platform/store/Store.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace launchtest;

namespace {

// The application's real store opening; everything else recorded.
class RealStoreDependencies : public RecordingDependencies {
public:
    using RecordingDependencies::RecordingDependencies;
    QVStoreOpening migrationRealm() override {
        record("migrationRealm");
        return system.migrationRealm();
    }
    void acknowledgeSalvageReports() override {
        record("acknowledgeSalvageReports");
        system.acknowledgeSalvageReports();
    }
    QVSystemLaunchDependencies system;
};

class StoreFaultLaunchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        platform::AppPaths::setRoot(root.path());
        platform::CrashReporter::setShared(reporter);
    }
    void TearDown() override {
        platform::ObjectStore::resetDefaultStore();
        platform::AppPaths::setRoot(QString());
        platform::CrashReporter::setShared(nullptr);
    }
    QString storePath() const {
        return QDir(platform::AppPaths::ensure(platform::AppPaths::state())).filePath("default.sqlite");
    }
    static QByteArray fileHash(const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly)
                   ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                   : QByteArray();
    }
    bool launch(RealStoreDependencies **out) {
        auto deps = std::make_unique<RealStoreDependencies>(&calls);
        *out = deps.get();
        delegate = std::make_unique<AppDelegate>(std::move(deps), QStringLiteral("user"));
        return delegate->applicationDidFinishLaunching();
    }

    QTemporaryDir root;
    QStringList calls;
    std::unique_ptr<AppDelegate> delegate;
    std::shared_ptr<RecordingCrashReporter> reporter = std::make_shared<RecordingCrashReporter>();
};

} // namespace

TEST_F(StoreFaultLaunchTest, ADamagedStoreIsRepairedTheUserToldOnceAndTheLaunchGoesOn) {
    QByteArray garbage(8 * 4096, '\0');
    QRandomGenerator generator(11);
    for (char &byte : garbage)
        byte = char(generator.bounded(256));
    {
        QFile file(storePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    }
    RealStoreDependencies *deps = nullptr;
    ASSERT_TRUE(launch(&deps));
    ASSERT_EQ(deps->notices.size(), 1);
    EXPECT_EQ(deps->notices.first().title, AppDelegate::kSalvageTitle);
    EXPECT_TRUE(calls.contains("makeMainWindowController"));
    // The damaged file survives aside, byte for byte, and the notice names it.
    const QStringList aside =
        QDir(platform::AppPaths::state()).entryList({QStringLiteral("*.damaged-*")}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(deps->notices.first().text.contains(aside.first()));
    QFile moved(QDir(platform::AppPaths::state()).filePath(aside.first()));
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), garbage);
    // The new store works.
    EXPECT_FALSE(platform::ObjectStore::defaultStore().isNull());

    // The next launch does not tell it again.
    delegate.reset();
    platform::ObjectStore::resetDefaultStore();
    calls.clear();
    ASSERT_TRUE(launch(&deps));
    EXPECT_TRUE(deps->notices.isEmpty());
}

TEST_F(StoreFaultLaunchTest, AStoreFromANewerVersionIsExplainedAndLeftUntouched) {
    {
        platform::StoreConfiguration newer = QVStoreConfiguration::defaultConfiguration();
        newer.path = storePath();
        newer.schemaVersion = QVStoreConfiguration::kSchemaVersion + 1;
        platform::Error error;
        const platform::ObjectStore store = platform::ObjectStore::open(newer, &error);
        ASSERT_FALSE(store.isNull()) << error.localizedDescription().toStdString();
        ASSERT_FALSE(store.write([](platform::Transaction &tx) {
            tx.create("QVLanguageRealm", {{"localeIdentifier", "en_GB"}});
        }));
    }
    const QByteArray before = fileHash(storePath());
    ASSERT_FALSE(before.isEmpty());
    RealStoreDependencies *deps = nullptr;
    EXPECT_FALSE(launch(&deps));
    ASSERT_EQ(deps->notices.size(), 1);
    EXPECT_EQ(deps->notices.first().title, AppDelegate::kNewerStoreTitle);
    EXPECT_TRUE(deps->notices.first().text.contains(storePath()));
    EXPECT_EQ(fileHash(storePath()), before);
    EXPECT_TRUE(
        QDir(platform::AppPaths::state()).entryList({QStringLiteral("*.damaged-*")}, QDir::Files).isEmpty());
    EXPECT_FALSE(calls.contains("makeMainWindowController"));
}
