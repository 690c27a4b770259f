#pragma once

// Internals shared by the store's source files; not for use outside platform/store.

#include "platform/Error.h"
#include "platform/store/Notifications.h"
#include "platform/store/ObjectStore.h"
#include "platform/store/Sqlite.h"
#include "platform/store/StoreError.h"

#include <QHash>
#include <QSet>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

class QFileSystemWatcher;

namespace platform::detail {

// What one or more commits changed, by class and row.
struct ChangeSet {
    struct ClassChanges {
        QSet<qint64> inserted;
        QSet<qint64> deleted;
        QHash<qint64, QSet<QString>> modified;
        bool cleared = false; // every object stored before was deleted (not listed in `deleted`)
    };
    QHash<QString, ClassChanges> classes;
    bool outside = false; // another process committed; what it changed is unknown

    bool isEmpty() const { return classes.isEmpty() && !outside; }
    void recordInsert(const QString &cls, qint64 id) { classes[cls].inserted.insert(id); }
    void recordDelete(const QString &cls, qint64 id);
    void recordClear(const QString &cls);
    void recordModify(const QString &cls, qint64 id, const QString &property);
    void merge(const ChangeSet &other);
    bool touches(const QSet<QString> &classNames) const;
    bool isDeleted(const QString &cls, qint64 id) const;
};

struct StoreCore;
struct ObjectData;

// What a cached read stood on. A cache is served only while its stamp is the
// current one: same connection, no commit of this process, no write on the
// connection and no commit of another process noticed since.
struct ReadStamp {
    const void *connection = nullptr;
    quint64 commits = 0;
    quint64 localWrites = 0;
    quint64 outside = 0;
    bool operator==(const ReadStamp &o) const {
        return connection == o.connection && commits == o.commits && localWrites == o.localWrites &&
               outside == o.outside;
    }
    bool operator!=(const ReadStamp &o) const { return !(*this == o); }
};

// A standalone object that the open transaction turned into a stored one, with
// what it held before: a rollback turns it back, so that a retry can store it.
struct AddedObject {
    std::shared_ptr<ObjectData> data;
    std::shared_ptr<const ObjectSchema> schema;
    QVariantMap values;
};

// One SQLite connection. Each thread reads through its own; every write of
// the process goes through the store's single writer connection, so that the
// writer's data_version moves only when another process commits.
struct Connection {
    Connection(StoreCore *core, const QString &path, bool writer);
    StoreCore *core;
    sqlite::Database db;
    const bool isWriter;

    // Write state (writer only; the writer lock guards it).
    int writeDepth = 0;
    Error failure; // set by a failed joined block: the outermost write rolls back
    ChangeSet changes;
    std::vector<AddedObject> added;
    QHash<QString, qint64> highestInserted;         // by class, for the id floor after a rollback
    QSet<QPair<const void *, qint64>> linkableRows; // rows known to exist in this transaction

    quint64 localWrites = 0; // bumped by every write statement, for read caches

    // Commits of other connections, seen through PRAGMA data_version. A reader
    // asks SQLite again only once the (coarse, cheap) monotonic clock has moved
    // on, a few milliseconds at most, so that reading many values in a row
    // costs no query each.
    qint64 dataVersion = -1;
    qint64 versionCheckedAt = 0;
    quint64 outsideEpoch = 0;
    void noticeOtherCommits(bool force = false);

    // Hot statements by (schema, property, kind): no SQL text is built or hashed
    // once a statement exists. Schemas and properties live as long as the store.
    enum StatementKind {
        SelectColumn,
        RowExists,
        FindByKey,
        Insert,
        UpdateColumn,
        ReadList,
        SelectRow,
        SearchInsert,
        SearchRead,
        SearchDelete
    };
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
    void forgetStatements() { statements.clear(); }

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

// Rows read together by Results::toList(), kept as SQLite gave them: plain
// cells side by side, texts as UTF-8 in large blocks, so that reading many
// rows allocates almost nothing and a value becomes a QVariant only when it
// is read. With the objects the rows' links name, read once for all of them.
class RowBatch {
public:
    explicit RowBatch(int width) : m_width(width) {}
    int width() const { return m_width; }
    int rows() const { return m_rows; }
    void addRow(const sqlite::Statement &st, int firstColumn);
    QVariant value(int row, int column) const;
    bool isNull(int row, int column) const { return cell(row, column).type == 0; }
    qint64 integer(int row, int column) const { return cell(row, column).integer; }

