#include <merovantia/FileKeychainStore.h>
#include <merovantia/KeychainStore.h>
#include <merovantia/MFDataManager.h>
#include <merovantia/SAMKeychain.h>
#include <merovantia/SecretServiceKeychainStore.h>

#include "platform/AppPaths.h"
#include "support/EventLoop.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A private session bus with an unlocked gnome-keyring on it, for this process only.
class SecretServiceStoreTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_reason.clear();
        const QString busDaemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        const QString keyring = QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
        if (busDaemon.isEmpty() || keyring.isEmpty()) {
            s_reason = QStringLiteral("dbus-daemon or gnome-keyring-daemon is not installed");
            return;
        }
        s_dir = new QTemporaryDir;
        const QString runtime = s_dir->filePath(QStringLiteral("run"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        s_bus = new QProcess;
        s_bus->start(busDaemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                 QStringLiteral("--print-address=1")});
        if (!s_bus->waitForStarted(5000) || !qvtest::waitUntil([] { return s_bus->canReadLine(); }, 5000)) {
            s_reason = QStringLiteral("cannot start a session bus");
            return;
        }
        const QByteArray address = s_bus->readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(address));
        env.insert(QStringLiteral("HOME"), s_dir->path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("XDG_DATA_HOME"), s_dir->filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), s_dir->filePath(QStringLiteral("config")));
        env.remove(QStringLiteral("DISPLAY"));
        s_keyring = new QProcess;
        s_keyring->setProcessEnvironment(env);
        s_keyring->start(keyring, {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                                   QStringLiteral("--components=secrets")});
        if (!s_keyring->waitForStarted(5000)) {
            s_reason = QStringLiteral("cannot start gnome-keyring-daemon");
            return;
        }
        s_keyring->write("test-password");
        s_keyring->closeWriteChannel();
        QString why;
        if (!qvtest::waitUntil([&] { return merovantia::SecretServiceKeychainStore::isUsable(&why); }, 10000))
            s_reason = QStringLiteral("the keyring did not come up unlocked: ") + why;
    }

    static void TearDownTestSuite() {
        for (QProcess *process : {s_keyring, s_bus}) {
            if (!process)
                continue;
            process->kill();
            process->waitForFinished(3000);
            delete process;
        }
        s_keyring = s_bus = nullptr;
        delete s_dir;
        s_dir = nullptr;
    }

    void SetUp() override {
        if (!s_reason.isEmpty())
            GTEST_SKIP() << qPrintable(s_reason);
        m_service =
            QStringLiteral("svc.%1").arg(::testing::UnitTest::GetInstance()->current_test_info()->name());
        merovantia::KeychainStore::setShared(m_store);
        merovantia::KeychainStore::setFallback(nullptr);
    }
    void TearDown() override { merovantia::KeychainStore::setShared(nullptr); }

    static inline QString s_reason;
    static inline QTemporaryDir *s_dir = nullptr;
    static inline QProcess *s_bus = nullptr;
    static inline QProcess *s_keyring = nullptr;

    std::shared_ptr<merovantia::SecretServiceKeychainStore> m_store =
        std::make_shared<merovantia::SecretServiceKeychainStore>();
    QString m_service;
};

TEST_F(SecretServiceStoreTest, ItemsAreAddedFoundUpdatedAndRemoved) {
    using namespace merovantia;
    EXPECT_EQ(m_store->find(m_service, QStringLiteral("alice"), nullptr), KeychainStatus::ItemNotFound);
    ASSERT_EQ(m_store->add({m_service, QStringLiteral("alice"), {}, QByteArray("one"), {}, {}}), 0);
    EXPECT_EQ(m_store->add({m_service, QStringLiteral("alice"), {}, QByteArray("dup"), {}, {}}),
              KeychainStatus::DuplicateItem);
    QByteArray password;
    ASSERT_EQ(m_store->find(m_service, QStringLiteral("alice"), &password), 0);
    EXPECT_EQ(password, QByteArray("one"));

    ASSERT_EQ(m_store->update(m_service, QStringLiteral("alice"), QByteArray("two")), 0);
    ASSERT_EQ(m_store->find(m_service, QStringLiteral("alice"), &password), 0);
    EXPECT_EQ(password, QByteArray("two"));
    EXPECT_EQ(m_store->update(m_service, QStringLiteral("bob"), QByteArray("x")),
              KeychainStatus::ItemNotFound);

    ASSERT_EQ(m_store->remove(m_service, QStringLiteral("alice")), 0);
    EXPECT_EQ(m_store->remove(m_service, QStringLiteral("alice")), KeychainStatus::ItemNotFound);
    EXPECT_EQ(m_store->find(m_service, QStringLiteral("alice"), nullptr), KeychainStatus::ItemNotFound);
}

TEST_F(SecretServiceStoreTest, UpdateChangesThePasswordOnlyAndKeepsTheLabel) {
    using namespace merovantia;
    ASSERT_EQ(
        m_store->add({m_service, QStringLiteral("alice"), QStringLiteral("Alice's key"), "one", {}, {}}), 0);
    ASSERT_EQ(m_store->update(m_service, QStringLiteral("alice"), QByteArray("two")), 0);
    QList<KeychainItem> items;
    ASSERT_EQ(m_store->list(m_service, &items), 0);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].label, QStringLiteral("Alice's key"));
    QByteArray password;
    ASSERT_EQ(m_store->find(m_service, QStringLiteral("alice"), &password), 0);
    EXPECT_EQ(password, QByteArray("two"));
}

