#include "FailingDisk.h"
#include "StoreTestSchema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace platform;
using namespace storetest;

namespace {

struct Reported {
    QList<Error> errors;
    QStringList messages;
    std::mutex mutex;
    Reported() {
        ObjectStore::setReporter([this](const Error &e, const QString &message) {
            std::lock_guard<std::mutex> lock(mutex);
            errors.append(e);
            messages.append(message);
        });
    }
    ~Reported() { ObjectStore::setReporter({}); }
};

class ObjectStoreFaults : public StoreTest {
protected:
    void SetUp() override {
        FailingDisk::install(); // before the store opens its connections
        StoreTest::SetUp();
    }
    Object standaloneTranslation(qint64 id, const QString &text) {
        return Object::unmanaged(translationSchema(), {{QStringLiteral("idTranslation"), id},
                                                       {QStringLiteral("originalText"), text}});
    }
};

} // namespace

TEST_F(ObjectStoreFaults, AFailedWriteLeavesStandaloneObjectsAsTheyWereSoARetryStoresThem) {
    write([&](Transaction &tx) {
        tx.create(QStringLiteral("Language"), {{QStringLiteral("localeIdentifier"), QStringLiteral("gone")}});
    });
    const Object gone = language(QStringLiteral("gone"));
    write([&](Transaction &tx) { tx.remove(gone); });

    struct Case {
        const char *name;
        FailingDisk::Failure disk;
        std::function<void(Transaction &)> after; // runs after the objects are added
    };
    const QList<Case> cases = {
        {"an exception after adding", FailingDisk::None,
         [](Transaction &) { throw std::runtime_error("later failure"); }},
        {"a failing operation after adding", FailingDisk::None,
         [&](Transaction &tx) {
             tx.create(QStringLiteral("Translation"),
                       {{QStringLiteral("idTranslation"), 999},
                        {QStringLiteral("languageFrom"), QVariant::fromValue(gone)}});
         }},
        {"a disk I/O error at commit", FailingDisk::IoError, [](Transaction &) {}},
        {"a full disk at commit", FailingDisk::Full, [](Transaction &) {}},
    };
    qint64 next = 100;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QList<Object> records = {
            standaloneTranslation(next, QStringLiteral("first %1").arg(next)),
            standaloneTranslation(next + 1, QStringLiteral("second %1").arg(next))};
        Error error;
        {
            FailingDisk disk(c.disk);
            error = store.write([&](Transaction &tx) {
                for (const Object &record : records)
                    tx.add(record);
                c.after(tx);
            });
        }
        ASSERT_TRUE(error);
        for (const Object &record : records) {
            EXPECT_FALSE(record.isManaged());
            EXPECT_TRUE(record.value(QStringLiteral("originalText"))
                            .toString()
                            .startsWith(record.primaryKeyValue().toLongLong() == next
                                            ? QStringLiteral("first")
                                            : QStringLiteral("second")));
        }
        EXPECT_TRUE(store.objectForPrimaryKey(QStringLiteral("Translation"), next).isNull());

        // The retry stores what the failed write did not.
        write([&](Transaction &tx) {
            for (const Object &record : records)
                tx.add(record);
        });
        for (const Object &record : records)
            EXPECT_TRUE(record.isManaged());
        EXPECT_EQ(store.objectForPrimaryKey(QStringLiteral("Translation"), next + 1)
                      .value(QStringLiteral("originalText"))
                      .toString(),
                  QStringLiteral("second %1").arg(next));
        next += 10;
    }
}

TEST_F(ObjectStoreFaults, HandlesFromARolledBackTransactionStayInvalidAndNeverNameALaterObject) {
    Object orphan;
    EXPECT_TRUE(store.write([&](Transaction &tx) {
        orphan = tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), 1}});
        throw std::runtime_error("rolled back");
    }));
    ASSERT_FALSE(orphan.isNull());

    // In this process, in another connection of the same file, and after a reopen.
    QList<Object> later;
    write([&](Transaction &tx) {
        later.append(tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), 2}}));
    });
    {
        ObjectStore other = ObjectStore::open(configuration(path()));
        ASSERT_FALSE(other.isNull());
        EXPECT_FALSE(other.write([&](Transaction &tx) {
            tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), 3}});
        }));
    }
    later.append(store.objectForPrimaryKey(QStringLiteral("Translation"), 3));
    for (const Object &object : std::as_const(later)) {
        EXPECT_NE(object.rowId(), orphan.rowId());
        EXPECT_NE(object, orphan);
    }
    EXPECT_FALSE(orphan.isValid());
    EXPECT_FALSE(orphan.value(QStringLiteral("idTranslation")).isValid());

    // Removing through the stale handle removes nothing.
    write([&](Transaction &tx) { tx.remove(orphan); });
    EXPECT_EQ(store.objects(QStringLiteral("Translation")).count(), 2);

    // The ids stay spent when the failure hit the disk itself, and after a reopen.
    {
        FailingDisk disk(FailingDisk::Full);
        EXPECT_TRUE(store.write([&](Transaction &tx) {
            orphan = tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), 4}});
        }));
    }
    store = ObjectStore();
    store = ObjectStore::open(configuration(path()));
    write([&](Transaction &tx) {
        EXPECT_GT(tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), 5}}).rowId(),
                  orphan.rowId());
    });
}

