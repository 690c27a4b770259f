#include "platform/store/detail/StoreCore.h"

#include "platform/store/StoreError.h"
#include "platform/store/Transaction.h"

#include <QDateTime>
#include <QFile>
#include <QFileSystemWatcher>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

namespace platform::detail {

void ChangeSet::recordDelete(const QString &cls, qint64 id) {
    ClassChanges &c = classes[cls];
    // Created and deleted in one batch: still a deletion for an observer that
    // picked the object up in between.
    c.inserted.remove(id);
    c.deleted.insert(id);
    c.modified.remove(id);
}

void ChangeSet::recordClear(const QString &cls) {
    ClassChanges &c = classes[cls];
    c.deleted.unite(c.inserted);
    c.inserted.clear();
    c.modified.clear();
    c.cleared = true;
}

void ChangeSet::recordModify(const QString &cls, qint64 id, const QString &property) {
    classes[cls].modified[id].insert(property);
}

void ChangeSet::merge(const ChangeSet &other) {
    outside = outside || other.outside;
    for (auto it = other.classes.cbegin(); it != other.classes.cend(); ++it) {
        if (it.value().cleared)
            recordClear(it.key());
        for (qint64 id : it.value().deleted)
            recordDelete(it.key(), id);
        for (qint64 id : it.value().inserted)
            recordInsert(it.key(), id);
        for (auto m = it.value().modified.cbegin(); m != it.value().modified.cend(); ++m) {
            for (const QString &p : m.value())
                recordModify(it.key(), m.key(), p);
        }
    }
}

bool ChangeSet::touches(const QSet<QString> &classNames) const {
    if (outside)
        return true;
    for (const QString &name : classNames) {
        if (classes.contains(name))
            return true;
    }
    return false;
}

bool ChangeSet::isDeleted(const QString &cls, qint64 id) const {
    const auto it = classes.constFind(cls);
    if (it == classes.constEnd())
        return false;
    return it->deleted.contains(id) || (it->cleared && !it->inserted.contains(id));
}

namespace {

constexpr qint64 kOtherCommitsWindowNs = 1000000;

// A clock read for every value read must be cheap: the coarse clock costs a
// third of the precise one and ticks every few milliseconds.
qint64 coarseNowNs() {
#ifdef CLOCK_MONOTONIC_COARSE
    timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<qint64>(now.tv_sec) * 1000000000 + now.tv_nsec;
#else
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}

std::atomic<quint64> g_nextSerial{1};

// The connection this thread used last, so that reading values needs no lock.
struct LastConnection {
    const StoreCore *core = nullptr;
    quint64 serial = 0;
    quint64 generation = 0;
    Connection *connection = nullptr;
};
thread_local LastConnection t_lastConnection;

// Closes this thread's connections when the thread ends, so that finished
// workers do not keep files open for as long as the store lives.
struct ThreadConnections {
    std::vector<std::weak_ptr<StoreCore>> cores;
    ~ThreadConnections() {
        for (const auto &weak : cores) {
            if (auto core = weak.lock())
                core->releaseConnection(std::this_thread::get_id());
        }
    }
};

void noteThreadUses(const std::weak_ptr<StoreCore> &core) {
    thread_local ThreadConnections threadConnections;
    auto &cores = threadConnections.cores;
    cores.erase(std::remove_if(cores.begin(), cores.end(),
                               [&](const auto &w) {
                                   return w.expired() || (!w.owner_before(core) && !core.owner_before(w));
                               }),
                cores.end());
    cores.push_back(core);
}

} // namespace

Connection::Connection(StoreCore *core, const QString &path, bool writer)
    : core(core), db(path), isWriter(writer) {
    std::weak_ptr<StoreCore> weak = core->weak_from_this();
    db.setDamageHandler([weak]() {
        if (auto strong = weak.lock())
            strong->noteDamage();
    });
    if (writer && db.isReadOnly()) {
        // One clear error at open rather than every write failing one by one.
        throw StoreError(
            QStringLiteral("The object store %1 is read-only: it cannot keep anything").arg(path),
            -ObjectStore::ReadOnly);
    }
    if (writer)
        db.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    else
        db.exec(QStringLiteral("PRAGMA query_only=1")); // every write goes through the writer
}

void Connection::noticeOtherCommits(bool force) {
    // Inside a write nobody else can commit.
    if (writeDepth > 0)
        return;
    const qint64 now = coarseNowNs();
    if (!force && dataVersion >= 0 && now - versionCheckedAt < kOtherCommitsWindowNs)
        return;
    versionCheckedAt = now;
    qint64 version = dataVersion;
    try {
        version = db.dataVersion();
    } catch (const StoreError &) {
        return; // the next read reports the failure
    }
    if (dataVersion >= 0 && version != dataVersion)
        ++outsideEpoch;
    dataVersion = version;
}

StoreCore::StoreCore() : serial(g_nextSerial.fetch_add(1)) {}

StoreCore::~StoreCore() {
    if (watcher)
        watcher->deleteLater(); // made on the main thread, which may not be this one
    closeConnections();
}

Connection &StoreCore::connection() {
    if (writerThread.load(std::memory_order_acquire) == std::this_thread::get_id())
        return *writer;
    const quint64 generation = connectionsGeneration.load(std::memory_order_acquire);
    LastConnection &last = t_lastConnection;
    if (last.core == this && last.serial == serial && last.generation == generation)
        return *last.connection;
    bool created = false;
    Connection *connection = nullptr;
    {
        std::lock_guard<std::mutex> lock(connectionsMutex);
        auto &slot = connections[std::this_thread::get_id()];
        if (!slot) {
            slot = std::make_unique<Connection>(this, path, false);
            created = true;
        }
        connection = slot.get();
    }
    if (created)
        noteThreadUses(weak_from_this());
    last = {this, serial, generation, connection};
    return *connection;
}

ReadStamp StoreCore::stamp(Connection &c) {
    c.noticeOtherCommits();
    return {&c, commits.load(std::memory_order_acquire), c.localWrites, c.outsideEpoch};
}

void StoreCore::releaseConnection(std::thread::id thread) {
    std::unique_ptr<Connection> released;
    {
        std::lock_guard<std::mutex> lock(connectionsMutex);
        auto it = connections.find(thread);
        if (it == connections.end())
            return;
        released = std::move(it->second);
        connections.erase(it);
    }
    if (thread == std::this_thread::get_id() && t_lastConnection.core == this)
        t_lastConnection = {};
}

void StoreCore::closeConnections() {
    std::lock_guard<std::mutex> lock(connectionsMutex);
    connectionsGeneration.fetch_add(1, std::memory_order_acq_rel);
    connections.clear();
    writer.reset();
}

const ObjectSchema &StoreCore::schemaFor(const QString &className) const {
    auto it = classes.constFind(className);
    if (it == classes.constEnd())
        throw StoreError(QStringLiteral("Class %1 is not declared in the store").arg(className));
    return *it.value();
}

std::shared_ptr<const ObjectSchema> StoreCore::schemaPtr(const QString &className) const {
    return classes.value(className);
}

QString StoreCore::listTable(const QString &className, const QString &property) {
    return sqlite::quoted(className + QLatin1Char('.') + property);
}

QString StoreCore::searchTable(const QString &className) {
    return sqlite::quoted(className + QStringLiteral("$search"));
}

QString StoreCore::foldedColumn(const QString &property) {
    return property + QStringLiteral("$folded");
}

QString StoreCore::checkMarkerPath(const QString &path) {
    return path + QStringLiteral("-check");
}

void StoreCore::setClasses(const QList<ObjectSchema> &schemas) {
    for (const ObjectSchema &s : schemas) {
        if (s.className().isEmpty() || s.className().startsWith(QLatin1String("sqlite")) ||
            s.className().contains(QLatin1Char('$')))
            throw StoreError(QStringLiteral("Invalid class name '%1'").arg(s.className()));
        if (classes.contains(s.className()))
            throw StoreError(QStringLiteral("Class %1 declared twice").arg(s.className()));
        classes.insert(s.className(), std::make_shared<const ObjectSchema>(s));
        classOrder.append(s.className());
    }
    for (const QString &name : std::as_const(classOrder)) {
        auto schema = classes.value(name);
        for (const Property &p : schema->properties()) {
            if (p.isScalar())
                continue;
            if (!classes.contains(p.objectClass))
                throw StoreError(
                    QStringLiteral("%1.%2 links to undeclared class %3").arg(name, p.name, p.objectClass));
            backlinks[p.objectClass].append({schema, &p});
        }
    }
}

namespace {
std::mutex g_floorsMutex;
std::map<QString, StoreCore::IdFloors> g_floors; // by file
} // namespace

StoreCore::IdFloors StoreCore::pendingIdFloors() const {
    std::lock_guard<std::mutex> lock(g_floorsMutex);
    const auto it = g_floors.find(path);
    return it == g_floors.end() ? IdFloors() : it->second;
}

void StoreCore::settleIdFloors(const IdFloors &applied) {
    std::lock_guard<std::mutex> lock(g_floorsMutex);
    const auto it = g_floors.find(path);
    if (it == g_floors.end())
        return;
    for (const auto &[className, floor] : applied) {
        const auto pending = it->second.find(className);
        if (pending != it->second.end() && pending->second <= floor)
            it->second.erase(pending);
    }
    if (it->second.empty())
        g_floors.erase(it);
}

void StoreCore::applyIdFloors(Connection &c, const IdFloors &floors) {
    for (const auto &[className, floor] : floors) {
        sqlite::Statement &raise =
            c.db.prepare(QStringLiteral("UPDATE sqlite_sequence SET seq = ?2 WHERE name = ?1 AND seq < ?2"));
        raise.bind(1, className).bind(2, floor);
        raise.run();
        sqlite::Statement &add = c.db.prepare(
            QStringLiteral("INSERT INTO sqlite_sequence (name, seq) SELECT ?1, ?2 WHERE NOT EXISTS "
                           "(SELECT 1 FROM sqlite_sequence WHERE name = ?1)"));
        add.bind(1, className).bind(2, floor);
        add.run();
    }
}

void StoreCore::restoreAdded(Connection &c) {
    for (auto it = c.added.rbegin(); it != c.added.rend(); ++it) {
        ObjectData &d = *it->data;
        d.forgetRow();
        d.core.reset();
        d.schema = it->schema;
        d.rowId = 0;
        d.values = it->values;
    }
    c.added.clear();
}

// The ids a rolled-back transaction handed out came back with the rollback:
// move the counter past them now, or at the latest in the next write.
void StoreCore::keepIdFloors(Connection &c) {
    {
        std::lock_guard<std::mutex> lock(g_floorsMutex);
        for (auto it = c.highestInserted.cbegin(); it != c.highestInserted.cend(); ++it) {
            qint64 &floor = g_floors[path][it.key()];
            floor = std::max(floor, it.value());
        }
    }
    c.highestInserted.clear();
    const IdFloors floors = pendingIdFloors();
    if (floors.empty())
        return;
    try {
        c.db.exec(QStringLiteral("BEGIN IMMEDIATE"));
        try {
            applyIdFloors(c, floors);
            c.db.exec(QStringLiteral("COMMIT"));
            settleIdFloors(floors);
        } catch (const StoreError &) {
            c.db.exec(QStringLiteral("ROLLBACK"));
        }
    } catch (const StoreError &) {
        // Kept: the next write applies them first.
    }
}

bool StoreCore::writerNoticesOutsideCommits() {
    Connection &w = *writer;
    const qint64 version = w.db.dataVersion();
    const bool changed = w.dataVersion >= 0 && version != w.dataVersion;
    w.dataVersion = version;
    if (changed)
        ++w.outsideEpoch;
    return changed;
}

void StoreCore::noteDamage() {
    if (damageNoted.exchange(true))
        return;
    QFile marker(checkMarkerPath(path));
    const bool marked = marker.open(QIODevice::WriteOnly);
    report(storeError(ObjectStore::DamagedFile, QStringLiteral("SQLite reported damage in %1").arg(path)),
           marked ? QStringLiteral("Object store damaged: it is checked and salvaged at the next launch")
                  : QStringLiteral("Object store damaged, and the mark for a check at the next launch "
                                   "could not be written"));
}

Object StoreCore::makeObject(const QString &className, qint64 rowId) {
    auto data = std::make_shared<ObjectData>();
    data->core = shared_from_this();
    data->schema = classes.value(className);
    data->rowId = rowId;
    return Object(data);
}

Results StoreCore::makeResults(const QString &className) {
    auto query = std::make_shared<ResultsQuery>();
    query->core = shared_from_this();
    query->schema = classes.value(className);
    if (!query->schema)
        report(storeError(ObjectStore::WriteFailed,
                          QStringLiteral("Class %1 is not declared in the store").arg(className)),
               QStringLiteral("Object store query failed"));
    return Results(query);
}

QString rowColumns(const ObjectSchema &schema, const QString &alias) {
    QStringList columns;
    for (const Property &p : schema.properties()) {
        if (!p.isList())
            columns.append(alias + sqlite::quoted(p.name));
    }
    return columns.isEmpty() ? QStringLiteral("1") : columns.join(QLatin1Char(','));
}

void RowBatch::addRow(const sqlite::Statement &st, int firstColumn) {
    const int at = m_rows < kFirstChunkRows ? m_rows : (m_rows - kFirstChunkRows) % kChunkRows;
    if (at == 0) {
        const int rows = m_rows == 0 ? kFirstChunkRows : kChunkRows;
        m_chunks.emplace_back(new Cell[static_cast<size_t>(rows) * static_cast<size_t>(m_width)]);
    }
    Cell *cells = m_chunks.back().get() + at * m_width;
    ++m_rows;
    for (int i = 0; i < m_width; ++i) {
        Cell &c = cells[i];
        const int type = st.columnType(firstColumn + i);
        c.type = type == SQLITE_NULL ? 0 : static_cast<quint8>(type);
        c.length = 0;
        switch (type) {
        case SQLITE_INTEGER:
            c.integer = st.columnInt(firstColumn + i);
            break;
        case SQLITE_FLOAT:
            c.real = st.columnDouble(firstColumn + i);
            break;
        case SQLITE_TEXT:
        case SQLITE_BLOB: {
            int length = 0;
            const char *bytes = st.columnBytes(firstColumn + i, &length);
            c.bytes = keep(bytes, length);
            c.length = static_cast<quint32>(length);
            break;
        }
        default:
            c.integer = 0;
            break;
        }
    }
}

const char *RowBatch::keep(const char *bytes, int length) {
    if (length > kBlockBytes / 4) {
        // A large value gets a block of its own; the open block stays the last one.
        m_blocks.emplace_back(new char[static_cast<size_t>(length)]);
        std::memcpy(m_blocks.back().get(), bytes, static_cast<size_t>(length));
        const char *kept = m_blocks.back().get();
        if (m_blocks.size() > 1)
            std::swap(m_blocks[m_blocks.size() - 1], m_blocks[m_blocks.size() - 2]);
        return kept;
    }
    if (m_blocks.empty() || m_blockUsed + length > m_blockSize) {
        m_blockSize = std::min(kBlockBytes, std::max({kFirstBlockBytes, m_blockSize * 2, qsizetype(length)}));
        m_blocks.emplace_back(new char[static_cast<size_t>(m_blockSize)]);
        m_blockUsed = 0;
    }
    char *at = m_blocks.back().get() + m_blockUsed;
    if (length > 0)
        std::memcpy(at, bytes, static_cast<size_t>(length));
    m_blockUsed += length;
    return at;
}

QVariant RowBatch::value(int row, int column) const {
    const Cell &c = cell(row, column);
    switch (c.type) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(c.integer));
    case SQLITE_FLOAT:
        return QVariant(c.real);
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(c.bytes, static_cast<qsizetype>(c.length)));
    case SQLITE_BLOB:
        return QVariant(QByteArray(c.bytes, static_cast<qsizetype>(c.length)));
    default:
        return QVariant();
    }
}

