// A start at login before the keyring is up: the file store serves until the Secret Service
// appears on the session bus, then the keyring does, holding everything the file store held.
#include <merovantia/KeychainStore.h>
#include <merovantia/MFDataManager.h>
#include <merovantia/SAMKeychain.h>
#include <merovantia/SecretServiceKeychainStore.h>

#include "platform/AppPaths.h"
#include "support/ChildProcess.h"
#include "support/EventLoop.h"
#include "support/PrivateBus.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString saveAppKey(const QString &key) {
    QString handed;
    MFDataManager::sharedDataManager().saveAppKey(key, [&](const QString &uuid) { handed = uuid; });
    return handed;
}

QString storeName() {
    return merovantia::KeychainStore::shared()->name();
}

} // namespace

// The "program": its session bus has no keyring when it starts; it starts one midway, as the
// desktop would, and must end up in it without losing anything.
TEST(KeyringArrivalChild, DISABLED_TheKeyringComesUpAfterTheStart) {
    qunsetenv("DISPLAY");
    qunsetenv("QV_KEYCHAIN");
    platform::AppPaths::setRoot(qEnvironmentVariable("QV_TEST_ROOT"));
    merovantia::KeychainStore::setShared(nullptr);
    ASSERT_EQ(storeName(), QStringLiteral("file store"));
    const QString identity = saveAppKey(QStringLiteral("key-1"));
    ASSERT_EQ(identity.size(), 36);
    ASSERT_TRUE(SAMKeychain::setPassword(QStringLiteral("token-1"), QStringLiteral("svc.account"),
                                         QStringLiteral("alice")));

    QProcess keyring;
    keyring.start(
        QStringLiteral("gnome-keyring-daemon"),
        {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
    ASSERT_TRUE(keyring.waitForStarted(5000));
    keyring.write("test-password");
    keyring.closeWriteChannel();
    const bool moved =
        qvtest::waitUntil([] { return storeName() == QStringLiteral("Secret Service"); }, 60000);
    EXPECT_TRUE(moved) << "still using the " << storeName().toStdString();
    if (moved) {
        EXPECT_EQ(merovantia::KeychainStore::fallback()->name(), QStringLiteral("file store"));
        EXPECT_EQ(MFDataManager::sharedDataManager().uuid(), identity);
        EXPECT_EQ(MFDataManager::sharedDataManager().appKey(), QStringLiteral("key-1"));
        EXPECT_EQ(SAMKeychain::passwordForService(QStringLiteral("svc.account"), QStringLiteral("alice")),
                  QStringLiteral("token-1"));
        // The keyring itself holds them, not only the file behind it.
        merovantia::SecretServiceKeychainStore keyringStore;
        QByteArray key;
        EXPECT_EQ(keyringStore.find(MFDataManager::appIdentifier(), identity, &key), 0);
        EXPECT_EQ(key, QByteArray("key-1"));
        EXPECT_EQ(saveAppKey(QStringLiteral("key-2")), identity);
        EXPECT_EQ(keyringStore.find(MFDataManager::appIdentifier(), identity, &key), 0);
        EXPECT_EQ(key, QByteArray("key-2"));
        printf("moved-into-the-keyring\n");
    }
    keyring.kill();
    keyring.waitForFinished(3000);
}

TEST(KeyringArrival, AKeyringThatComesUpLaterIsUsedWithEverythingTheFileStoreHeld) {
    if (QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon")).isEmpty())
        GTEST_SKIP() << "gnome-keyring-daemon is not installed";
    qvtest::PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString runtime = dir.filePath(QStringLiteral("run"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    auto child =
        qvtest::startChildTest(QStringLiteral("KeyringArrivalChild.DISABLED_TheKeyringComesUpAfterTheStart"),
                               {{"DBUS_SESSION_BUS_ADDRESS", bus.address()},
                                {"HOME", dir.path()},
                                {"XDG_RUNTIME_DIR", runtime},
                                {"XDG_DATA_HOME", dir.filePath(QStringLiteral("data"))},
                                {"XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config"))},
                                {"QV_TEST_ROOT", dir.filePath(QStringLiteral("home"))}});
    EXPECT_TRUE(qvtest::finishChild(*child, 120000).contains("moved-into-the-keyring"));
}