TEST(ObjectStoreOpenFaults, TwoOpenersOfAnOldFileMigrateItOnce) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.sqlite"));
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "CREATE TABLE Voice (_id INTEGER PRIMARY KEY AUTOINCREMENT, identifier TEXT, "
                               "quality INTEGER); PRAGMA user_version = 100;",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    std::atomic<int> migrations{0};
    std::atomic<bool> migrating{false};
    StoreConfiguration config = configuration(path);
    config.migration = [&](Migration &m, quint64) {
        ++migrations;
        migrating = true;
        // Long enough for the other opener to reach the file meanwhile.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        m.transaction().create(QStringLiteral("Voice"),
                               {{QStringLiteral("identifier"), QStringLiteral("migrated")},
                                {QStringLiteral("quality"), migrations.load()}});
    };
    std::atomic<bool> firstOpened{false};
    std::atomic<bool> secondOpened{false};
    std::thread first([&] { firstOpened = !ObjectStore::open(config).isNull(); });
    while (!migrating)
        std::this_thread::yield();
    std::thread second([&] { secondOpened = !ObjectStore::open(config).isNull(); });
    first.join();
    second.join();
    EXPECT_TRUE(firstOpened);
    EXPECT_TRUE(secondOpened);
    EXPECT_EQ(migrations.load(), 1);
    ObjectStore store = ObjectStore::open(configuration(path));
    EXPECT_EQ(store.objects(QStringLiteral("Voice")).count(), 1);
}

TEST(ObjectStoreOpenFaults, ARenameThatFailsIsReportedAsSuchAndTheDamagedFileStays) {
    QTemporaryDir dir;
    // Long enough that the name it would be moved aside under cannot exist
    // (past 255 bytes), short enough for the journals of a fresh file.
    const QString path = dir.filePath(QString(232, QLatin1Char('s')));
    const QByteArray garbage = QByteArray("not a database at all").repeated(400);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    }
    Reported reported;
    Error error;
    EXPECT_TRUE(ObjectStore::open(configuration(path), &error).isNull());
    EXPECT_EQ(error.code(), ObjectStore::OpenFailed);
    EXPECT_TRUE(error.localizedDescription().contains(QStringLiteral("could not be moved aside")))
        << error.localizedDescription().toStdString();
    for (const QString &message : std::as_const(reported.messages))
        EXPECT_FALSE(message.contains(QStringLiteral("moved aside to"))) << message.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), garbage);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

TEST(ObjectStoreOpenFaults, AStoreThatCannotBeWrittenIsOneClearErrorAtOpen) {
    const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    const QFile::Permissions everyone = readOnly | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    const QFile::Permissions openFolder =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    const QFile::Permissions closedFolder =
        QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    const struct {
        const char *name;
        QFile::Permissions file;
        QFile::Permissions folder; // a WAL store writes files of its own beside the store
    } cases[] = {
        {"a read-only file", readOnly, openFolder},
        {"a writable file in a read-only folder", everyone, closedFolder},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("state")));
        const QString folder = dir.filePath(QStringLiteral("state"));
        const QString path = folder + QStringLiteral("/store.sqlite");
        {
            ObjectStore store = ObjectStore::open(configuration(path));
            ASSERT_FALSE(store.write([](Transaction &tx) {
                tx.create(QStringLiteral("Language"),
                          {{QStringLiteral("localeIdentifier"), QStringLiteral("en_GB")}});
            }));
        }
        ASSERT_EQ(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("store.sqlite")});
        ASSERT_TRUE(QFile::setPermissions(path, c.file));
        ASSERT_TRUE(QFile::setPermissions(folder, c.folder));
        ASSERT_TRUE(QFile::setPermissions(dir.path(), openFolder));
        // Root writes any file: the store is opened by a process that cannot.
        QProcess child;
        QStringList arguments{QStringLiteral("open"), path};
        if (geteuid() == 0)
            arguments.prepend(QStringLiteral("--as-nobody"));
        child.start(QStringLiteral(QV_STORE_TEST_CHILD), arguments);
        ASSERT_TRUE(child.waitForFinished(30000));
        const QString output = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
        EXPECT_EQ(output.section(QLatin1Char(' '), 0, 1),
                  QStringLiteral("error %1").arg(ObjectStore::ReadOnly))
            << output.toStdString() << child.readAllStandardError().toStdString();
        EXPECT_TRUE(output.contains(QStringLiteral("read-only")));
        QFile::setPermissions(folder, openFolder);
    }
}

