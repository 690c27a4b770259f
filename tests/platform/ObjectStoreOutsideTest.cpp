#include "StoreTestSchema.h"

#include "support/EventLoop.h"

#include <QThread>

using namespace platform;
using namespace storetest;

namespace {

// Another process writing the same file (a second launch, the package
// installer): a store of its own, with its own connections and writer.
class ObjectStoreOutsideCommits : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        other = ObjectStore::open(configuration(path()));
        ASSERT_FALSE(other.isNull());
    }
    void otherWrites(const std::function<void(Transaction &)> &block) {
        const Error error = other.write(block);
        ASSERT_FALSE(error) << error.localizedDescription().toStdString();
    }
    ObjectStore other;
};

} // namespace

TEST_F(ObjectStoreOutsideCommits, HeldResultsObjectsAndObserversSeeThem) {
    write([&](Transaction &tx) {
        tx.create(QStringLiteral("Settings"), {{QStringLiteral("idSetting"), 1}});
        tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), 1}});
    });
    const Results held = store.objects(QStringLiteral("Translation")).sorted(QStringLiteral("idTranslation"));
    const Object settings = store.objectForPrimaryKey(QStringLiteral("Settings"), 1);
    ASSERT_EQ(held.count(), 1);
    ASSERT_EQ(settings.value(QStringLiteral("countOfLaunch")).toLongLong(), 0);

    QList<CollectionChange> collections;
    QList<ObjectChange> objects;
    NotificationToken heldToken = held.observe([&](const CollectionChange &c) { collections.append(c); });
    NotificationToken settingsToken = settings.observe([&](const ObjectChange &c) { objects.append(c); });
    ASSERT_TRUE(qvtest::waitUntil([&] { return !collections.isEmpty(); }));

    otherWrites([](Transaction &tx) {
        tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), 2}});
        tx.createOrUpdate(QStringLiteral("Settings"),
                          {{QStringLiteral("idSetting"), 1}, {QStringLiteral("countOfLaunch"), 7}});
    });
    EXPECT_TRUE(qvtest::waitUntil([&] { return held.count() == 2; }));
    EXPECT_TRUE(
        qvtest::waitUntil([&] { return settings.value(QStringLiteral("countOfLaunch")).toLongLong() == 7; }));
    ASSERT_TRUE(qvtest::waitUntil([&] { return collections.size() >= 2 && !objects.isEmpty(); }));
    EXPECT_EQ(collections.at(1).insertions, QList<int>{1});
    EXPECT_TRUE(collections.at(1).deletions.isEmpty());
    EXPECT_EQ(objects.first().properties, QStringList{QStringLiteral("countOfLaunch")});

    // A deletion over there reaches the observer of the deleted object.
    otherWrites([&](Transaction &tx) { tx.removeAll(QStringLiteral("Settings")); });
    EXPECT_TRUE(qvtest::waitUntil([&] { return objects.size() >= 2 && objects.last().deleted; }));
    EXPECT_TRUE(qvtest::waitUntil([&] { return !settings.isValid(); }));
}

TEST_F(ObjectStoreOutsideCommits, ThisProcesssOwnWritesAfterThemStillReportExactChanges) {
    QList<CollectionChange> received;
    const Results all = store.objects(QStringLiteral("Translation")).sorted(QStringLiteral("idTranslation"));
    NotificationToken token = all.observe([&](const CollectionChange &c) { received.append(c); });
    ASSERT_TRUE(qvtest::waitUntil([&] { return !received.isEmpty(); }));
    otherWrites([](Transaction &tx) {
        tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), 5}});
    });
    // Our write notices the outside commit first and reports both.
    write([](Transaction &tx) {
        tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), 1}});
    });
    ASSERT_TRUE(qvtest::waitUntil([&] {
        int inserted = 0;
        for (const CollectionChange &c : std::as_const(received))
            inserted += static_cast<int>(c.insertions.size());
        return inserted == 2;
    }));
    write([](Transaction &tx) {
        tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), 3}});
    });
    ASSERT_TRUE(qvtest::waitUntil([&] { return received.last().insertions == QList<int>{1}; }));
    EXPECT_TRUE(received.last().modifications.isEmpty());
    EXPECT_EQ(all.count(), 3);
}

TEST_F(ObjectStoreOutsideCommits, TheVersionChangesWithEveryWriteAReadCouldSee) {
    write([](Transaction &tx) { tx.create(QStringLiteral("Settings"), {{QStringLiteral("idSetting"), 1}}); });
    const ObjectStore::Version start = store.version();
    store.objectForPrimaryKey(QStringLiteral("Settings"), 1).value(QStringLiteral("countOfLaunch"));
    EXPECT_EQ(store.version(), start) << "a read changes nothing";
    EXPECT_NE(other.version(), start) << "another store";
    EXPECT_EQ(ObjectStore().version(), ObjectStore::Version());

    ObjectStore::Version insideBefore, insideAfter;
    write([&](Transaction &tx) {
        insideBefore = store.version();
        tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), 1}});
        insideAfter = store.version();
    });
    EXPECT_NE(insideAfter, insideBefore) << "a write of the open transaction";
    const ObjectStore::Version committed = store.version();
    EXPECT_NE(committed, start);
    EXPECT_NE(committed, insideAfter);

    otherWrites([](Transaction &tx) {
        tx.createOrUpdate(QStringLiteral("Settings"),
                          {{QStringLiteral("idSetting"), 1}, {QStringLiteral("countOfLaunch"), 3}});
    });
    EXPECT_TRUE(qvtest::waitUntil([&] { return store.version() != committed; }))
        << "a commit of another process";
}
