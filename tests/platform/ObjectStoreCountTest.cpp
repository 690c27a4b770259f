#include "RawSqlite.h"
#include "StoreTestSchema.h"

#include "support/EventLoop.h"

using namespace platform;
using namespace storetest;

namespace {

void addTranslations(Transaction &tx, int from, int count) {
    for (int id = from; id < from + count; ++id)
        tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), id}});
}

class ObjectStoreCounts : public StoreTest {
protected:
    int counted() const { return store.objects(QStringLiteral("Translation")).count(); }
    qint64 rows() const { return rawScalar(path(), "SELECT count(*) FROM \"Translation\""); }
};

} // namespace

// A whole class's count is kept in the file: what a write does to it is there once the write commits,
// and nothing of a write that fails.
TEST_F(ObjectStoreCounts, TheKeptCountIsTheRowsAfterEveryWriteFromEitherStore) {
    ObjectStore other = ObjectStore::open(configuration(path()));
    ASSERT_FALSE(other.isNull());
    struct Step {
        const char *name;
        std::function<void()> run;
        int expected;
    };
    const QList<Step> steps = {
        {"a write that fails adds nothing",
         [&] {
             EXPECT_TRUE(store.write([](Transaction &tx) {
                 addTranslations(tx, 1, 3);
                 tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), 1}});
             }));
         },
         0},
        {"inside a write, what it added so far",
         [&] {
             write([&](Transaction &tx) {
                 addTranslations(tx, 1, 5);
                 EXPECT_EQ(counted(), 5);
                 tx.remove(store.objectForPrimaryKey(QStringLiteral("Translation"), 1));
                 EXPECT_EQ(counted(), 4);
             });
         },
         4},
        {"another store's write",
         [&] { EXPECT_FALSE(other.write([](Transaction &tx) { addTranslations(tx, 10, 3); })); }, 7},
        {"a write that fails after removing",
         [&] {
             EXPECT_TRUE(store.write([&](Transaction &tx) {
                 tx.removeAll(QStringLiteral("Translation"));
                 tx.create(QStringLiteral("Nothing"), {});
             }));
         },
         7},
        {"reopened", [&] { store = ObjectStore::open(configuration(path())); }, 7},
        {"removing all", [&] { write([](Transaction &tx) { tx.removeAll(QStringLiteral("Translation")); }); },
         0},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        step.run();
        ASSERT_FALSE(store.isNull());
        EXPECT_EQ(rows(), step.expected);
        EXPECT_EQ(counted(), step.expected);
        EXPECT_EQ(other.objects(QStringLiteral("Translation")).count(), step.expected);
    }
}