// Another program with the file open (a copy of this one on another session bus, the sqlite3
// shell): while it writes, an open of a shaped file only reads and goes on; where the open itself
// must write, or the file cannot be switched to WAL, it waits a moment on the interface thread and
// says why it cannot open. Either way the file opens as soon as the other program lets go.
TEST(ObjectStoreOpenFaults, AnotherProgramHoldingTheFileHoldsUpNoShapedOpenAndOtherwiseBrieflyAndSaysWhy) {
    struct Case {
        const char *name;
        const char *prepare; // on the closed file
        const char *hold;    // kept open by the other program while the store opens
        bool repairing;      // another launch salvaging in the same folder
        QString expected;    // what the child prints first
    };
    const QString inUse = QStringLiteral("error %1").arg(ObjectStore::InUse);
    const QList<Case> cases = {
        {"another launch repairing a file in the folder", nullptr, nullptr, true, inUse},
        {"a file out of WAL that another program reads", "PRAGMA journal_mode = DELETE",
         "BEGIN; SELECT count(*) FROM Translation", false, inUse},
        {"an older file, to be migrated, that another program writes", "PRAGMA user_version = 100",
         "BEGIN IMMEDIATE; INSERT INTO Translation (idTranslation) VALUES (7)", false, inUse},
        {"a shaped file that another program writes", nullptr,
         "BEGIN IMMEDIATE; INSERT INTO Translation (idTranslation) VALUES (7)", false, QStringLiteral("ok")},
    };
    const auto openInChild = [](const QString &path) {
        QProcess child;
        child.start(QStringLiteral(QV_STORE_TEST_CHILD), {QStringLiteral("open"), path});
        if (!child.waitForFinished(30000)) {
            child.kill();
            child.waitForFinished();
            return QStringLiteral("still waiting");
        }
        return QString::fromUtf8(child.readAllStandardOutput()).trimmed();
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("store.sqlite"));
        ASSERT_FALSE(ObjectStore::open(configuration(path)).isNull());
        sqlite3 *other = nullptr;
        ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &other), SQLITE_OK);
        for (const char *sql : {c.prepare, c.hold}) {
            if (sql) {
                ASSERT_EQ(sqlite3_exec(other, sql, nullptr, nullptr, nullptr), SQLITE_OK);
            }
        }
        const int folder = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY);
        if (c.repairing) {
            ASSERT_EQ(::flock(folder, LOCK_EX), 0);
        }

        const QString output = openInChild(path);
        EXPECT_EQ(output.section(QLatin1Char(' '), 0, 1), c.expected) << output.toStdString();
        if (c.expected != QLatin1String("ok")) {
            EXPECT_TRUE(output.contains(QStringLiteral("in use by another program"))) << output.toStdString();
        }

        sqlite3_close(other); // rolls back what it held
        ::close(folder);
        EXPECT_EQ(openInChild(path), QStringLiteral("ok"));
    }
}

TEST_F(ObjectStoreFaults, AQueryErrorIsReportedEveryTimeAndNeverServedFromACache) {
    write([&](Transaction &tx) {
        tx.create(QStringLiteral("Translation"), {{QStringLiteral("idTranslation"), 1}});
    });
    Reported reported;
    const Results broken =
        store.objects(QStringLiteral("Translation")).filter(Key(QStringLiteral("missing")) == 1);
    const Results sound = store.objects(QStringLiteral("Translation"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(broken.count(), 0);
        EXPECT_EQ(sound.count(), 1);
    }
    EXPECT_EQ(reported.errors.size(), 3);
}