    std::vector<std::pair<int, QHash<qint64, std::shared_ptr<ObjectData>>>> linked; // by column
    std::shared_ptr<ObjectData> find(int column, qint64 id) const;

private:
    struct Cell {
        union {
            qint64 integer;
            double real;
            const char *bytes;
        };
        quint32 length;
        quint8 type; // 0 null, else SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB
    };
    // A small first chunk and block, so that a query of a few rows stays small.
    static constexpr int kFirstChunkRows = 16;
    static constexpr int kChunkRows = 256;
    static constexpr qsizetype kFirstBlockBytes = 1 << 12;
    static constexpr qsizetype kBlockBytes = 1 << 18;
    const Cell &cell(int row, int column) const {
        if (row < kFirstChunkRows)
            return m_chunks[0][row * m_width + column];
        row -= kFirstChunkRows;
        return m_chunks[1 + static_cast<size_t>(row / kChunkRows)][(row % kChunkRows) * m_width + column];
    }
    const char *keep(const char *bytes, int length);

    int m_width;
    int m_rows = 0;
    std::vector<std::unique_ptr<Cell[]>> m_chunks;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    qsizetype m_blockSize = 0;
    qsizetype m_blockUsed = 0;
};

struct ObjectData {
    std::shared_ptr<StoreCore> core; // null for a standalone object
    std::shared_ptr<const ObjectSchema> schema;
    qint64 rowId = 0;
    QVariantMap values; // standalone objects only

    // Stored objects: the row as last read (raw columns, see rowColumns()) and
    // the objects its links named then, reused while the stamp holds.
    // `linked`, when given, receives the already read object of a link.
    QVariant readColumn(const Property &property, std::shared_ptr<ObjectData> *linked = nullptr);
    void setRow(const ReadStamp &stamp, QVariantList columns);
    void forgetRow();

    std::mutex rowMutex;
    ReadStamp rowStamp;
    bool rowLoaded = false;
    QVariantList row; // empty when the object is gone (unless the row is in a batch)
    std::shared_ptr<const RowBatch> batch;
    int batchRow = -1;
};

// Stored columns of a class (every non-list property, in declaration order).
QString rowColumns(const ObjectSchema &schema, const QString &alias);

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

// What an observer needs to follow a query from change sets alone.
struct QueryShape {
    QSet<QString> rootProperties; // root properties the predicate or the order reads
    QSet<QString> pathClasses;    // other classes the predicate or the order reads
    QSet<QString> linkedClasses;  // classes the root links or lists (their changes modify rows)
    QString keySql;               // SELECT <order keys> ... WHERE t0._id = ?
    QString candidatesSql;        // SELECT t0._id, <order keys> ... WHERE <predicate> AND t0._id IN (%1)
    QVariantList binds;           // the predicate's binds, for candidatesSql
    QList<bool> ascending;        // by order key
    bool idAscending = true;      // ties: insertion order, in the direction of the last key
    bool valid = false;
};

struct ResultsQuery {
    std::shared_ptr<StoreCore> core;
    std::shared_ptr<const ObjectSchema> schema;
    std::shared_ptr<PredicateNode> predicate;
    QList<SortKey> sorts;

