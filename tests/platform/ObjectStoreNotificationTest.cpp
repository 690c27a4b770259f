#include "StoreTestSchema.h"

#include "platform/MainQueue.h"
#include "platform/store/detail/StoreCore.h"
#include "support/EventLoop.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace platform;
using namespace storetest;

namespace {

class ObjectStoreNotifications : public StoreTest {
protected:
    void addTranslation(Transaction &tx, qint64 id, double created) {
        tx.create(QStringLiteral("Translation"),
                  {{QStringLiteral("idTranslation"), id},
                   {QStringLiteral("createdDate"), created},
                   {QStringLiteral("originalText"), QStringLiteral("t%1").arg(id)}});
    }
    Object translation(qint64 id) { return store.objectForPrimaryKey(QStringLiteral("Translation"), id); }

    // Waits for the next delivery and returns it.
    template <typename Change> Change next(QList<Change> &received, int count) {
        EXPECT_TRUE(qvtest::waitUntil([&] { return received.size() >= count; }));
        return received.size() >= count ? received.at(count - 1) : Change();
    }
};

} // namespace

TEST_F(ObjectStoreNotifications, CollectionObserverGetsInitialCallThenExactIndexSets) {
    write([&](Transaction &tx) {
        addTranslation(tx, 1, 10);
        addTranslation(tx, 2, 20);
        addTranslation(tx, 3, 30);
    });
    QList<CollectionChange> received;
    const Results newest =
        store.objects(QStringLiteral("Translation")).sorted(QStringLiteral("createdDate"), false);
    NotificationToken token = newest.observe([&](const CollectionChange &c) {
        EXPECT_TRUE(isMainThread());
        received.append(c);
    });
    EXPECT_TRUE(next(received, 1).isInitial());

    write([&](Transaction &tx) { addTranslation(tx, 4, 40); }); // newest: 4 3 2 1
    CollectionChange c = next(received, 2);
    EXPECT_EQ(c.insertions, QList<int>{0});
    EXPECT_TRUE(c.deletions.isEmpty());
    EXPECT_TRUE(c.modifications.isEmpty());

    write([&](Transaction &tx) {
        translation(2).set(tx, QStringLiteral("originalText"), QStringLiteral("changed"));
    });
    c = next(received, 3);
    EXPECT_EQ(c.modifications, QList<int>{2});
    EXPECT_TRUE(c.insertions.isEmpty());

    // One commit: delete 3 (old index 1), insert 5 (newest), modify 1.
    write([&](Transaction &tx) {
        tx.remove(translation(3));
        addTranslation(tx, 5, 50);
        translation(1).set(tx, QStringLiteral("isFavorite"), true);
    });
    c = next(received, 4); // now 5 4 2 1
    EXPECT_EQ(c.deletions, QList<int>{1});
    EXPECT_EQ(c.insertions, QList<int>{0});
    EXPECT_EQ(c.modifications, QList<int>{3});

    // A write that changes nothing the query sees, and an unchanged value, send nothing.
    write([&](Transaction &tx) {
        tx.create(QStringLiteral("Language"), {{QStringLiteral("localeIdentifier"), QStringLiteral("xx")}});
        translation(1).set(tx, QStringLiteral("isFavorite"), true);
    });
    qvtest::spin(50);
    EXPECT_EQ(received.size(), 4);

    token.invalidate();
    write([&](Transaction &tx) { addTranslation(tx, 6, 60); });
    qvtest::spin(50);
    EXPECT_EQ(received.size(), 4);
}

TEST_F(ObjectStoreNotifications, AChangeInALinkedObjectModifiesTheRowsLinkingIt) {
    write([&](Transaction &tx) {
        Object en = tx.create(QStringLiteral("Language"),
                              {{QStringLiteral("localeIdentifier"), QStringLiteral("en_GB")}});
        for (qint64 id : {1, 2, 3}) {
            tx.create(QStringLiteral("Translation"),
                      {{QStringLiteral("idTranslation"), id},
                       {QStringLiteral("createdDate"), static_cast<double>(id)},
                       {QStringLiteral("languageFrom"), id == 2 ? QVariant() : QVariant::fromValue(en)}});
        }
    });
    QList<CollectionChange> received;
    NotificationToken token =
        store.objects(QStringLiteral("Translation")).observe([&](const CollectionChange &c) {
            received.append(c);
        });
    next(received, 1);
    write([&](Transaction &tx) {
        Language(language(QStringLiteral("en_GB"))).setLanguageName(tx, QStringLiteral("English"));
    });
    EXPECT_EQ(next(received, 2).modifications, (QList<int>{0, 2}));
}

