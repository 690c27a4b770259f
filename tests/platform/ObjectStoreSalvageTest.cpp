#include "StoreTestSchema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

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

// Pages of one table or index, as SQLite's dbstat lists them ("leaf" or "internal").
QList<qint64> pagesOf(const QString &path, const QString &name, const char *type = "leaf") {
    QList<qint64> pages;
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT pageno FROM dbstat WHERE name = ? AND pagetype = ? ORDER BY pageno", -1,
                       &st, nullptr);
    const QByteArray utf8 = name.toUtf8();
    sqlite3_bind_text(st, 1, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, type, -1, SQLITE_STATIC);
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

void fill(Transaction &tx, int from, int to) {
    QList<Object> languages;
    for (const char *code : {"en_GB", "de_DE", "fr_FR"}) {
        languages.append(tx.createOrUpdate(
            QStringLiteral("Language"),
            {{QStringLiteral("localeIdentifier"), QString::fromLatin1(code)},
             {QStringLiteral("languageModes"), QVariantMap{{QStringLiteral("translation"), true}}},
             {QStringLiteral("voices"),
              QVariantList{QVariantMap{{QStringLiteral("identifier"), QStringLiteral("v-%1").arg(code)},
                                       {QStringLiteral("quality"), 1}}}}}));
    }
    tx.createOrUpdate(QStringLiteral("Settings"),
                      {{QStringLiteral("idSetting"), 1},
                       {QStringLiteral("recentlyLanguages"), QVariant::fromValue(languages)}});
    for (int i = from; i <= to; ++i) {
        tx.create(QStringLiteral("Translation"),
                  {{QStringLiteral("idTranslation"), i},
                   {QStringLiteral("originalText"), textOf(i)},
                   {QStringLiteral("languageFrom"), QVariant::fromValue(languages.at(i % 3))}});
    }
}

// A store with languages, their voices, settings listing languages and many
// translations, written and closed (every page in the file, none in a journal).
QString filledStore(const QTemporaryDir &dir) {
    const QString path = dir.filePath(QStringLiteral("store.sqlite"));
    ObjectStore store = ObjectStore::open(configuration(path));
    const Error error = store.write([](Transaction &tx) { fill(tx, 1, kTranslations); });
    EXPECT_FALSE(error);
    return path;
}

// The same, as a crash leaves it: the last third of the translations only in the WAL.
QString crashedStore(const QTemporaryDir &dir) {
    const QString live = dir.filePath(QStringLiteral("live.sqlite"));
    {
        ObjectStore store = ObjectStore::open(configuration(live));
        EXPECT_FALSE(store.write([](Transaction &tx) { fill(tx, 1, kTranslations * 2 / 3); }));
    }
    ObjectStore store = ObjectStore::open(configuration(live));
    EXPECT_FALSE(store.write([](Transaction &tx) { fill(tx, kTranslations * 2 / 3 + 1, kTranslations); }));
    const QString path = dir.filePath(QStringLiteral("store.sqlite"));
    EXPECT_TRUE(QFile::copy(live, path));
    EXPECT_TRUE(QFile::copy(live + QStringLiteral("-wal"), path + QStringLiteral("-wal")));
    return path;
}