    // Row ids in result order; cached while the read stamp holds. With a row
    // sink, also hands over each object's stored columns as they are read
    // (never from the cache). A failed query is reported and caches nothing.
    using RowSink = std::function<void(qint64 id, const sqlite::Statement &row)>; // columns from 1
    QList<qint64> evaluate(bool force = false, const RowSink &rows = {}, ReadStamp *stamp = nullptr) const;
    // The same, throwing the query's StoreError instead of reporting it.
    QList<qint64> evaluateOrThrow(bool force = false, const RowSink &rows = {},
                                  ReadStamp *stamp = nullptr) const;
    // The ids as the connection reads them, cached nowhere; `expected` rows are made room for.
    QList<qint64> readIds(Connection &c, const RowSink &rows = {}, int expected = 0) const;
    // The number of rows, and the id at one place, from the cache while it holds; otherwise
    // asked of SQLite alone (the count kept while the stamp holds), so a long list is not read
    // whole for its first rows. Places past the first few read the whole list once, so walking
    // a list place by place stays linear. Failures are reported and give 0.
    int count() const;
    qint64 idAt(int index) const;
    // Classes whose changes may alter the result (root, joined and listed classes).
    QSet<QString> dependencies() const;
    QueryShape shape() const;

    mutable std::mutex cacheMutex;
    mutable ReadStamp cacheStamp;
    mutable bool cached = false;
    mutable QList<qint64> cachedIds;
    mutable ReadStamp countStamp;
    mutable int cachedCount = -1;
};

// The first ids of a long observed list, read on a thread of their own.
struct InitialIds {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool failed = false;
    QList<qint64> ids;
};

struct CollectionObserver {
    std::shared_ptr<ResultsQuery> query;
    std::function<void(const CollectionChange &)> block;
    QSet<QString> dependencies;
    QueryShape shape;
    QList<qint64> lastIds;
    std::shared_ptr<InitialIds> initialRead; // lastIds once it has finished
    bool ready = false;
};

struct ObjectObserver {
    QString className;
    qint64 rowId = 0;
    QStringList keyPaths;
    std::function<void(const ObjectChange &)> block;
    bool gone = false;
    QList<QVariantList> snapshot; // by property: the values along it, to tell what another process changed
};

struct StoreCore : std::enable_shared_from_this<StoreCore> {
    StoreCore();
    ~StoreCore();

    QString path;
    quint64 schemaVersion = 0;
    const quint64 serial; // tells stores apart in per-thread caches
    QHash<QString, std::shared_ptr<const ObjectSchema>> classes;
    QStringList classOrder;
    struct Backlink {
        std::shared_ptr<const ObjectSchema> owner;
        const Property *property;
    };
    QHash<QString, QList<Backlink>> backlinks; // target class -> links and lists pointing at it

    // Writing: one connection, one thread at a time.
    std::mutex writerMutex;
    std::unique_ptr<Connection> writer;
    std::atomic<std::thread::id> writerThread{};
    std::atomic<quint64> commits{0};
    // Ids handed out by rolled-back transactions are kept, by file and class,
    // for the whole process (another store of the same file may write next):
    // the next write moves the AUTOINCREMENT counter past them.
    using IdFloors = std::map<QString, qint64>;
    IdFloors pendingIdFloors() const;
    void settleIdFloors(const IdFloors &applied);

    std::mutex connectionsMutex;
    std::unordered_map<std::thread::id, std::unique_ptr<Connection>> connections;
    std::atomic<quint64> connectionsGeneration{0};

    std::atomic<bool> damageNoted{false};

    // This thread's connection: the writer inside this thread's write, else its reader.
    Connection &connection();
    ReadStamp stamp(Connection &c);
    void releaseConnection(std::thread::id thread); // the thread has ended
    void closeConnections();
    const ObjectSchema &schemaFor(const QString &className) const; // throws StoreError
    std::shared_ptr<const ObjectSchema> schemaPtr(const QString &className) const;
    static QString listTable(const QString &className, const QString &property);
    static QString searchTable(const QString &className);
    static QString foldedColumn(const QString &property); // unquoted
    // The statements that make a class's table and the table of one of its lists.
    static QString createTableSql(const ObjectSchema &schema);
    static QString createListTableSql(const QString &className, const QString &property);