// An open that finds the file as it shaped it leaves it as it is; any other finding shapes it again
// and counts every class anew.
TEST_F(ObjectStoreCounts, AFileNotAsThisVersionShapedItIsShapedAndCountedAgain) {
    struct Case {
        const char *name;
        const char *change;
    };
    const QList<Case> cases = {
        {"kept by a version without counts", "DROP TABLE \"$classRows\"; DROP TABLE \"$schemaStamp\";"},
        {"kept by a version that counted in its own writes",
         "DROP TRIGGER \"Translation$rowAdded\"; DROP TRIGGER \"Translation$rowRemoved\"; "
         "UPDATE \"$classRows\" SET rows = 99; UPDATE \"$schemaStamp\" SET fingerprint = 'older';"},
        {"an index dropped by someone else",
         "DROP INDEX \"Translation.pk.idTranslation\"; UPDATE \"$classRows\" SET rows = 99;"},
        {"shaped for other classes",
         "UPDATE \"$schemaStamp\" SET fingerprint = 'other'; UPDATE \"$classRows\" SET rows = 99;"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        write([](Transaction &tx) {
            tx.removeAll(QStringLiteral("Translation"));
            addTranslations(tx, 1, 3);
        });
        store = ObjectStore();
        execRaw(path(), c.change);
        store = ObjectStore::open(configuration(path()));
        ASSERT_FALSE(store.isNull());
        EXPECT_EQ(counted(), 3);
        EXPECT_EQ(rawScalar(path(), "SELECT count(*) FROM sqlite_master WHERE name IN "
                                    "('Translation.pk.idTranslation', '$classRows', 'Translation$rowAdded', "
                                    "'Translation$rowRemoved')"),
                  4);
        write([](Transaction &tx) { addTranslations(tx, 4, 1); });
        EXPECT_EQ(counted(), 4);
    }
    // The same version declaring one more property: its column is added.
    store = ObjectStore();
    StoreConfiguration more = configuration(path());
    more.classes[3] = translationSchema().property(QStringLiteral("note"), PropertyType::String);
    store = ObjectStore::open(more);
    ASSERT_FALSE(store.isNull());
    write([](Transaction &tx) {
        tx.create(QStringLiteral("Translation"),
                  {{QStringLiteral("idTranslation"), 9}, {QStringLiteral("note"), QStringLiteral("kept")}});
    });
    EXPECT_EQ(
        store.objectForPrimaryKey(QStringLiteral("Translation"), 9).value(QStringLiteral("note")).toString(),
        QStringLiteral("kept"));
}

// Rows another writer adds or deletes (the sqlite3 shell, a version that knows nothing of the
// counts) are counted, whether the store was closed meanwhile or open, whether their pages are
// still in the WAL or in the file, and the list then holds no blank row.
TEST_F(ObjectStoreCounts, RowsAnotherWriterAddsOrDeletesAreCountedAndTheListHasNoBlankRow) {
    struct Case {
        const char *name;
        bool reopened;       // closed before the other writer's commit, opened after it
        bool inWal;          // its pages still in the WAL, not checkpointed into the file
        const char *sql;     // on ids 1, 2 and 3
        QList<qint64> after; // the ids, newest first
    };
    const QList<Case> cases = {
        {"a delete between two opens, in the WAL",
         true,
         true,
         "DELETE FROM Translation WHERE idTranslation = 2",
         {3, 1}},
        {"a delete between two opens, checkpointed",
         true,
         false,
         "DELETE FROM Translation WHERE idTranslation = 3",
         {2, 1}},
        {"every row deleted between two opens", true, false, "DELETE FROM Translation", {}},
        {"a delete while open", false, false, "DELETE FROM Translation WHERE idTranslation = 1", {3, 2}},
        {"an insert between two opens, in the WAL",
         true,
         true,
         "INSERT INTO Translation (idTranslation, createdDate) VALUES (9, 9)",
         {9, 3, 2, 1}},
        {"an insert between two opens, checkpointed",
         true,
         false,
         "INSERT INTO Translation (idTranslation, createdDate) VALUES (9, 9)",
         {9, 3, 2, 1}},
        {"inserts and a delete while open, in the WAL",
         false,
         true,
         "INSERT INTO Translation (idTranslation, createdDate) VALUES (8, 8), (9, 9); "
         "DELETE FROM Translation WHERE idTranslation = 2",
         {9, 8, 3, 1}},
        {"a writer out of WAL between two opens",
         true,
         false,
         "PRAGMA journal_mode = DELETE; INSERT INTO Translation (idTranslation, createdDate) VALUES (9, 9)",
         {9, 3, 2, 1}},
    };
    const auto listed = [&] {
        QList<qint64> ids;
        const Results newest =
            store.objects(QStringLiteral("Translation")).sorted(QStringLiteral("createdDate"), false);
        for (int i = 0; i < newest.count(); ++i)
            ids.append(newest.at(i).value(QStringLiteral("idTranslation")).toLongLong()); // 0: a blank row
        return ids;
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        write([](Transaction &tx) {
            tx.removeAll(QStringLiteral("Translation"));
            for (int id = 1; id <= 3; ++id)
                tx.create(QStringLiteral("Translation"),
                          {{QStringLiteral("idTranslation"), id}, {QStringLiteral("createdDate"), id}});
        });
        ASSERT_EQ(counted(), 3);
        if (c.reopened)
            store = ObjectStore();
        execRaw(path(), c.sql, !c.inWal);
        if (c.reopened)
            store = ObjectStore::open(configuration(path()));
        ASSERT_FALSE(store.isNull());
        ASSERT_EQ(rows(), c.after.size());
        // Open, the store sees another writer's commit within a few milliseconds.
        EXPECT_TRUE(qvtest::waitUntil([&] { return counted() == c.after.size(); })) << counted();
        EXPECT_EQ(listed(), c.after);
        // The store's own next write counts on from there.
        write([](Transaction &tx) { addTranslations(tx, 20, 1); });
        EXPECT_EQ(counted(), c.after.size() + 1);
        EXPECT_EQ(rows(), c.after.size() + 1);
    }
}