TEST_F(ObjectStoreNotifications, ReorderingIsReportedAsDeletionPlusInsertion) {
    write([&](Transaction &tx) {
        addTranslation(tx, 1, 10);
        addTranslation(tx, 2, 20);
        addTranslation(tx, 3, 30);
    });
    QList<CollectionChange> received;
    NotificationToken token = store.objects(QStringLiteral("Translation"))
                                  .sorted(QStringLiteral("createdDate"))
                                  .observe([&](const CollectionChange &c) { received.append(c); });
    next(received, 1);
    write([&](Transaction &tx) { translation(1).set(tx, QStringLiteral("createdDate"), 99.0); }); // 2 3 1
    const CollectionChange c = next(received, 2);
    EXPECT_EQ(c.deletions, QList<int>{0});
    EXPECT_EQ(c.insertions, QList<int>{2});
    EXPECT_TRUE(c.modifications.isEmpty());
}

TEST_F(ObjectStoreNotifications, CommitsOnWorkerThreadsAreDeliveredOnTheMainThread) {
    QList<CollectionChange> received;
    NotificationToken token =
        store.objects(QStringLiteral("Translation")).observe([&](const CollectionChange &c) {
            EXPECT_TRUE(isMainThread());
            received.append(c);
        });
    next(received, 1);
    std::thread worker([&] {
        EXPECT_FALSE(store.write([&](Transaction &tx) {
            addTranslation(tx, 1, 1);
            addTranslation(tx, 2, 2);
        }));
    });
    worker.join();
    const CollectionChange c = next(received, 2);
    EXPECT_EQ(c.insertions, (QList<int>{0, 1}));
}

TEST_F(ObjectStoreNotifications, ObjectObserverReportsChangedPropertiesAndDeletion) {
    write([&](Transaction &tx) { addTranslation(tx, 1, 10); });
    QList<ObjectChange> received;
    NotificationToken token = translation(1).observe([&](const ObjectChange &c) { received.append(c); });
    write([&](Transaction &tx) {
        translation(1).set(tx, QStringLiteral("isFavorite"), true);
        translation(1).set(tx, QStringLiteral("originalText"), QStringLiteral("x"));
    });
    ObjectChange c = next(received, 1);
    EXPECT_FALSE(c.deleted);
    EXPECT_EQ(c.properties, (QStringList{QStringLiteral("originalText"), QStringLiteral("isFavorite")}));
    write([&](Transaction &tx) { tx.remove(translation(1)); });
    c = next(received, 2);
    EXPECT_TRUE(c.deleted);
}

TEST_F(ObjectStoreNotifications, AnObjectObservedBetweenItsCreationAndDeletionHearsItIsGone) {
    // Both commits reach the main thread in one batch.
    write([&](Transaction &tx) { addTranslation(tx, 1, 10); });
    QList<ObjectChange> received;
    NotificationToken token = translation(1).observe([&](const ObjectChange &c) { received.append(c); });
    write([&](Transaction &tx) { tx.remove(translation(1)); });
    EXPECT_TRUE(next(received, 1).deleted);
}

