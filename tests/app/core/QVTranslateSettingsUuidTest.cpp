#include "ModelTestStore.h"

#include "core/settings/QVSettingsService.h"
#include "core/settings/QVTranslateSettings.h"

#include "platform/AppPaths.h"

#include <merovantia/FileKeychainStore.h>
#include <merovantia/KeychainStore.h>
#include <merovantia/MFDataManager.h>

using namespace platform;

// The installation identifier comes from the backend client's keychain item,
// here a file store in the test's own folder.
class SettingsUuidTest : public ModelStoreTest {
protected:
    void SetUp() override {
        ModelStoreTest::SetUp();
        ASSERT_TRUE(keychainDir.isValid());
        AppPaths::setRoot(keychainDir.path());
        keychain =
            std::make_shared<merovantia::FileKeychainStore>(merovantia::KeychainStore::defaultFilePath());
        merovantia::KeychainStore::setShared(keychain);
        merovantia::KeychainStore::setFallback(nullptr);
        QVTranslateSettings::resetCachedUuid();
    }
    void TearDown() override {
        QVTranslateSettings::resetCachedUuid();
        merovantia::KeychainStore::setShared(nullptr);
        merovantia::KeychainStore::setFallback(nullptr);
        AppPaths::setRoot({});
        ModelStoreTest::TearDown();
    }

    QTemporaryDir keychainDir;
    std::shared_ptr<merovantia::FileKeychainStore> keychain;
};

TEST_F(SettingsUuidTest, IdentifierIsReadOnceThenKeptAndNeverStored) {
    EXPECT_TRUE(QVSettingsService::defaultSettings().uuid().isEmpty());

    QString saved;
    MFDataManager::sharedDataManager().saveAppKey(QStringLiteral("app-key"),
                                                  [&](const QString &uuid) { saved = uuid; });
    ASSERT_EQ(saved.size(), 36);
    // Nothing was kept while the identifier was missing.
    EXPECT_EQ(QVSettingsService::defaultSettings().uuid(), saved);

    // Later keychain reads would give another identifier: the kept one still answers.
    ASSERT_EQ(keychain->remove(MFDataManager::appIdentifier(), saved), merovantia::KeychainStatus::Success);
    ASSERT_TRUE(MFDataManager::sharedDataManager().uuid().isEmpty());
    EXPECT_EQ(QVSettingsService::defaultSettings().uuid(), saved);

    const QVTranslateSettings readBack(store.objectForPrimaryKey(QVTranslateSettings::storeClassName(), 1));
    EXPECT_FALSE(readBack.values().contains(QStringLiteral("uuid")));
    EXPECT_EQ(readBack.uuid(), saved);
}
