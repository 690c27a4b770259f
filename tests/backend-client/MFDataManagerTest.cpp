#include "KeychainTestSupport.h"

#include <merovantia/MFDataManager.h>
#include <merovantia/SAMKeychain.h>
#include <merovantia/SecretServiceKeychainStore.h>

#include "platform/Bundle.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QString savedIdentifier(const QString &key) {
    QString handed;
    int calls = 0;
    MFDataManager::sharedDataManager().saveAppKey(key, [&](const QString &uuid) {
        handed = uuid;
        ++calls;
    });
    EXPECT_EQ(calls, 1);
    return handed;
}

TEST_F(FileKeychainTest, FirstSaveMakesAnIdentifierAndLaterSavesKeepIt) {
    MFDataManager &manager = MFDataManager::sharedDataManager();
    EXPECT_TRUE(manager.uuid().isNull());
    EXPECT_TRUE(manager.appKey().isNull());

    const QString first = savedIdentifier(QStringLiteral("key-1"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"))
                    .match(first)
                    .hasMatch())
        << qPrintable(first);
    EXPECT_EQ(manager.uuid(), first);
    EXPECT_EQ(manager.appKey(), QStringLiteral("key-1"));

    EXPECT_EQ(savedIdentifier(QStringLiteral("key-1")), first);
    EXPECT_EQ(SAMKeychain::accountsForService(MFDataManager::appIdentifier()).size(), 1);
}

TEST_F(FileKeychainTest, NewApplicationKeyKeepsTheIdentifier) {
    const QString first = savedIdentifier(QStringLiteral("key-1"));
    EXPECT_EQ(savedIdentifier(QStringLiteral("key-2")), first);
    EXPECT_EQ(MFDataManager::sharedDataManager().appKey(), QStringLiteral("key-2"));
    const QList<QVariantMap> items = SAMKeychain::accountsForService(MFDataManager::appIdentifier());
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].value(kSAMKeychainAccountKey).toString(), first);
}

TEST_F(FileKeychainTest, ServiceNameIsThePrefixFollowedByTheApplicationIdentifier) {
    EXPECT_EQ(MFDataManager::appIdentifier(),
              QStringLiteral("kMerovantiaServiceIdentifier") + MFDataManager::bundleIdentifier());
    platform::Bundle::setBundleIdentifier(QStringLiteral("org.example.app"));
    EXPECT_EQ(MFDataManager::appIdentifier(), QStringLiteral("kMerovantiaServiceIdentifierorg.example.app"));
    platform::Bundle::setBundleIdentifier({});
}

TEST_F(FileKeychainTest, OldestOfSeveralItemsIsTheIdentifierWhateverTheFileOrder) {
    // Written by hand: the newer item first, the older one second.
    auto item = [](const char *account, const char *created) {
        return QJsonObject{{QStringLiteral("service"), MFDataManager::appIdentifier()},
                           {QStringLiteral("account"), QString::fromLatin1(account)},
                           {QStringLiteral("password"), QStringLiteral("a2V5")},
                           {QStringLiteral("created"), QString::fromLatin1(created)},
                           {QStringLiteral("modified"), QString::fromLatin1(created)}};
    };
    const QJsonArray items{item("BBBB", "2024-05-01T10:00:00.000Z"), item("CCCC", "2023-01-01T10:00:00.000Z"),
                           item("AAAA", "2024-05-01T10:00:00.000Z")};
    QDir().mkpath(QFileInfo(m_store->path()).absolutePath());
    QFile file(m_store->path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(QJsonObject{{QStringLiteral("items"), items}}).toJson());
    file.close();

    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(MFDataManager::sharedDataManager().uuid(), QStringLiteral("CCCC"));
    EXPECT_EQ(MFDataManager::sharedDataManager().appKey(), QStringLiteral("key"));
    EXPECT_EQ(savedIdentifier(QStringLiteral("key-2")), QStringLiteral("CCCC"));
}

TEST_F(FileKeychainTest, RefusedSaveIsReportedAndTheIdentityKeptInTheFileStore) {
    merovantia::KeychainStore::setShared(std::make_shared<RefusingKeychainStore>());
    merovantia::KeychainStore::setFallback(m_store);
    QList<qint64> reported;
    MFDataManager::setFailureReporter(
        [&](const platform::Error &error, const QString &) { reported.append(error.code()); });

    const QString first = savedIdentifier(QStringLiteral("key-1"));
    EXPECT_FALSE(first.isEmpty());
    EXPECT_EQ(reported, QList<qint64>{RefusingKeychainStore::kStatus});
    // The next launch finds the same identifier and key.
    EXPECT_EQ(MFDataManager::sharedDataManager().uuid(), first);
    EXPECT_EQ(MFDataManager::sharedDataManager().appKey(), QStringLiteral("key-1"));
    EXPECT_EQ(savedIdentifier(QStringLiteral("key-1")), first);
    MFDataManager::setFailureReporter({});
}

TEST_F(FileKeychainTest, EmptyKeyIsReportedAndStoresNothing) {
    QList<qint64> reported;
    MFDataManager::setFailureReporter(
        [&](const platform::Error &error, const QString &) { reported.append(error.code()); });
    EXPECT_FALSE(savedIdentifier(QString()).isEmpty());
    EXPECT_EQ(reported, QList<qint64>{-1001});
    EXPECT_TRUE(MFDataManager::sharedDataManager().uuid().isNull());

    // With a keyring in front of the file store, bad arguments are not a reason to fall back.
    merovantia::KeychainStore::setShared(
        std::make_shared<merovantia::FileKeychainStore>(m_dir.filePath(QStringLiteral("keyring.json"))));
    merovantia::KeychainStore::setFallback(m_store);
    reported.clear();
    EXPECT_FALSE(savedIdentifier(QString()).isEmpty());
    EXPECT_EQ(reported, QList<qint64>{-1001});
    EXPECT_TRUE(MFDataManager::sharedDataManager().uuid().isNull());
    EXPECT_FALSE(QFile::exists(m_store->path()));
    MFDataManager::setFailureReporter({});
}

TEST(KeychainProbe, NoSessionBusMeansTheFileStoreWithoutWaiting) {
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("XDG_RUNTIME_DIR");
    QString reason;
    EXPECT_FALSE(merovantia::SecretServiceKeychainStore::isUsable(&reason));
    EXPECT_EQ(reason, QStringLiteral("no session bus"));

    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    EXPECT_FALSE(merovantia::SecretServiceKeychainStore::isUsable(&reason));
    EXPECT_TRUE(reason.startsWith(QStringLiteral("session bus unreachable"))) << qPrintable(reason);

    QTemporaryDir dir;
    platform::AppPaths::setRoot(dir.path());
    merovantia::KeychainStore::setShared(nullptr);
    EXPECT_NE(dynamic_cast<merovantia::FileKeychainStore *>(merovantia::KeychainStore::shared().get()),
              nullptr);
    merovantia::KeychainStore::setShared(nullptr);
    platform::AppPaths::setRoot({});
    bus.isNull() ? qunsetenv("DBUS_SESSION_BUS_ADDRESS") : qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
    if (!runtime.isNull())
        qputenv("XDG_RUNTIME_DIR", runtime);
}

} // namespace
