#include "KeychainTestSupport.h"

#include <merovantia/SAMKeychain.h>
#include <merovantia/SAMKeychainQuery.h>

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

const QString kService = QStringLiteral("svc.test");

TEST_F(FileKeychainTest, PasswordIsReadBackByServiceAndAccount) {
    platform::Error error;
    ASSERT_TRUE(
        SAMKeychain::setPassword(QStringLiteral("s3cret"), kService, QStringLiteral("alice"), &error));
    EXPECT_TRUE(error.isNull());
    ASSERT_TRUE(SAMKeychain::setPassword(QStringLiteral("other"), QStringLiteral("svc.other"),
                                         QStringLiteral("bob")));

    EXPECT_EQ(SAMKeychain::passwordForService(kService, QStringLiteral("alice")), QStringLiteral("s3cret"));
    EXPECT_EQ(SAMKeychain::passwordDataForService(kService, QStringLiteral("alice")), QByteArray("s3cret"));
    EXPECT_TRUE(SAMKeychain::passwordForService(kService, QStringLiteral("bob")).isNull());

    const QList<QVariantMap> accounts = SAMKeychain::accountsForService(kService);
    ASSERT_EQ(accounts.size(), 1);
    EXPECT_EQ(accounts[0].value(kSAMKeychainAccountKey).toString(), QStringLiteral("alice"));
    EXPECT_EQ(accounts[0].value(kSAMKeychainWhereKey).toString(), kService);
    EXPECT_TRUE(accounts[0].value(kSAMKeychainCreatedAtKey).toDateTime().isValid());
    EXPECT_FALSE(accounts[0].contains(QStringLiteral("v_Data")));
    EXPECT_EQ(SAMKeychain::allAccounts().size(), 2);
}

TEST_F(FileKeychainTest, SavingAgainReplacesThePasswordOfTheSameItem) {
    ASSERT_TRUE(SAMKeychain::setPassword(QStringLiteral("one"), kService, QStringLiteral("alice")));
    ASSERT_TRUE(SAMKeychain::setPassword(QStringLiteral("two"), kService, QStringLiteral("alice")));
    EXPECT_EQ(SAMKeychain::accountsForService(kService).size(), 1);
    EXPECT_EQ(SAMKeychain::passwordForService(kService, QStringLiteral("alice")), QStringLiteral("two"));
}