std::shared_ptr<ObjectData> RowBatch::find(int column, qint64 id) const {
    for (const auto &[at, objects] : linked) {
        if (at == column)
            return objects.value(id);
    }
    return {};
}

void ObjectData::setRow(const ReadStamp &stamp, QVariantList columns) {
    std::lock_guard<std::mutex> lock(rowMutex);
    rowStamp = stamp;
    rowLoaded = true;
    row = std::move(columns);
    batch.reset();
    batchRow = -1;
}

void ObjectData::forgetRow() {
    std::lock_guard<std::mutex> lock(rowMutex);
    rowLoaded = false;
    row.clear();
    batch.reset();
    batchRow = -1;
}

QVariant ObjectData::readColumn(const Property &property, std::shared_ptr<ObjectData> *linkedOut) {
    Connection &c = core->connection();
    const ReadStamp now = core->stamp(c);
    const int index = schema->columnOf(property);
    {
        std::lock_guard<std::mutex> lock(rowMutex);
        if (rowLoaded && rowStamp == now) {
            if (batch) {
                if (index < 0)
                    return {};
                if (linkedOut && !batch->isNull(batchRow, index))
                    *linkedOut = batch->find(index, batch->integer(batchRow, index));
                return batch->value(batchRow, index);
            }
            return row.value(index);
        }
    }
    sqlite::Statement &st = c.cached(schema.get(), nullptr, Connection::SelectRow, [&] {
        return QStringLiteral("SELECT %1 FROM %2 WHERE _id = ?")
            .arg(rowColumns(*schema, QString()), sqlite::quoted(schema->className()));
    });
    st.bind(1, rowId);
    QVariantList columns;
    if (st.step()) {
        const int n = st.columnCount();
        columns.reserve(n);
        for (int i = 0; i < n; ++i)
            columns.append(st.column(i));
    }
    st.reset();
    const QVariant value = columns.value(index);
    setRow(now, std::move(columns));
    return value;
}

