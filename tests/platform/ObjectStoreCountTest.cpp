#include "RawSqlite.h"
#include "StoreTestSchema.h"

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
        {"kept by a version without counts", "DROP TABLE \"$rowCounts\"; DROP TABLE \"$schemaStamp\";"},
        {"an index dropped by someone else",
         "DROP INDEX \"Translation.pk.idTranslation\"; UPDATE \"$rowCounts\" SET rows = 99;"},
        {"shaped for other classes",
         "UPDATE \"$schemaStamp\" SET fingerprint = 'other'; UPDATE \"$rowCounts\" SET rows = 99;"},
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
                                    "('Translation.pk.idTranslation', '$rowCounts')"),
                  2);
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
