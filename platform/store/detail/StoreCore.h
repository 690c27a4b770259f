#pragma once

// Internals shared by the store's source files; not for use outside platform/store.

#include "platform/Error.h"
#include "platform/store/Notifications.h"
#include "platform/store/ObjectStore.h"
#include "platform/store/Sqlite.h"

#include <QHash>
#include <QSet>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace platform::detail {

// What one or more commits changed, by class and row.
struct ChangeSet {
    struct ClassChanges {
        QSet<qint64> inserted;
        QSet<qint64> deleted;
        QHash<qint64, QSet<QString>> modified;
    };
    QHash<QString, ClassChanges> classes;

    bool isEmpty() const { return classes.isEmpty(); }
    void recordInsert(const QString &cls, qint64 id) { classes[cls].inserted.insert(id); }
    void recordDelete(const QString &cls, qint64 id);
    void recordModify(const QString &cls, qint64 id, const QString &property);
    void merge(const ChangeSet &other);
    bool touches(const QSet<QString> &classNames) const;
};

struct StoreCore;

// One thread's SQLite connection and its write state.
struct Connection {
    Connection(StoreCore *core, const QString &path) : core(core), db(path) {}
    StoreCore *core;
    sqlite::Database db;
    int writeDepth = 0;
    Error failure; // set by a failed joined block: the outermost write rolls back
    ChangeSet changes;
    quint64 localWrites = 0; // bumped by every write statement, for read caches
    std::unique_lock<std::mutex> writerLock;
    QSet<QPair<const void *, qint64>> linkableRows; // rows known to exist in this transaction

    // Hot statements by (schema, property, kind): no SQL text is built or hashed
    // once a statement exists. Schemas and properties live as long as the store.
    enum StatementKind { SelectColumn, RowExists, FindByKey, Insert, UpdateColumn, ReadList, SelectRow };
    template <typename MakeSql>
    sqlite::Statement &cached(const void *schema, const void *property, StatementKind kind,
                              MakeSql &&makeSql) {
        const StatementKey key{schema, property, kind};
        auto it = statements.constFind(key);
        if (it != statements.constEnd())
            return it.value()->reset();
        sqlite::Statement &st = db.prepare(makeSql());
        statements.insert(key, &st);
        return st;
    }

private:
    struct StatementKey {
        const void *schema;
        const void *property;
        int kind;
        bool operator==(const StatementKey &o) const {
            return schema == o.schema && property == o.property && kind == o.kind;
        }
    };
    friend size_t qHash(const StatementKey &k, size_t seed = 0) noexcept {
        return qHashMulti(seed, k.schema, k.property, k.kind);
    }
    QHash<StatementKey, sqlite::Statement *> statements;
};

struct ObjectData {
    std::shared_ptr<StoreCore> core; // null for a standalone object
    std::shared_ptr<const ObjectSchema> schema;
    qint64 rowId = 0;
    QVariantMap values; // standalone objects only

    // Stored objects: the row as last read (raw columns, see rowColumns()),
    // reused while no write happened since, on the same connection.
    QVariant readColumn(const Property &property);
    void setRow(const Connection &connection, quint64 commits, QVariantList columns);

    std::mutex rowMutex;
    const Connection *rowConnection = nullptr;
    quint64 rowCommits = 0;
    quint64 rowLocalWrites = 0;
    bool rowLoaded = false;
    QVariantList row; // empty when the object is gone
};

// Stored columns of a class (every non-list property, in declaration order).
QString rowColumns(const ObjectSchema &schema, const QString &alias);
int columnIndex(const ObjectSchema &schema, const Property &property);

struct PredicateNode {
    enum Kind { All, And, Or, Not, Compare, In, Contains, BeginsWith, Has };
    Kind kind = All;
    QString path;
    QString op;
    QVariant value;
    QVariantList values;
    int options = 0;
    std::shared_ptr<PredicateNode> left;
    std::shared_ptr<PredicateNode> right;
};