    void setClasses(const QList<ObjectSchema> &schemas);
    // Opening waits for another program holding the file so long, then throws StoreError(-InUse).
    using OpenDeadline = std::chrono::steady_clock::time_point;
    static int msLeft(OpenDeadline deadline);
    static StoreError inUse(const QString &path, const QString &why);
    void openFile(const StoreConfiguration &configuration, int waitMs);
    void shapeUnderWriteLock(Connection &c, const QByteArray &fingerprint,
                             const StoreConfiguration &configuration,
                             const std::function<void(qint64)> &refuseNewer);
    static void rollBack(Connection &c);
    void shapeFile(Connection &c, qint64 version, const QByteArray &fingerprint,
                   const StoreConfiguration &configuration);
    void alignSchema(Connection &c);
    void alignSearch(Connection &c, const ObjectSchema &schema, bool rebuild);
    void createIndexes(Connection &c);

    // What the file's tables were last shaped to: the declared classes and the schema cookie,
    // which any later change of the schema moves. An open finding both as they were shapes nothing.
    QByteArray schemaFingerprint() const;
    bool schemaIsShaped(Connection &c, const QByteArray &fingerprint);
    void stampSchema(Connection &c, const QByteArray &fingerprint);

    // Each class's row count is kept in the file: a whole table's count then reads one row, not
    // every page of an index (2,500 of them for a million translations). Triggers keep it, so that
    // rows any other writer adds or deletes count too; an open that shapes the schema makes them
    // and counts every table again.
    bool rowCountsKept = false;
    void recountRows(Connection &c);
    std::optional<qint64> keptRowCount(Connection &c, const QString &className);

    // Under the writer lock, inside a write transaction.
    void applyIdFloors(Connection &c, const IdFloors &floors);
    bool writerNoticesOutsideCommits(); // true when another process committed since
    // Under the writer lock, after a rollback.
    void restoreAdded(Connection &c);
    void keepIdFloors(Connection &c);

    // SQLite reported damage: checked (and salvaged) at the next open.
    void noteDamage();
    static QString checkMarkerPath(const QString &path);

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
    // A list this long has its first ids read aside: the interface shows its first rows meanwhile.
    // The read's snapshot is taken before the observer is ready, so that the ids are the list as it
    // was when observed and every later commit reaches the observer as a change.
    static constexpr int kInitialRowsReadAside = 20000;
    void readInitialIdsAside(CollectionObserver &observer);
    void settleInitialIds(CollectionObserver &observer);
    bool collectionChange(CollectionObserver &observer, const ChangeSet &changes, CollectionChange &change);
    bool objectChange(ObjectObserver &observer, const ChangeSet &changes, ObjectChange &change);
    QList<QVariantList> snapshotOf(const ObjectObserver &observer);
    QSet<qint64> modifiedRows(const ObjectSchema &schema, const ChangeSet &changes);
    void schedulePoll();
    void poll();
    // Watches the file, its -wal and its folder for other processes' commits (main
    // thread); false when the system will not watch them, and the timer polls instead.
    bool watchFiles();
    void rewatchFiles();

    std::mutex pendingMutex;
    ChangeSet pending;
    bool flushScheduled = false;
    bool pollScheduled = false;
    QFileSystemWatcher *watcher = nullptr; // main thread; deleted there
    quint64 nextObserverId = 1;
    std::map<quint64, CollectionObserver> collectionObservers;
    std::map<quint64, ObjectObserver> objectObservers;
};

// Stored (SQL) form of a coerced value and back.
QVariant toSql(const Property &property, const QVariant &coerced);
QVariant fromSql(const Property &property, QVariant raw);
QVariant coerceOrThrow(const ObjectSchema &schema, const Property &property, const QVariant &value);
// The text a searchable property is indexed under.
QVariant searchText(const QVariant &raw);

// The store's own tables beside the classes': remade by the open that shapes the schema, so a
// salvage leaves them behind.
// The counts that writes kept themselves, "$rowCounts", are left to the versions that read them.
constexpr char kRowCountsTable[] = "$classRows";
constexpr char kSchemaStampTable[] = "$schemaStamp";

void report(const Error &error, const QString &message);
Error storeError(int code, const QString &description);

} // namespace platform::detail