TEST_F(FileKeychainTest, MissingArgumentsFailWithBadArgumentsAndChangeNothing) {
    ASSERT_TRUE(SAMKeychain::setPassword(QStringLiteral("keep"), kService, QStringLiteral("alice")));
    QFile file(m_store->path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    platform::Error error;
    EXPECT_FALSE(SAMKeychain::setPassword(QStringLiteral("x"), kService, QString(), &error));
    EXPECT_EQ(error.code(), -1001);
    EXPECT_EQ(error.domain(), QString::fromLatin1(kSAMKeychainErrorDomain));
    EXPECT_FALSE(error.localizedDescription().isEmpty());
    error = {};
    EXPECT_FALSE(SAMKeychain::setPassword(QStringLiteral("x"), QString(), QStringLiteral("alice"), &error));
    EXPECT_EQ(error.code(), -1001);
    error = {};
    EXPECT_FALSE(SAMKeychain::setPassword(QString(), kService, QStringLiteral("alice"), &error));
    EXPECT_EQ(error.code(), -1001);
    error = {};
    EXPECT_FALSE(SAMKeychain::deletePasswordForService(kService, QString(), &error));
    EXPECT_EQ(error.code(), -1001);
    error = {};
    EXPECT_TRUE(SAMKeychain::passwordForService(QString(), QStringLiteral("alice"), &error).isNull());
    EXPECT_EQ(error.code(), -1001);

    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_EQ(SAMKeychain::passwordForService(kService, QStringLiteral("alice")), QStringLiteral("keep"));
}

TEST_F(FileKeychainTest, MissingItemsReportNotFound) {
    platform::Error error;
    EXPECT_TRUE(SAMKeychain::passwordForService(kService, QStringLiteral("nobody"), &error).isNull());
    EXPECT_EQ(error.code(), merovantia::KeychainStatus::ItemNotFound);
    error = {};
    EXPECT_TRUE(SAMKeychain::accountsForService(kService, &error).isEmpty());
    EXPECT_EQ(error.code(), merovantia::KeychainStatus::ItemNotFound);
    error = {};
    EXPECT_FALSE(SAMKeychain::deletePasswordForService(kService, QStringLiteral("nobody"), &error));
    EXPECT_EQ(error.code(), merovantia::KeychainStatus::ItemNotFound);
}

TEST_F(FileKeychainTest, DeleteRemovesOnlyThatItem) {
    ASSERT_TRUE(SAMKeychain::setPassword(QStringLiteral("a"), kService, QStringLiteral("alice")));
    ASSERT_TRUE(SAMKeychain::setPassword(QStringLiteral("b"), kService, QStringLiteral("bob")));
    ASSERT_TRUE(SAMKeychain::deletePasswordForService(kService, QStringLiteral("alice")));
    EXPECT_TRUE(SAMKeychain::passwordForService(kService, QStringLiteral("alice")).isNull());
    EXPECT_EQ(SAMKeychain::passwordForService(kService, QStringLiteral("bob")), QStringLiteral("b"));
}

TEST_F(FileKeychainTest, EmptyPasswordDataReadsAsNull) {
    ASSERT_EQ(m_store->add({kService, QStringLiteral("empty"), {}, QByteArray(), {}, {}}), 0);
    platform::Error error;
    EXPECT_TRUE(SAMKeychain::passwordForService(kService, QStringLiteral("empty"), &error).isNull());
    EXPECT_TRUE(error.isNull());
}

TEST_F(FileKeychainTest, FileStoreIsReadableByItsOwnerOnly) {
    ASSERT_TRUE(SAMKeychain::setPassword(QStringLiteral("a"), kService, QStringLiteral("alice")));
    ASSERT_TRUE(SAMKeychain::setPassword(QStringLiteral("b"), kService, QStringLiteral("alice")));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(m_store->path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFile::encodeName(QFileInfo(m_store->path()).absolutePath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(FileKeychainTest, DamagedStoreFileIsSetAsideAndWritesWorkAgain) {
    QDir().mkpath(QFileInfo(m_store->path()).absolutePath());
    QFile file(m_store->path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{not json");
    file.close();
    platform::Error error;
    EXPECT_TRUE(SAMKeychain::setPassword(QStringLiteral("a"), kService, QStringLiteral("alice"), &error));
    EXPECT_TRUE(error.isNull());
    EXPECT_EQ(SAMKeychain::passwordForService(kService, QStringLiteral("alice")), QStringLiteral("a"));
    const QStringList aside =
        QFileInfo(m_store->path()).dir().entryList({QStringLiteral("items.json.damaged-*")});
    ASSERT_EQ(aside.size(), 1);
    QFile kept(QFileInfo(m_store->path()).dir().filePath(aside.first()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("{not json"));
}

TEST_F(FileKeychainTest, QueryViewsOfPasswordData) {
    SAMKeychainQuery query;
    EXPECT_TRUE(query.password().isNull());
    EXPECT_FALSE(query.passwordObject().isValid());
    query.setPassword(QStringLiteral("pässword"));
    EXPECT_EQ(query.passwordData, QStringLiteral("pässword").toUtf8());
    query.setPasswordObject(QVariantMap{{QStringLiteral("k"), 7}});
    EXPECT_EQ(query.passwordObject().toMap().value(QStringLiteral("k")).toInt(), 7);

    query.service = kService;
    query.account = QStringLiteral("alice");
    const QVariantMap base = query.query();
    EXPECT_EQ(base.value(QStringLiteral("class")).toString(), QStringLiteral("genp"));
    EXPECT_EQ(base.value(QStringLiteral("svce")).toString(), kService);
    EXPECT_EQ(base.value(QStringLiteral("acct")).toString(), QStringLiteral("alice"));
    EXPECT_FALSE(base.contains(QStringLiteral("agrp")));
}

TEST_F(FileKeychainTest, ErrorWithCodeZeroIsNoError) {
    EXPECT_TRUE(SAMKeychainQuery::errorWithCode(0).isNull());
    const platform::Error error = SAMKeychainQuery::errorWithCode(-1001);
    EXPECT_EQ(error.code(), -1001);
    EXPECT_EQ(error.domain(), QString::fromLatin1(kSAMKeychainErrorDomain));
}

} // namespace