struct SortKey {
    QString path;
    bool ascending = true;
};

struct ResultsQuery {
    std::shared_ptr<StoreCore> core;
    std::shared_ptr<const ObjectSchema> schema;
    std::shared_ptr<PredicateNode> predicate;
    QList<SortKey> sorts;

    // Row ids in result order; cached until this thread or a commit writes.
    // With rows, also reads each object's stored columns (never from the cache).
    QList<qint64> evaluate(bool force = false, QList<QVariantList> *rows = nullptr) const;
    // Classes whose changes may alter the result (root, joined and listed classes).
    QSet<QString> dependencies() const;

    mutable std::mutex cacheMutex;
    mutable const Connection *cacheConnection = nullptr;
    mutable quint64 cacheCommits = 0;
    mutable quint64 cacheLocalWrites = 0;
    mutable bool cached = false;
    mutable QList<qint64> cachedIds;
};

struct CollectionObserver {
    std::shared_ptr<ResultsQuery> query;
    std::function<void(const CollectionChange &)> block;
    QSet<QString> dependencies;
    QList<qint64> lastIds;
    bool ready = false;
};

struct ObjectObserver {
    QString className;
    qint64 rowId = 0;
    QStringList keyPaths;
    std::function<void(const ObjectChange &)> block;
    bool gone = false;
};

struct StoreCore : std::enable_shared_from_this<StoreCore> {
    QString path;
    quint64 schemaVersion = 0;
    QHash<QString, std::shared_ptr<const ObjectSchema>> classes;
    QStringList classOrder;
    struct Backlink {
        std::shared_ptr<const ObjectSchema> owner;
        const Property *property;
    };
    QHash<QString, QList<Backlink>> backlinks; // target class -> links and lists pointing at it

    std::mutex writerMutex;
    std::atomic<quint64> commits{0};

    std::mutex connectionsMutex;
    std::unordered_map<std::thread::id, std::unique_ptr<Connection>> connections;

    ~StoreCore();

    Connection &connection();
    void releaseConnection(std::thread::id thread); // the thread has ended
    void closeConnections();
    const ObjectSchema &schemaFor(const QString &className) const; // throws StoreError
    std::shared_ptr<const ObjectSchema> schemaPtr(const QString &className) const;
    static QString listTable(const QString &className, const QString &property);

    void setClasses(const QList<ObjectSchema> &schemas);
    void openFile(const StoreConfiguration &configuration);
    void alignSchema(Connection &c);
    void createIndexes(Connection &c);

    Object makeObject(const QString &className, qint64 rowId);
    Results makeResults(const QString &className);

    // Notifications (observers live on the main thread).
    void post(const ChangeSet &changes); // any thread, after commit
    void flush();
    quint64 addCollectionObserver(CollectionObserver observer);
    quint64 addObjectObserver(ObjectObserver observer);
    void removeObserver(quint64 id);
    NotificationToken token(quint64 id) { return NotificationToken(weak_from_this(), id); }
    void deliverInitial(quint64 id);
    void deliverCollection(quint64 id, const ChangeSet &changes);
    void deliverObject(quint64 id, const ChangeSet &changes);
    QSet<qint64> modifiedRows(const ObjectSchema &schema, const ChangeSet &changes);

    std::mutex pendingMutex;
    ChangeSet pending;
    bool flushScheduled = false;
    quint64 nextObserverId = 1;
    std::map<quint64, CollectionObserver> collectionObservers;
    std::map<quint64, ObjectObserver> objectObservers;
};

// Stored (SQL) form of a coerced value and back.
QVariant toSql(const Property &property, const QVariant &coerced);
QVariant fromSql(const Property &property, const QVariant &raw);
QVariant coerceOrThrow(const ObjectSchema &schema, const Property &property, const QVariant &value);

void report(const Error &error, const QString &message);

} // namespace platform::detail
