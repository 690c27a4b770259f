#include "StoreTestSchema.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include <random>

using namespace platform;
using namespace storetest;

namespace {

constexpr int kTranslations = 1500;
constexpr int kPageSize = 4096;

QString textOf(qint64 id) {
    return QStringLiteral("translation number %1 ").arg(id).repeated(4);
}

// Pages of one table or index, as SQLite's dbstat lists them.
QList<qint64> pagesOf(const QString &path, const QString &name) {
    QList<qint64> pages;
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT pageno FROM dbstat WHERE name = ? AND pagetype = 'leaf' ORDER BY pageno",
                       -1, &st, nullptr);
    const QByteArray utf8 = name.toUtf8();
    sqlite3_bind_text(st, 1, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW)
        pages.append(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return pages;
}

void overwrite(const QString &path, qint64 offset, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(offset));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray randomBytes(int size, unsigned seed) {
    std::mt19937 random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &b : bytes)
        b = static_cast<char>(random() & 0xff);
    return bytes;
}

struct Reported {
    QList<Error> errors;
    Reported() {
        ObjectStore::setReporter([this](const Error &e, const QString &) { errors.append(e); });
    }
    ~Reported() { ObjectStore::setReporter({}); }
    const Error *damaged() const {
        for (const Error &e : errors) {
            if (e.code() == ObjectStore::DamagedFile && e.userInfo().contains(QStringLiteral("movedTo")))
                return &e;
        }
        return nullptr;
    }
};

// A store with languages, their voices, settings listing languages and many
// translations, written and closed (every page in the file, none in a journal).
QString filledStore(const QTemporaryDir &dir) {
    const QString path = dir.filePath(QStringLiteral("store.sqlite"));
    ObjectStore store = ObjectStore::open(configuration(path));
    const Error error = store.write([](Transaction &tx) {
        QList<Object> languages;
        for (const char *code : {"en_GB", "de_DE", "fr_FR"}) {
            languages.append(tx.create(
                QStringLiteral("Language"),
                {{QStringLiteral("localeIdentifier"), QString::fromLatin1(code)},
                 {QStringLiteral("voices"),
                  QVariantList{QVariantMap{{QStringLiteral("identifier"), QStringLiteral("v-%1").arg(code)},
                                           {QStringLiteral("quality"), 1}}}}}));
        }
        tx.create(QStringLiteral("Settings"),
                  {{QStringLiteral("idSetting"), 1},
                   {QStringLiteral("recentlyLanguages"), QVariant::fromValue(languages)}});
        for (int i = 1; i <= kTranslations; ++i) {
            tx.create(QStringLiteral("Translation"),
                      {{QStringLiteral("idTranslation"), i},
                       {QStringLiteral("originalText"), textOf(i)},
                       {QStringLiteral("languageFrom"), QVariant::fromValue(languages.at(i % 3))}});
        }
    });
    EXPECT_FALSE(error);
    return path;
}

} // namespace

TEST(ObjectStoreSalvage, AWholeFileGoneBadLeavesAFreshStoreAndTheFileAside) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("store.sqlite"));
    const QByteArray garbage = randomBytes(8 * kPageSize, 7);
    overwrite(path, 0, garbage);
    Reported reported;
    ObjectStore store = ObjectStore::open(configuration(path));
    ASSERT_FALSE(store.isNull());
    ASSERT_TRUE(reported.damaged());
    QFile moved(reported.damaged()->userInfo().value(QStringLiteral("movedTo")).toString());
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), garbage);
    const QList<SalvageReport> reports = store.pendingSalvageReports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports.first().kept, 0);
    EXPECT_FALSE(reports.first().unreadable.isEmpty());
    EXPECT_FALSE(store.write([](Transaction &tx) {
        tx.create(QStringLiteral("Language"),
                  {{QStringLiteral("localeIdentifier"), QStringLiteral("en_GB")}});
    }));
}

