#include "platform/store/detail/StoreCore.h"

#include "platform/store/StoreError.h"
#include "platform/store/Transaction.h"

#include <QDateTime>

#include <algorithm>

namespace platform::detail {

void ChangeSet::recordDelete(const QString &cls, qint64 id) {
    ClassChanges &c = classes[cls];
    // Created and deleted in one batch: still a deletion for an observer that
    // picked the object up in between.
    c.inserted.remove(id);
    c.deleted.insert(id);
    c.modified.remove(id);
}

void ChangeSet::recordModify(const QString &cls, qint64 id, const QString &property) {
    classes[cls].modified[id].insert(property);
}

void ChangeSet::merge(const ChangeSet &other) {
    for (auto it = other.classes.cbegin(); it != other.classes.cend(); ++it) {
        for (qint64 id : it.value().inserted)
            recordInsert(it.key(), id);
        for (auto m = it.value().modified.cbegin(); m != it.value().modified.cend(); ++m) {
            for (const QString &p : m.value())
                recordModify(it.key(), m.key(), p);
        }
        for (qint64 id : it.value().deleted)
            recordDelete(it.key(), id);
    }
}

bool ChangeSet::touches(const QSet<QString> &classNames) const {
    for (const QString &name : classNames) {
        if (classes.contains(name))
            return true;
    }
    return false;
}

StoreCore::~StoreCore() {
    closeConnections();
}

namespace {

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

Connection &StoreCore::connection() {
    bool created = false;
    Connection *connection = nullptr;
    {
        std::lock_guard<std::mutex> lock(connectionsMutex);
        auto &slot = connections[std::this_thread::get_id()];
        if (!slot) {
            slot = std::make_unique<Connection>(this, path);
            slot->db.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
            created = true;
        }
        connection = slot.get();
    }
    if (created)
        noteThreadUses(weak_from_this());
    return *connection;
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
}

void StoreCore::closeConnections() {
    std::lock_guard<std::mutex> lock(connectionsMutex);
    connections.clear();
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

void StoreCore::setClasses(const QList<ObjectSchema> &schemas) {
    for (const ObjectSchema &s : schemas) {
        if (s.className().isEmpty() || s.className().startsWith(QLatin1String("sqlite")))
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

static QString sqlType(PropertyType type) {
    switch (type) {
    case PropertyType::Float:
    case PropertyType::Double:
        return QStringLiteral("REAL");
    case PropertyType::String:
        return QStringLiteral("TEXT");
    case PropertyType::Data:
        return QStringLiteral("BLOB");
    default:
        return QStringLiteral("INTEGER");
    }
}

static QString sqlLiteral(const QVariant &raw) {
    if (!raw.isValid() || raw.isNull())
        return QStringLiteral("NULL");
    switch (raw.typeId()) {
    case QMetaType::LongLong:
        return QString::number(raw.toLongLong());
    case QMetaType::Double:
        return QString::number(raw.toDouble(), 'g', 17);
    case QMetaType::QByteArray:
        return QStringLiteral("X'%1'").arg(QString::fromLatin1(raw.toByteArray().toHex()));
    default:
        return QLatin1Char('\'') + raw.toString().replace(QLatin1Char('\''), QLatin1String("''")) +
               QLatin1Char('\'');
    }
}

// The value a new object takes for a property it was not given.
QVariant initialSqlValue(const Property &p) {
    if (p.defaultValue.isValid())
        return toSql(p, p.defaultValue);
    if (p.optional || !p.isScalar())
        return {};
    switch (p.type) {
    case PropertyType::Float:
    case PropertyType::Double:
        return QVariant(0.0);
    case PropertyType::String:
        return QVariant(QString(QLatin1String("")));
    case PropertyType::Data:
        return QVariant(QByteArray(""));
    default:
        return QVariant::fromValue<qint64>(0);
    }
}

void StoreCore::alignSchema(Connection &c) {
    for (const QString &name : std::as_const(classOrder)) {
        const ObjectSchema &schema = *classes.value(name);
        QSet<QString> existing;
        {
            sqlite::Statement &st =
                c.db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(sqlite::quoted(name)));
            while (st.step())
                existing.insert(st.column(1).toString());
        }
        if (existing.isEmpty()) {
            // Row ids are never reused, so a handle to a deleted object never sees another one.
            QStringList columns{QStringLiteral("_id INTEGER PRIMARY KEY AUTOINCREMENT")};
            for (const Property &p : schema.properties()) {
                if (p.isList())
                    continue;
                columns.append(sqlite::quoted(p.name) + QLatin1Char(' ') + sqlType(p.type));
            }
            c.db.exec(QStringLiteral("CREATE TABLE %1 (%2)")
                          .arg(sqlite::quoted(name), columns.join(QStringLiteral(", "))));
        } else {
            for (const Property &p : schema.properties()) {
                if (p.isList() || existing.contains(p.name))
                    continue;
                c.db.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3 DEFAULT %4")
                              .arg(sqlite::quoted(name), sqlite::quoted(p.name), sqlType(p.type),
                                   sqlLiteral(initialSqlValue(p))));
            }
        }
        for (const Property &p : schema.properties()) {
            if (!p.isList())
                continue;
            c.db.exec(
                QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (owner INTEGER NOT NULL, pos INTEGER NOT NULL, "
                               "target INTEGER NOT NULL, PRIMARY KEY (owner, pos))")
                    .arg(listTable(name, p.name)));
        }
    }
}

void StoreCore::createIndexes(Connection &c) {
    for (const QString &name : std::as_const(classOrder)) {
        const ObjectSchema &schema = *classes.value(name);
        for (const Property &p : schema.properties()) {
            if (p.primary) {
                c.db.exec(QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                              .arg(sqlite::quoted(name + QStringLiteral(".pk.") + p.name),
                                   sqlite::quoted(name), sqlite::quoted(p.name)));
            } else if (p.isLink() || p.indexed) {
                c.db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                              .arg(sqlite::quoted(name + QStringLiteral(".link.") + p.name),
                                   sqlite::quoted(name), sqlite::quoted(p.name)));
            } else if (p.isList()) {
                c.db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (target)")
                              .arg(sqlite::quoted(name + QStringLiteral(".list.") + p.name),
                                   listTable(name, p.name)));
            }
        }
    }
}

void StoreCore::openFile(const StoreConfiguration &configuration) {
    Connection &c = connection();
    // Read before anything writes: a newer file must stay as it is.
    quint64 version = 0;
    {
        sqlite::Statement &st = c.db.prepare(QStringLiteral("PRAGMA user_version"));
        if (st.step())
            version = static_cast<quint64>(st.columnInt(0));
        st.reset();
    }
    if (version > schemaVersion) {
        throw StoreError(QStringLiteral("The object store %1 was written by a newer version (schema %2, this "
                                        "version reads up to %3)")
                             .arg(path)
                             .arg(version)
                             .arg(schemaVersion),
                         -ObjectStore::NewerSchema);
    }
    {
        sqlite::Statement &st = c.db.prepare(QStringLiteral("PRAGMA quick_check"));
        const QString verdict = st.step() ? st.column(0).toString() : QString();
        st.reset();
        if (verdict != QLatin1String("ok"))
            throw StoreError(QStringLiteral("Integrity check failed: %1").arg(verdict),
                             11 /* SQLITE_CORRUPT */);
    }
    bool hasTables = false;
    {
        sqlite::Statement &st =
            c.db.prepare(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table'"));
        hasTables = st.step() && st.columnInt(0) > 0;
        st.reset();
    }
    c.db.exec(QStringLiteral("PRAGMA journal_mode=WAL"));

    std::unique_lock<std::mutex> writer(writerMutex);
    c.db.exec(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        alignSchema(c);
        if (hasTables && version < schemaVersion && configuration.migration) {
            Transaction tx(&c);
            Migration migration(ObjectStore(shared_from_this()), &tx, version);
            c.writeDepth = 1;
            c.failure = Error();
            try {
                configuration.migration(migration, version);
            } catch (const StoreError &e) {
                c.writeDepth = 0;
                throw StoreError(
                    QStringLiteral("Migration from schema %1 failed: %2").arg(version).arg(e.message()),
                    -ObjectStore::MigrationFailed);
            } catch (const std::exception &e) {
                c.writeDepth = 0;
                throw StoreError(QStringLiteral("Migration from schema %1 failed: %2")
                                     .arg(version)
                                     .arg(QString::fromUtf8(e.what())),
                                 -ObjectStore::MigrationFailed);
            }
            c.writeDepth = 0;
            c.changes = ChangeSet();
            // A write the hook joined may have failed and been caught by the hook:
            // its half-made changes must not be committed.
            if (c.failure) {
                const QString message = c.failure.localizedDescription();
                c.failure = Error();
                throw StoreError(
                    QStringLiteral("Migration from schema %1 failed: %2").arg(version).arg(message),
                    -ObjectStore::MigrationFailed);
            }
        }
        createIndexes(c);
        if (version != schemaVersion)
            c.db.exec(QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion));
        c.db.exec(QStringLiteral("COMMIT"));
    } catch (...) {
        try {
            c.db.exec(QStringLiteral("ROLLBACK"));
        } catch (const StoreError &) {
            // Nothing left to undo.
        }
        throw;
    }
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
        report(Error(QString::fromLatin1(ObjectStore::kErrorDomain), ObjectStore::WriteFailed,
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

int columnIndex(const ObjectSchema &schema, const Property &property) {
    int index = 0;
    for (const Property &p : schema.properties()) {
        if (&p == &property || p.name == property.name)
            return index;
        if (!p.isList())
            ++index;
    }
    return -1;
}

void ObjectData::setRow(const Connection &connection, quint64 commits, QVariantList columns) {
    std::lock_guard<std::mutex> lock(rowMutex);
    rowConnection = &connection;
    rowCommits = commits;
    rowLocalWrites = connection.localWrites;
    rowLoaded = true;
    row = std::move(columns);
}

QVariant ObjectData::readColumn(const Property &property) {
    Connection &c = core->connection();
    const quint64 commits = core->commits.load();
    const int index = columnIndex(*schema, property);
    {
        std::lock_guard<std::mutex> lock(rowMutex);
        if (rowLoaded && rowConnection == &c && rowCommits == commits && rowLocalWrites == c.localWrites)
            return row.value(index);
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
    setRow(c, commits, std::move(columns));
    return value;
}

QVariant toSql(const Property &property, const QVariant &coerced) {
    if (!coerced.isValid() || coerced.isNull())
        return {};
    switch (property.type) {
    case PropertyType::Bool:
        return QVariant::fromValue<qint64>(coerced.toBool() ? 1 : 0);
    case PropertyType::Int:
        return QVariant::fromValue<qint64>(coerced.toLongLong());
    case PropertyType::Float:
        return QVariant(static_cast<double>(coerced.toFloat()));
    case PropertyType::Double:
        return QVariant(coerced.toDouble());
    case PropertyType::Date:
        return QVariant::fromValue<qint64>(coerced.toDateTime().toMSecsSinceEpoch());
    default:
        return coerced;
    }
}

QVariant fromSql(const Property &property, const QVariant &raw) {
    if (!raw.isValid() || raw.isNull())
        return {};
    switch (property.type) {
    case PropertyType::Bool:
        return QVariant(raw.toLongLong() != 0);
    case PropertyType::Int:
        return QVariant::fromValue<qint64>(raw.toLongLong());
    case PropertyType::Float:
        return QVariant(raw.toFloat());
    case PropertyType::Double:
        return QVariant(raw.toDouble());
    case PropertyType::String:
        return QVariant(raw.toString());
    case PropertyType::Data:
        return QVariant(raw.toByteArray());
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

} // namespace platform::detail