TEST_F(SecretServiceStoreTest, AccountListingsFindItemsByServiceAndAll) {
    ASSERT_TRUE(SAMKeychain::setPassword(QStringLiteral("a"), m_service, QStringLiteral("alice")));
    ASSERT_TRUE(SAMKeychain::setPassword(QStringLiteral("b"), m_service, QStringLiteral("bob")));
    ASSERT_TRUE(SAMKeychain::setPassword(QStringLiteral("c"), m_service + QStringLiteral(".other"),
                                         QStringLiteral("carol")));

    const QList<QVariantMap> accounts = SAMKeychain::accountsForService(m_service);
    ASSERT_EQ(accounts.size(), 2);
    QStringList names;
    for (const QVariantMap &item : accounts) {
        names << item.value(kSAMKeychainAccountKey).toString();
        EXPECT_EQ(item.value(kSAMKeychainWhereKey).toString(), m_service);
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("alice"), QStringLiteral("bob")}));
    EXPECT_GE(SAMKeychain::allAccounts().size(), 3);
    EXPECT_EQ(SAMKeychain::passwordForService(m_service, QStringLiteral("bob")), QStringLiteral("b"));
}

TEST_F(SecretServiceStoreTest, InstallationIdentitySurvivesInTheKeyring) {
    QString first;
    MFDataManager::sharedDataManager().saveAppKey(QStringLiteral("key-1"),
                                                  [&](const QString &uuid) { first = uuid; });
    ASSERT_EQ(first.size(), 36);
    EXPECT_EQ(MFDataManager::sharedDataManager().uuid(), first);
    QString second;
    MFDataManager::sharedDataManager().saveAppKey(QStringLiteral("key-2"),
                                                  [&](const QString &uuid) { second = uuid; });
    EXPECT_EQ(second, first);
    EXPECT_EQ(MFDataManager::sharedDataManager().appKey(), QStringLiteral("key-2"));
    QByteArray stored;
    EXPECT_EQ(m_store->find(MFDataManager::appIdentifier(), first, &stored), 0);
    EXPECT_EQ(stored, QByteArray("key-2"));
}

TEST_F(SecretServiceStoreTest, ProbeChoosesTheSecretServiceWhenItIsUnlocked) {
    merovantia::KeychainStore::setShared(nullptr);
    qunsetenv("QV_KEYCHAIN");
    EXPECT_NE(
        dynamic_cast<merovantia::SecretServiceKeychainStore *>(merovantia::KeychainStore::shared().get()),
        nullptr);
    EXPECT_EQ(merovantia::KeychainStore::fallback()->name(), QStringLiteral("file store"));
}

// Last in this file: it locks the keyring, and nothing here can unlock it again without a prompt.
TEST_F(SecretServiceStoreTest, IdentityInALockedKeyringIsFoundBehindTheFileStoreAndCopiedThere) {
    QString first;
    MFDataManager::sharedDataManager().saveAppKey(QStringLiteral("key-1"),
                                                  [&](const QString &uuid) { first = uuid; });
    ASSERT_EQ(first.size(), 36);

    QProcess lock;
    lock.start(QStringLiteral("gdbus"),
               {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                QStringLiteral("org.freedesktop.secrets"), QStringLiteral("--object-path"),
                QStringLiteral("/org/freedesktop/secrets"), QStringLiteral("--method"),
                QStringLiteral("org.freedesktop.Secret.Service.Lock"),
                QStringLiteral("['/org/freedesktop/secrets/aliases/default']")});
    ASSERT_TRUE(lock.waitForFinished(5000));
    ASSERT_EQ(lock.exitCode(), 0) << lock.readAllStandardError().constData();
    QString reason;
    ASSERT_FALSE(merovantia::SecretServiceKeychainStore::isUsable(&reason));
    EXPECT_EQ(reason, QStringLiteral("the default collection is locked"));
    EXPECT_TRUE(merovantia::SecretServiceKeychainStore::isReachable());

    // A launch that finds the keyring locked works from the file store.
    QTemporaryDir root;
    platform::AppPaths::setRoot(root.path());
    qunsetenv("QV_KEYCHAIN");
    merovantia::KeychainStore::setShared(nullptr);
    ASSERT_NE(dynamic_cast<merovantia::FileKeychainStore *>(merovantia::KeychainStore::shared().get()),
              nullptr);
    ASSERT_NE(merovantia::KeychainStore::fallback(), nullptr);
    EXPECT_EQ(merovantia::KeychainStore::fallback()->name(), QStringLiteral("Secret Service"));

    QString again;
    MFDataManager::sharedDataManager().saveAppKey(QStringLiteral("key-1"),
                                                  [&](const QString &uuid) { again = uuid; });
    EXPECT_EQ(again, first);
    QList<merovantia::KeychainItem> copied;
    ASSERT_EQ(merovantia::KeychainStore::shared()->list(MFDataManager::appIdentifier(), &copied), 0);
    ASSERT_EQ(copied.size(), 1);
    EXPECT_EQ(copied.first().account, first);
    merovantia::KeychainStore::setShared(nullptr);
    platform::AppPaths::setRoot({});
}

} // namespace