TEST(ObjectStoreSalvage, EveryReadableObjectIsCopiedAndTheLostOnesAreCounted) {
    struct Case {
        const char *name;
        QString damagedTree; // the table or index whose leaf page is overwritten
        bool foundByReading; // the damage is met by a query (else by checkIntegrity())
        bool everythingKept;
    };
    const QList<Case> cases = {
        {"an index page", QStringLiteral("Translation.pk.idTranslation"), false, true},
        {"an index page met by a query", QStringLiteral("Translation.pk.idTranslation"), true, true},
        {"4 KB of a table", QStringLiteral("Translation"), false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = filledStore(dir);
        const QList<qint64> pages = pagesOf(path, c.damagedTree);
        ASSERT_GT(pages.size(), 2);
        const QByteArray damage = randomBytes(kPageSize, 11);
        overwrite(path, (pages.at(pages.size() / 2) - 1) * kPageSize, damage);
        QFile original(path);
        ASSERT_TRUE(original.open(QIODevice::ReadOnly));
        const QByteArray damagedBytes = original.readAll();
        original.close();

        Reported reported;
        {
            ObjectStore store = ObjectStore::open(configuration(path));
            ASSERT_FALSE(store.isNull());
            if (c.foundByReading) {
                // Looking translations up by key walks the damaged index: the damage is
                // reported, and marked for the next open.
                for (int id = 1; id <= kTranslations; ++id)
                    store.objectForPrimaryKey(QStringLiteral("Translation"), id);
                ASSERT_FALSE(reported.errors.isEmpty());
                EXPECT_EQ(reported.errors.first().code(), ObjectStore::DamagedFile);
            } else {
                EXPECT_EQ(store.checkIntegrity().code(), ObjectStore::DamagedFile);
            }
        }
        ObjectStore store = ObjectStore::open(configuration(path));
        ASSERT_FALSE(store.isNull());
        ASSERT_TRUE(reported.damaged());
        QFile moved(reported.damaged()->userInfo().value(QStringLiteral("movedTo")).toString());
        ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
        EXPECT_EQ(moved.readAll(), damagedBytes);
        EXPECT_FALSE(store.checkIntegrity());

        const QList<SalvageReport> reports = store.pendingSalvageReports();
        ASSERT_EQ(reports.size(), 1);
        const QList<Object> kept = store.objects(QStringLiteral("Translation")).toList();
        if (c.everythingKept) {
            EXPECT_EQ(kept.size(), kTranslations);
            EXPECT_EQ(reports.first().lost, 0);
        } else {
            EXPECT_GT(kept.size(), kTranslations / 2);
            EXPECT_LT(kept.size(), kTranslations);
            // Every translation was still named by an index: each lost one is counted.
            EXPECT_EQ(kept.size() + reports.first().lost, kTranslations);
        }
        // The other classes are whole (languages, voices, settings: three each, plus one).
        EXPECT_EQ(reports.first().kept, kept.size() + 3 + 3 + 1);
        for (const Object &t : kept) {
            const qint64 id = t.value(QStringLiteral("idTranslation")).toLongLong();
            ASSERT_EQ(t.value(QStringLiteral("originalText")).toString(), textOf(id)) << id;
            ASSERT_TRUE(t.link(QStringLiteral("languageFrom")).isValid()) << id;
        }
        EXPECT_EQ(
            Settings(store.objectForPrimaryKey(QStringLiteral("Settings"), 1)).recentlyLanguages().size(), 3);
        // The search index was rebuilt from what was kept.
        const qint64 someKept = kept.last().value(QStringLiteral("idTranslation")).toLongLong();
        EXPECT_EQ(
            store.objects(QStringLiteral("Translation"))
                .filter(
                    Key(QStringLiteral("originalText")).contains(QStringLiteral("NUMBER %1 ").arg(someKept)))
                .count(),
            1);
        // New objects never take the ids of lost ones.
        Object added;
        EXPECT_FALSE(store.write([&](Transaction &tx) {
            added = tx.create(QStringLiteral("Translation"),
                              {{QStringLiteral("idTranslation"), kTranslations + 1}});
        }));
        EXPECT_GT(added.rowId(), kTranslations);
    }
}

TEST(ObjectStoreSalvage, TheUserIsToldOnceEvenAcrossLaunches) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("store.sqlite"));
    overwrite(path, 0, randomBytes(4 * kPageSize, 3));
    Reported reported;
    {
        ObjectStore store = ObjectStore::open(configuration(path));
        ASSERT_EQ(store.pendingSalvageReports().size(), 1);
    }
    // Not acknowledged: the next launch still has it, and only it.
    ObjectStore store = ObjectStore::open(configuration(path));
    const QList<SalvageReport> reports = store.pendingSalvageReports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(QFile::exists(reports.first().movedTo));
    EXPECT_TRUE(reports.first().when.isValid());
    EXPECT_FALSE(store.acknowledgeSalvageReports());
    EXPECT_TRUE(store.pendingSalvageReports().isEmpty());
    store = ObjectStore();
    store = ObjectStore::open(configuration(path));
    EXPECT_TRUE(store.pendingSalvageReports().isEmpty());
    // Only one damaged file was moved aside.
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.damaged-*")}, QDir::Files).size(), 1);
}