void overwritePage(const QString &path, qint64 page, unsigned seed) {
    overwrite(path, (page - 1) * kPageSize, randomBytes(kPageSize, seed));
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
    enum Found { AtOpen, ByReading, ByCheck };
    enum Kept { Everything, AllButAPage, APart };
    struct Case {
        const char *name;
        std::function<QString(const QTemporaryDir &)> make;
        std::function<void(const QString &path)> damage;
        Found found;
        Kept kept;
    };
    const auto middle = [](const QList<qint64> &pages) { return pages.value(pages.size() / 2); };
    const QList<Case> cases = {
        {"an index page", filledStore,
         [&](const QString &p) {
             overwritePage(p, middle(pagesOf(p, QStringLiteral("Translation.pk.idTranslation"))), 11);
         },
         ByCheck, Everything},
        {"an index page met by a query", filledStore,
         [&](const QString &p) {
             overwritePage(p, middle(pagesOf(p, QStringLiteral("Translation.pk.idTranslation"))), 11);
         },
         ByReading, Everything},
        {"4 KB of a table", filledStore,
         [&](const QString &p) { overwritePage(p, middle(pagesOf(p, QStringLiteral("Translation"))), 11); },
         ByCheck, AllButAPage},
        {"the inner page of a table", filledStore,
         [&](const QString &p) {
             overwritePage(p, pagesOf(p, QStringLiteral("Translation"), "internal").value(0), 12);
         },
         ByCheck, Everything},
        {"the file header", filledStore, [](const QString &p) { overwrite(p, 0, randomBytes(100, 13)); },
         AtOpen, Everything},
        {"the whole first page", filledStore, [](const QString &p) { overwritePage(p, 1, 14); }, AtOpen,
         Everything},
        {"a page of the schema", filledStore,
         [](const QString &p) { overwritePage(p, pagesOf(p, QStringLiteral("sqlite_schema")).value(0), 15); },
         AtOpen, Everything},
        {"a file cut short", filledStore,
         [](const QString &p) {
             QFile file(p);
             ASSERT_TRUE(file.resize(file.size() * 3 / 4 + 1000));
         },
         AtOpen, APart},
        {"4 KB of a table, with commits left in the WAL", crashedStore,
         [&](const QString &p) { overwritePage(p, middle(pagesOf(p, QStringLiteral("Translation"))), 16); },
         ByCheck, AllButAPage},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = c.make(dir);
        c.damage(path);
        QFile original(path);
        ASSERT_TRUE(original.open(QIODevice::ReadOnly));
        const QByteArray damagedBytes = original.readAll();
        original.close();
        const bool walLeft = QFile::exists(path + QStringLiteral("-wal"));

        Reported reported;
        if (c.found != AtOpen) {
            ObjectStore store = ObjectStore::open(configuration(path));
            ASSERT_FALSE(store.isNull());
            EXPECT_TRUE(store.pendingSalvageReports().isEmpty());
            if (c.found == ByReading) {
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
        // (A store that was opened on it folded the WAL into the damaged file before it was moved.)
        if (!walLeft || c.found == AtOpen) {
            EXPECT_EQ(moved.readAll(), damagedBytes);
        }
        EXPECT_FALSE(store.checkIntegrity());

        const QList<SalvageReport> reports = store.pendingSalvageReports();
        ASSERT_EQ(reports.size(), 1);
        const SalvageReport &report = reports.first();
        const QList<Object> kept = store.objects(QStringLiteral("Translation")).toList();
        EXPECT_EQ(store.objects(QStringLiteral("Translation")).count(), kept.size());
        switch (c.kept) {
        case Everything:
            EXPECT_EQ(kept.size(), kTranslations);
            EXPECT_EQ(report.lost, 0);
            break;
        case AllButAPage:
            EXPECT_GT(kept.size(), kTranslations * 9 / 10);
            EXPECT_LT(kept.size(), kTranslations);
            // Every translation was still named by an index: each lost one is counted.
            EXPECT_EQ(kept.size() + report.lost, kTranslations);
            EXPECT_TRUE(report.uncounted.isEmpty());
            break;
        case APart:
            EXPECT_GT(kept.size(), kTranslations / 2);
            EXPECT_LT(kept.size(), kTranslations);
            // Counted whole while an index was, else marked as counted in part.
            if (report.uncounted.isEmpty()) {
                EXPECT_EQ(kept.size() + report.lost, kTranslations);
            } else {
                EXPECT_LT(kept.size() + report.lost, kTranslations);
                EXPECT_EQ(report.uncounted, QStringList{QStringLiteral("Translation")});
            }
            break;
        }
        EXPECT_TRUE(report.unreadable.isEmpty()) << report.unreadable.join(QLatin1Char(',')).toStdString();
        // The other classes are whole (languages, their modes and voices: three each; settings: one).
        EXPECT_EQ(report.kept, kept.size() + 3 + 3 + 3 + 1);
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
        EXPECT_GT(added.rowId(), c.kept == APart ? kept.size() : kTranslations);
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

TEST(ObjectStoreSalvage, TwoLaunchesFindingTheSameDamagedFileSalvageItOnce) {
    QTemporaryDir dir;
    const QString path = filledStore(dir);
    overwritePage(path, 1, 21);
    QList<QProcess *> launches;
    for (int i = 0; i < 3; ++i) {
        auto *child = new QProcess;
        child->start(QStringLiteral(QV_STORE_TEST_CHILD), {QStringLiteral("open"), path});
        launches.append(child);
    }
    // Each opens it, or (opening on its interface thread, which waits only a moment) says the
    // file is being repaired by another launch: none salvages it a second time.
    int opened = 0;
    for (QProcess *child : std::as_const(launches)) {
        ASSERT_TRUE(child->waitForFinished(60000));
        const QString answer = QString::fromUtf8(child->readAllStandardOutput().trimmed());
        opened += answer == QLatin1String("ok");
        EXPECT_TRUE(answer == QLatin1String("ok") || (answer.startsWith(QLatin1String("error 7 ")) &&
                                                      answer.contains(QLatin1String("repairing"))))
            << answer.toStdString();
        delete child;
    }
    EXPECT_GE(opened, 1);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.damaged-*")}, QDir::Files).size(), 1);
    ObjectStore store = ObjectStore::open(configuration(path));
    ASSERT_FALSE(store.isNull());
    EXPECT_EQ(store.pendingSalvageReports().size(), 1);
    EXPECT_EQ(store.objects(QStringLiteral("Translation")).count(), kTranslations);
    EXPECT_EQ(Settings(store.objectForPrimaryKey(QStringLiteral("Settings"), 1)).recentlyLanguages().size(),
              3);
}

TEST(ObjectStoreSalvage, CopiesLeftByASalvageCutShortAreRemovedAtTheNextOpen) {
    QTemporaryDir dir;
    const QString path = filledStore(dir);
    for (const char *left : {".salvage", ".salvage-journal", ".salvage-probe", ".salvage-probe-wal"})
        ASSERT_TRUE(QFile::copy(path, path + QLatin1String(left)));
    ObjectStore store = ObjectStore::open(configuration(path));
    ASSERT_FALSE(store.isNull());
    EXPECT_EQ(store.objects(QStringLiteral("Translation")).count(), kTranslations);
    EXPECT_TRUE(store.pendingSalvageReports().isEmpty());
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.salvage*")}, QDir::Files).isEmpty());
}

TEST(ObjectStoreSalvage, AFileOfAnyPageSizeIsReadWithoutItsHeader) {
    for (const int pageSize : {1024, 8192, 65536}) {
        SCOPED_TRACE(pageSize);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("store.sqlite"));
        {
            sqlite3 *db = nullptr;
            ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
            const QByteArray pragma = QByteArrayLiteral("PRAGMA page_size = ") + QByteArray::number(pageSize);
            ASSERT_EQ(sqlite3_exec(db, pragma.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(db, "VACUUM", nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
            ObjectStore store = ObjectStore::open(configuration(path));
            ASSERT_FALSE(store.write([](Transaction &tx) { fill(tx, 1, kTranslations); }));
        }
        overwrite(path, 0, randomBytes(100, 31));
        Reported reported;
        ObjectStore store = ObjectStore::open(configuration(path));
        ASSERT_FALSE(store.isNull());
        ASSERT_EQ(store.pendingSalvageReports().size(), 1);
        EXPECT_EQ(store.pendingSalvageReports().first().lost, 0);
        EXPECT_EQ(store.objects(QStringLiteral("Translation")).count(), kTranslations);
        EXPECT_EQ(
            Settings(store.objectForPrimaryKey(QStringLiteral("Settings"), 1)).recentlyLanguages().size(), 3);
    }
}

TEST(ObjectStoreSalvage, DamageAnywhereNeverStopsTheOpenAndTheReportTellsWhatWasKept) {
    QTemporaryDir pristineDir;
    const QString pristine = filledStore(pristineDir);
    const qint64 size = QFileInfo(pristine).size();
    constexpr int kObjects = kTranslations + 3 + 3 + 3 + 1;
    std::mt19937 random(2024);
    for (int round = 0; round < 16; ++round) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("store.sqlite"));
        ASSERT_TRUE(QFile::copy(pristine, path));
        // Cut short anywhere, or a few bytes to a few pages of noise anywhere (the first pages more often).
        const int kind = round % 4;
        qint64 at = 0;
        if (kind == 0) {
            at = static_cast<qint64>(random() % static_cast<quint32>(size));
            QFile file(path);
            ASSERT_TRUE(file.resize(at));
        } else {
            const int length = kind == 1 ? 16 : (kind == 2 ? kPageSize : 3 * kPageSize);
            at = round < 8 ? random() % (2 * kPageSize)
                           : static_cast<qint64>(random() % static_cast<quint32>(size - length));
            overwrite(path, at, randomBytes(length, static_cast<unsigned>(random())));
        }
        SCOPED_TRACE(QStringLiteral("round %1: %2 at %3").arg(round).arg(kind).arg(at).toStdString());
        Reported reported;
        ObjectStore store = ObjectStore::open(configuration(path));
        ASSERT_FALSE(store.isNull());
        if (store.pendingSalvageReports().isEmpty()) {
            store.checkIntegrity();
            store = ObjectStore();
            store = ObjectStore::open(configuration(path));
            ASSERT_FALSE(store.isNull());
        }
        int held = 0;
        for (const char *cls : {"Translation", "Language", "Voice", "Mode", "Settings"})
            held += store.objects(QString::fromLatin1(cls)).count();
        const QList<SalvageReport> reports = store.pendingSalvageReports();
        if (reports.isEmpty()) {
            // Damage SQLite cannot see (inside a text) leaves every object in place.
            EXPECT_EQ(held, kObjects);
            continue;
        }
        EXPECT_EQ(reports.first().kept, held);
        if (reports.first().unreadable.isEmpty() && reports.first().uncounted.isEmpty()) {
            EXPECT_EQ(reports.first().kept + reports.first().lost, kObjects);
        } else {
            EXPECT_LE(reports.first().kept + reports.first().lost, kObjects);
        }
        // Noise inside a page can change a text SQLite still reads; a file cut short never does.
        if (kind == 0) {
            for (const Object &t : store.objects(QStringLiteral("Translation")).toList()) {
                const qint64 id = t.value(QStringLiteral("idTranslation")).toLongLong();
                ASSERT_EQ(t.value(QStringLiteral("originalText")).toString(), textOf(id)) << id;
            }
        }
        EXPECT_FALSE(store.write([](Transaction &tx) {
            tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), kTranslations + 1}});
        }));
    }
}