TEST_F(ObjectStoreNotifications, WorkersWriteAndReadWhileTheMainThreadObservesAndTheirConnectionsClose) {
    constexpr int kWorkers = 4;
    constexpr int kWrites = 25;
    int mirrored = 0;
    bool initial = false;
    bool indexesInRange = true;
    NotificationToken token = store.objects(QStringLiteral("Translation"))
                                  .sorted(QStringLiteral("createdDate"), false)
                                  .observe([&](const CollectionChange &c) {
                                      initial = initial || c.isInitial();
                                      for (int i : c.deletions)
                                          indexesInRange = indexesInRange && i >= 0 && i < mirrored;
                                      mirrored -= static_cast<int>(c.deletions.size());
                                      mirrored += static_cast<int>(c.insertions.size());
                                      for (int i : c.insertions + c.modifications)
                                          indexesInRange = indexesInRange && i >= 0 && i < mirrored;
                                  });
    ASSERT_TRUE(qvtest::waitUntil([&] { return initial; }));
    // Each connection holds the journal open (closed database files may be kept
    // by SQLite for reuse, so those are not counted).
    const QString journal = QFileInfo(path()).canonicalFilePath() + QStringLiteral("-wal");
    const auto openFiles = [&] {
        int n = 0;
        const QDir fds(QStringLiteral("/proc/self/fd"));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::Files | QDir::System))
            n += fd.symLinkTarget() == journal ? 1 : 0;
        return n;
    };
    const auto filesBefore = openFiles();

    std::atomic<int> failures{0};
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < kWrites; ++i) {
                const qint64 id = w * 1000 + i;
                if (store.write([&](Transaction &tx) { addTranslation(tx, id, double(id)); }))
                    ++failures;
                const Results mine = store.objects(QStringLiteral("Translation"))
                                         .filter(Key(QStringLiteral("idTranslation")) == id);
                if (mine.count() != 1)
                    ++failures;
                if (i > 0 && translation(id - 1).value(QStringLiteral("originalText")).toString() !=
                                 QStringLiteral("t%1").arg(id - 1))
                    ++failures;
            }
            ++finished;
        });
    }
    // The main thread keeps delivering while the workers run.
    EXPECT_TRUE(qvtest::waitUntil([&] { return finished.load() == kWorkers; }, 60000));
    for (auto &worker : workers)
        worker.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_TRUE(qvtest::waitUntil([&] { return mirrored == kWorkers * kWrites; }));
    EXPECT_TRUE(indexesInRange);
    EXPECT_EQ(store.objects(QStringLiteral("Translation")).count(), kWorkers * kWrites);
    // Finished workers leave no connection (and its files) open behind them.
    EXPECT_EQ(openFiles(), filesBefore);
}

TEST_F(ObjectStoreNotifications, KeyPathObserverSeesNewLinksAndChangesInLinkedObjects) {
    write([&](Transaction &tx) {
        tx.create(QStringLiteral("Language"), {{QStringLiteral("localeIdentifier"), QStringLiteral("en_GB")},
                                               {QStringLiteral("languageModes"),
                                                QVariantMap{{QStringLiteral("translateWebSite"), false}}}});
        tx.create(QStringLiteral("Language"), {{QStringLiteral("localeIdentifier"), QStringLiteral("de_DE")},
                                               {QStringLiteral("languageModes"),
                                                QVariantMap{{QStringLiteral("translateWebSite"), true}}}});
        tx.create(QStringLiteral("Settings"),
                  {{QStringLiteral("idSetting"), 1},
                   {QStringLiteral("languageFrom"), QVariant::fromValue(language(QStringLiteral("en_GB")))}});
    });
    Settings settings(store.objectForPrimaryKey(QStringLiteral("Settings"), 1));
    QList<ObjectChange> received;
    NotificationToken token =
        settings.observe([&](const ObjectChange &c) { received.append(c); },
                         {QStringLiteral("languageFrom.languageModes.translateWebSite")});

    write([&](Transaction &tx) {
        Language(language(QStringLiteral("en_GB"))).languageModes().setTranslateWebSite(tx, true);
    });
    EXPECT_EQ(next(received, 1).properties, QStringList{QStringLiteral("languageFrom")});

    write(
        [&](Transaction &tx) { settings.setLanguageFrom(tx, Language(language(QStringLiteral("de_DE")))); });
    EXPECT_EQ(next(received, 2).properties, QStringList{QStringLiteral("languageFrom")});

    // Off the path: the old language's flags, another property of the new language, another settings field.
    write([&](Transaction &tx) {
        Language(language(QStringLiteral("en_GB"))).languageModes().setTranslateWebSite(tx, false);
        Language(language(QStringLiteral("de_DE"))).setLanguageName(tx, QStringLiteral("Deutsch"));
        settings.setCountOfLaunch(tx, 5);
    });
    qvtest::spin(50);
    EXPECT_EQ(received.size(), 2);

    write([&](Transaction &tx) {
        Language(language(QStringLiteral("de_DE"))).languageModes().setTranslateWebSite(tx, false);
    });
    EXPECT_EQ(next(received, 3).properties, QStringList{QStringLiteral("languageFrom")});
}