QVariant toSql(const Property &property, const QVariant &coerced) {
    if (!coerced.isValid() || coerced.isNull())
        return {};
    switch (property.type) {
    case PropertyType::Bool:
        return QVariant(static_cast<qlonglong>(coerced.toBool() ? 1 : 0));
    case PropertyType::Int:
        return QVariant(static_cast<qlonglong>(coerced.toLongLong()));
    case PropertyType::Float:
        return QVariant(static_cast<double>(coerced.toFloat()));
    case PropertyType::Double:
        return QVariant(coerced.toDouble());
    case PropertyType::Date:
        return QVariant(static_cast<qlonglong>(coerced.toDateTime().toMSecsSinceEpoch()));
    default:
        return coerced;
    }
}

QVariant fromSql(const Property &property, QVariant raw) {
    if (!raw.isValid()) // stored values: null is an invalid QVariant (QVariant::isNull() is dear)
        return {};
    switch (property.type) {
    case PropertyType::Bool:
        return QVariant(raw.toLongLong() != 0);
    case PropertyType::Int:
        return raw.typeId() == QMetaType::LongLong ? raw : QVariant(static_cast<qlonglong>(raw.toLongLong()));
    case PropertyType::Float:
        return QVariant(raw.toFloat());
    case PropertyType::Double:
        return raw.typeId() == QMetaType::Double ? raw : QVariant(raw.toDouble());
    case PropertyType::String:
        return raw.typeId() == QMetaType::QString ? raw : QVariant(raw.toString());
    case PropertyType::Data:
        return raw.typeId() == QMetaType::QByteArray ? raw : QVariant(raw.toByteArray());
    case PropertyType::Date:
        return QVariant(QDateTime::fromMSecsSinceEpoch(raw.toLongLong()));
    default:
        return raw;
    }
}

QVariant coerceOrThrow(const ObjectSchema &schema, const Property &property, const QVariant &value) {
    QVariant out;
    if (!coerceValue(property, value, out)) {
        throw StoreError(QStringLiteral("Value of type %1 does not fit %2.%3 (%4)")
                             .arg(QString::fromLatin1(value.typeName()), schema.className(), property.name,
                                  propertyTypeName(property.type)));
    }
    if (!property.optional && (!out.isValid() || out.isNull()))
        throw StoreError(
            QStringLiteral("%1.%2 is required and cannot be null").arg(schema.className(), property.name));
    return out;
}

QVariant searchText(const QVariant &raw) {
    if (!raw.isValid() || raw.isNull())
        return {};
    return sqlite::fold(raw.toString(), sqlite::FoldCase | sqlite::FoldDiacritics);
}

Error storeError(int code, const QString &description) {
    return Error(QString::fromLatin1(ObjectStore::kErrorDomain), code, description);
}

} // namespace platform::detail
