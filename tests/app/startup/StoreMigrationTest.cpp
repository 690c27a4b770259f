#include "core/QVStoreConfiguration.h"
#include "core/models/QVLanguageRealm.h"
#include "core/models/QVModelRegistry.h"
#include "core/models/QVTranslationRealm.h"
#include "startup/QVStoreMigration.h"
#include "platform/Bundle.h"
#include "platform/store/Store.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

using platform::ObjectStore;

namespace {

void execRaw(const QString &path, const QString &sql) {
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    char *message = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    EXPECT_EQ(rc, SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

// A resource folder holding only the migration table given (or none).
class ScopedMigrationTable {
public:
    explicit ScopedMigrationTable(const QByteArray &contents) {
        if (!contents.isNull()) {
            QFile file(QDir(dir.path()).filePath(QStringLiteral("MigrationLanguages.js")));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(contents);
        }
        platform::Bundle::setResourcePath(dir.path());
    }
    ~ScopedMigrationTable() { platform::Bundle::setResourcePath(QString()); }

private:
    QTemporaryDir dir;
};

const QByteArray kTable = R"({"1": "en_GB", "3": "de_DE", "4": "fr_FR", "40": "de_DE"})";

class StoreMigrationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(QVModelRegistry::declareMappings()); }

    QString path() const { return dir.filePath(QStringLiteral("default.sqlite")); }

    // A file as the version wrote it: languages keyed by their locale, two translations.
    void writeStoreAtVersion(quint64 version) {
        platform::StoreConfiguration config = QVStoreConfiguration::defaultConfiguration();
        config.path = path();
        config.schemaVersion = version;
        platform::Error error;
        const ObjectStore store = ObjectStore::open(config, &error);
        ASSERT_FALSE(store.isNull()) << error.localizedDescription().toStdString();
        ASSERT_FALSE(store.write([](platform::Transaction &tx) {
            for (const char *locale : {"en_GB", "de_DE", "xx_XX"})
                tx.create(QVLanguageRealm::storeClassName(), {{QVLanguageRealm::primaryKey(), locale}});
            for (int id : {1, 2})
                tx.create(QVTranslationRealm::storeClassName(),
                          {{QStringLiteral("idTranslation"), id}, {QStringLiteral("originalText"), "old"}});
        }));
    }

    // Version 45 and older: languages have only their old number.
    void writeNumericStore(const QString &languageRows, bool withLanguageTable = true) {
        QString sql;
        if (withLanguageTable)
            sql += QStringLiteral("CREATE TABLE QVLanguageRealm (_id INTEGER PRIMARY KEY, idLanguage, "
                                  "languageName TEXT);"
                                  "INSERT INTO QVLanguageRealm VALUES %1;")
                       .arg(languageRows);
        sql +=
            QStringLiteral("CREATE TABLE QVTranslationRealm (_id INTEGER PRIMARY KEY, idTranslation INTEGER, "
                           "originalText TEXT);"
                           "INSERT INTO QVTranslationRealm VALUES (1, 7, 'old'), (2, 8, 'older');"
                           "PRAGMA user_version = 45;");
        execRaw(path(), sql);
    }

    ObjectStore openCurrent(platform::Error *error = nullptr) {
        platform::StoreConfiguration config =
            QVStoreConfiguration::defaultConfiguration(QVStoreMigration::migrationBlock());
        config.path = path();
        return ObjectStore::open(config, error);
    }

    QSet<QString> locales(const ObjectStore &store) const {
        QSet<QString> found;
        const platform::Results all = store.objects(QVLanguageRealm::storeClassName());
        for (int i = 0; i < all.count(); ++i)
            found.insert(all.at(i).value(QVLanguageRealm::primaryKey()).toString());
        return found;
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(StoreMigrationTest, EachOldVersionKeepsWhatItsFormatStillMeans) {
    const ScopedMigrationTable table(kTable);
    struct Case {
        quint64 version;
        int translations;
    } cases[] = {{46, 0}, {100, 0}, {101, 2}, {111, 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.version);
        QFile::remove(path());
        writeStoreAtVersion(c.version);
        platform::Error error;
        const ObjectStore store = openCurrent(&error);
        ASSERT_FALSE(store.isNull()) << error.localizedDescription().toStdString();
        EXPECT_EQ(store.schemaVersion(), QVStoreConfiguration::kSchemaVersion);
        EXPECT_EQ(store.objects(QVTranslationRealm::storeClassName()).count(), c.translations);
        // Locale-keyed languages are never looked up in the numeric table.
        EXPECT_EQ(locales(store), QSet<QString>({"en_GB", "de_DE", "xx_XX"}));
    }
}

TEST_F(StoreMigrationTest, NumericLanguagesBecomeTheirLocaleOrGo) {
    const ScopedMigrationTable table(kTable);
    struct Case {
        const char *name;
        QString rows;
        QSet<QString> expected;
    } cases[] = {
        {"known and unknown ids",
         "(1, 1, 'English'), (2, 3, 'Deutsch'), (3, 99, 'Gone')",
         {"en_GB", "de_DE"}},
        {"ids stored as text or real", "(1, '4', 'Francais'), (2, 3.0, 'Deutsch')", {"fr_FR", "de_DE"}},
        {"damaged ids", "(1, NULL, 'None'), (2, 'x1', 'Text'), (3, 1, 'English')", {"en_GB"}},
        // Two old ids naming one locale must not fail the whole migration.
        {"two ids for one locale", "(1, 3, 'Deutsch'), (2, 40, 'Deutsch alt')", {"de_DE"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path());
        writeNumericStore(c.rows);
        platform::Error error;
        const ObjectStore store = openCurrent(&error);
        ASSERT_FALSE(store.isNull()) << error.localizedDescription().toStdString();
        EXPECT_EQ(locales(store), c.expected);
        EXPECT_EQ(store.objects(QVTranslationRealm::storeClassName()).count(), 0);
    }
    // The language's other values come along with its new key.
    const ObjectStore store = openCurrent();
    EXPECT_EQ(store.objectForPrimaryKey(QVLanguageRealm::storeClassName(), QStringLiteral("de_DE"))
                  .value(QStringLiteral("languageName"))
                  .toString(),
              QStringLiteral("Deutsch"));
}

TEST_F(StoreMigrationTest, WithoutAUsableTableOldLanguagesStayAndTranslationsStillGo) {
    struct Case {
        const char *name;
        QByteArray contents; // null: no resource at all
    } cases[] = {
        {"missing", QByteArray()},
        {"not JSON", "{\"1\": \"en_GB\""},
        {"not an object", "[\"en_GB\"]"},
        {"a value that is no locale", "{\"1\": 5}"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ScopedMigrationTable table(c.contents);
        EXPECT_FALSE(QVStoreMigration::migrationLanguageDictionary().has_value());
        QFile::remove(path());
        writeNumericStore(QStringLiteral("(1, 1, 'English'), (2, 99, 'Other')"));
        platform::Error error;
        const ObjectStore store = openCurrent(&error);
        ASSERT_FALSE(store.isNull()) << error.localizedDescription().toStdString();
        EXPECT_EQ(store.objects(QVLanguageRealm::storeClassName()).count(), 2);
        EXPECT_EQ(store.objects(QVTranslationRealm::storeClassName()).count(), 0);
    }
}

TEST_F(StoreMigrationTest, AnOldFileWithoutALanguageTableStillOpens) {
    const ScopedMigrationTable table(kTable);
    writeNumericStore({}, false);
    platform::Error error;
    const ObjectStore store = openCurrent(&error);
    ASSERT_FALSE(store.isNull()) << error.localizedDescription().toStdString();
    EXPECT_EQ(store.objects(QVLanguageRealm::storeClassName()).count(), 0);
    EXPECT_EQ(store.objects(QVTranslationRealm::storeClassName()).count(), 0);
}

TEST(MigrationLanguagesResource, NamesOnlyLocalesOfTheDefaultLanguageList) {
    platform::Bundle::setResourcePath(QString());
    const auto table = QVStoreMigration::migrationLanguageDictionary();
    ASSERT_TRUE(table.has_value()) << "resources/MigrationLanguages.js must be found and valid";
    ASSERT_FALSE(table->isEmpty());
    QFile list(platform::Bundle::pathForResource(QStringLiteral("DefaultLanguages"), QStringLiteral("js")));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    QSet<QString> known;
    const QJsonObject root = QJsonDocument::fromJson(list.readAll()).object();
    for (const QJsonValue &item : root.begin().value().toArray())
        known.insert(item.toObject().value(QStringLiteral("full_code")).toString());
    for (auto it = table->cbegin(); it != table->cend(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        bool numeric = false;
        it.key().toLongLong(&numeric);
        EXPECT_TRUE(numeric);
        EXPECT_TRUE(known.contains(it.value())) << it.value().toStdString();
    }
}