TEST_F(ObjectStoreNotifications, ALongListReadAsideStillGetsExactIndexSetsForTheFirstWrites) {
    const int rows = detail::StoreCore::kInitialRowsReadAside + 500;
    write([&](Transaction &tx) {
        for (int id = 1; id <= rows; ++id)
            addTranslation(tx, id, id);
    });
    struct Case {
        const char *name;
        std::function<void(Transaction &)> change;
        QList<int> deletions, insertions, modifications;
    };
    // Newest first: the row at index i holds id rows - i.
    const QList<Case> cases = {
        {"a new newest row", [&](Transaction &tx) { addTranslation(tx, rows + 1, rows + 1); }, {}, {0}, {}},
        {"the 100th row removed", [&](Transaction &tx) { tx.remove(translation(rows - 99)); }, {100}, {}, {}},
        {"a row changed in place",
         [&](Transaction &tx) {
             translation(rows - 499).set(tx, QStringLiteral("originalText"), QStringLiteral("x"));
         },
         {},
         {},
         {499}},
    };
    const Results newest =
        store.objects(QStringLiteral("Translation")).sorted(QStringLiteral("createdDate"), false);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QList<CollectionChange> received;
        NotificationToken token =
            newest.observe([&](const CollectionChange &change) { received.append(change); });
        ASSERT_TRUE(next(received, 1).isInitial());
        // At once, while the first ids may still be read: the write waits for them.
        write(c.change);
        const CollectionChange change = next(received, 2);
        EXPECT_EQ(change.deletions, c.deletions);
        EXPECT_EQ(change.insertions, c.insertions);
        EXPECT_EQ(change.modifications, c.modifications);
    }
}

namespace {

// Holds the first statement that reads a whole Translation list on a thread other than the main
// one (the side read of a long list's first ids) at its start, before SQLite takes its snapshot,
// until the test lets it go. Every connection opened while it is installed is watched.
class SideReadGate {
public:
    SideReadGate() {
        s_gate = this;
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(&SideReadGate::watch));
    }
    ~SideReadGate() {
        release();
        sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&SideReadGate::watch));
        s_gate = nullptr;
    }
    bool waitUntilHeld() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_held; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    static int watch(sqlite3 *db, char **, const void *) {
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &SideReadGate::traced, nullptr);
        return SQLITE_OK;
    }
    static int traced(unsigned, void *, void *, void *sql) {
        SideReadGate *gate = s_gate;
        const QByteArray text(static_cast<const char *>(sql));
        if (gate && !isMainThread() && text.startsWith("SELECT t0._id FROM \"Translation\" t0 WHERE 1"))
            gate->hold();
        return 0;
    }
    void hold() {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_held)
            return;
        m_held = true;
        m_changed.notify_all();
        m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_released; });
    }

    static inline SideReadGate *s_gate = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
    bool m_released = false;
};

} // namespace

// A write that another thread had begun before a long list was observed, and commits while the
// list's first ids are read aside, reaches the observer once, as a change: it is not in the ids too.
TEST_F(ObjectStoreNotifications, AWriteLandingWhileALongListIsReadAsideReachesItOnceAsAChange) {
    const int rows = detail::StoreCore::kInitialRowsReadAside + 10;
    write([&](Transaction &tx) {
        for (int id = 1; id <= rows; ++id)
            addTranslation(tx, id, id);
    });
    SideReadGate gate;
    std::mutex mutex;
    std::condition_variable changed;
    bool writing = false;
    bool go = false;
    std::thread writer([&] {
        EXPECT_FALSE(store.write([&](Transaction &tx) {
            std::unique_lock<std::mutex> lock(mutex);
            writing = true;
            changed.notify_all();
            changed.wait(lock, [&] { return go; });
            addTranslation(tx, rows + 1, rows + 1);
        }));
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return writing; });
    }
    const Results newest =
        store.objects(QStringLiteral("Translation")).sorted(QStringLiteral("createdDate"), false);
    QList<CollectionChange> received;
    NotificationToken token =
        newest.observe([&](const CollectionChange &change) { received.append(change); });
    const bool initial = next(received, 1).isInitial();
    const bool held = gate.waitUntilHeld();
    {
        std::lock_guard<std::mutex> lock(mutex);
        go = true;
        changed.notify_all();
    }
    writer.join(); // committed while the read is held before it reads anything
    gate.release();
    ASSERT_TRUE(initial);
    ASSERT_TRUE(held);

    const CollectionChange added = next(received, 2);
    EXPECT_EQ(added.insertions, QList<int>{0});
    EXPECT_TRUE(added.deletions.isEmpty());
    // The observer's list holds the new row once: removing it removes one row.
    write([&](Transaction &tx) { tx.remove(translation(rows + 1)); });
    const CollectionChange removed = next(received, 3);
    EXPECT_EQ(removed.deletions, QList<int>{0});
    EXPECT_TRUE(removed.insertions.isEmpty());
}
