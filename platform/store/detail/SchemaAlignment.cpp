#include "platform/store/detail/StoreCore.h"

#include "platform/store/StoreError.h"
#include "platform/store/Transaction.h"

#include <QCryptographicHash>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <tuple>

// Opening a file: its version checked, its tables shaped to the declared classes.
namespace platform::detail {

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

QString StoreCore::createTableSql(const ObjectSchema &schema) {
    // Row ids are never reused, so a handle to a deleted object never sees another one.
    QStringList columns{QStringLiteral("_id INTEGER PRIMARY KEY AUTOINCREMENT")};
    for (const Property &p : schema.properties()) {
        if (p.isList())
            continue;
        columns.append(sqlite::quoted(p.name) + QLatin1Char(' ') + sqlType(p.type));
        if (p.searchable)
            columns.append(sqlite::quoted(foldedColumn(p.name)) + QStringLiteral(" TEXT"));
    }
    return QStringLiteral("CREATE TABLE %1 (%2)")
        .arg(sqlite::quoted(schema.className()), columns.join(QStringLiteral(", ")));
}

QString StoreCore::createListTableSql(const QString &className, const QString &property) {
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (owner INTEGER NOT NULL, pos INTEGER NOT NULL, "
                          "target INTEGER NOT NULL, PRIMARY KEY (owner, pos))")
        .arg(listTable(className, property));
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
            c.db.exec(createTableSql(schema));
        } else {
            for (const Property &p : schema.properties()) {
                if (p.isList() || existing.contains(p.name))
                    continue;
                c.db.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3 DEFAULT %4")
                              .arg(sqlite::quoted(name), sqlite::quoted(p.name), sqlType(p.type),
                                   sqlLiteral(initialSqlValue(p))));
            }
        }
        bool refolded = false;
        for (const Property &p : schema.properties()) {
            if (!p.searchable || existing.isEmpty() || existing.contains(foldedColumn(p.name)))
                continue;
            // Text stored before it was searchable: fold it once now.
            c.db.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 TEXT")
                          .arg(sqlite::quoted(name), sqlite::quoted(foldedColumn(p.name))));
            c.db.exec(
                QStringLiteral("UPDATE %1 SET %2 = qv_fold(%3, %4)")
                    .arg(sqlite::quoted(name), sqlite::quoted(foldedColumn(p.name)), sqlite::quoted(p.name))
                    .arg(sqlite::FoldCase | sqlite::FoldDiacritics));
            refolded = true;
        }
        for (const Property &p : schema.properties()) {
            if (p.isList())
                c.db.exec(createListTableSql(name, p.name));
        }
        alignSearch(c, schema, refolded);
    }
}

// Searchable text is kept folded (case and diacritics) in a column of its own
// beside it, and an FTS5 index of trigrams over those columns (the table
// itself holds the text: external content) finds a substring without reading
// every row. Only row ids are indexed (detail=none): a query checks each hit
// against the folded text.
void StoreCore::alignSearch(Connection &c, const ObjectSchema &schema, bool rebuild) {
    QStringList wanted;
    for (const Property &p : schema.properties()) {
        if (p.searchable)
            wanted.append(foldedColumn(p.name));
    }
    QStringList existing;
    {
        sqlite::Statement &st =
            c.db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(searchTable(schema.className())));
        while (st.step())
            existing.append(st.column(1).toString());
    }
    if (existing == wanted && !rebuild)
        return;
    if (!existing.isEmpty())
        c.db.exec(QStringLiteral("DROP TABLE %1").arg(searchTable(schema.className())));
    if (wanted.isEmpty())
        return;
    QStringList columns;
    for (const QString &name : std::as_const(wanted))
        columns.append(sqlite::quoted(name));
    c.db.exec(QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5(%2, content = '%3', content_rowid = '_id', "
                             "tokenize = 'trigram case_sensitive 1', detail = none, columnsize = 0)")
                  .arg(searchTable(schema.className()), columns.join(QStringLiteral(", ")),
                       QString(schema.className()).replace(QLatin1Char('\''), QLatin1String("''"))));
    c.db.exec(QStringLiteral("INSERT INTO %1 (%1) VALUES ('rebuild')").arg(searchTable(schema.className())));
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

QByteArray StoreCore::schemaFingerprint() const {
    // What shaping depends on: each class's properties by name, kind and target, which make its
    // columns, lists, search columns and indexes, and the shape of the store's own tables. The
    // hash only tells layouts apart; nothing secret rests on it.
    QString layout = QStringLiteral("version %1; row counts by trigger\n").arg(schemaVersion);
    for (const QString &name : std::as_const(classOrder)) {
        layout += name;
        for (const Property &p : classes.value(name)->properties()) {
            layout += QLatin1Char('|') + p.name + QLatin1Char(':') + QString::number(int(p.type)) +
                      QLatin1Char(p.primary ? 'P' : '-') + QLatin1Char(p.indexed ? 'I' : '-') +
                      QLatin1Char(p.searchable ? 'S' : '-') + p.objectClass;
        }
        layout += QLatin1Char('\n');
    }
    return QCryptographicHash::hash(layout.toUtf8(), QCryptographicHash::Md5).toHex();
}

static qint64 schemaCookie(Connection &c) {
    sqlite::Statement &st = c.db.prepare(QStringLiteral("PRAGMA schema_version"));
    const qint64 cookie = st.step() ? st.columnInt(0) : -1;
    st.reset();
    return cookie;
}

bool StoreCore::schemaIsShaped(Connection &c, const QByteArray &fingerprint) {
    {
        sqlite::Statement &st = c.db.prepare(
            QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN (?1, ?2)"));
        st.bind(1, QString::fromLatin1(kSchemaStampTable)).bind(2, QString::fromLatin1(kRowCountsTable));
        const bool present = st.step() && st.columnInt(0) == 2;
        st.reset();
        if (!present)
            return false;
    }
    sqlite::Statement &st = c.db.prepare(QStringLiteral("SELECT fingerprint, cookie FROM %1")
                                             .arg(sqlite::quoted(QString::fromLatin1(kSchemaStampTable))));
    bool shaped = false;
    if (st.step())
        shaped = st.column(0).toString().toLatin1() == fingerprint && st.columnInt(1) == schemaCookie(c);
    st.reset();
    return shaped;
}

void StoreCore::stampSchema(Connection &c, const QByteArray &fingerprint) {
    const QString table = sqlite::quoted(QString::fromLatin1(kSchemaStampTable));
    c.db.exec(
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (fingerprint TEXT NOT NULL, cookie INTEGER NOT NULL)")
            .arg(table));
    c.db.exec(QStringLiteral("DELETE FROM %1").arg(table));
    // Read after the last statement that changes the schema: the stamp itself changes none.
    const qint64 cookie = schemaCookie(c);
    sqlite::Statement &st =
        c.db.prepare(QStringLiteral("INSERT INTO %1 (fingerprint, cookie) VALUES (?, ?)").arg(table));
    st.bind(1, QString::fromLatin1(fingerprint)).bind(2, cookie);
    st.run();
}

// The counts are kept by triggers in the file: every writer fires them, the sqlite3 shell and a
// version that knows nothing of counts included. A version that kept them itself added to another
// table, so the two never count one row twice.
void StoreCore::recountRows(Connection &c) {
    const QString table = sqlite::quoted(QString::fromLatin1(kRowCountsTable));
    c.db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (class TEXT PRIMARY KEY, rows INTEGER NOT NULL) "
                             "WITHOUT ROWID")
                  .arg(table));
    c.db.exec(QStringLiteral("DELETE FROM %1").arg(table));
    for (const QString &name : std::as_const(classOrder)) {
        const QString literal = sqlLiteral(name);
        for (const auto &[suffix, event, delta] :
             {std::tuple{"$rowAdded", "INSERT", "+ 1"}, std::tuple{"$rowRemoved", "DELETE", "- 1"}}) {
            const QString trigger = sqlite::quoted(name + QLatin1String(suffix));
            c.db.exec(QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(trigger));
            c.db.exec(QStringLiteral("CREATE TRIGGER %1 AFTER %2 ON %3 BEGIN UPDATE %4 SET rows = rows %5 "
                                     "WHERE class = %6; END")
                          .arg(trigger, QLatin1String(event), sqlite::quoted(name), table,
                               QLatin1String(delta), literal));
        }
        sqlite::Statement &st =
            c.db.prepare(QStringLiteral("INSERT INTO %1 (class, rows) SELECT ?, count(*) FROM %2")
                             .arg(table, sqlite::quoted(name)));
        st.bind(1, name);
        st.run();
    }
}

std::optional<qint64> StoreCore::keptRowCount(Connection &c, const QString &className) {
    if (!rowCountsKept)
        return std::nullopt;
    try {
        sqlite::Statement &st = c.db.prepare(QStringLiteral("SELECT rows FROM %1 WHERE class = ?")
                                                 .arg(sqlite::quoted(QString::fromLatin1(kRowCountsTable))));
        st.bind(1, className);
        std::optional<qint64> rows;
        if (st.step())
            rows = st.columnInt(0);
        st.reset();
        return rows;
    } catch (const StoreError &) {
        // The table went away under this process: the rows are counted instead.
        return std::nullopt;
    }
}

static qint64 readVersion(Connection &c) {
    sqlite::Statement &st = c.db.prepare(QStringLiteral("PRAGMA user_version"));
    const qint64 version = st.step() ? st.columnInt(0) : 0;
    st.reset();
    return version;
}

// Inside the open's write: tables, columns, search and indexes as declared, the migration, then
// the counts and the stamp.
void StoreCore::shapeFile(Connection &c, qint64 version, const QByteArray &fingerprint,
                          const StoreConfiguration &configuration) {
    bool hasTables = false;
    {
        sqlite::Statement &st =
            c.db.prepare(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table'"));
        hasTables = st.step() && st.columnInt(0) > 0;
        st.reset();
    }
    alignSchema(c);
    if (hasTables && version < static_cast<qint64>(schemaVersion) && configuration.migration) {
        Transaction tx(&c);
        Migration migration(ObjectStore(shared_from_this()), &tx, static_cast<quint64>(version));
        writerThread = std::this_thread::get_id();
        c.writeDepth = 1;
        c.failure = Error();
        const auto failed = [&](const QString &message) {
            c.writeDepth = 0;
            writerThread = std::thread::id();
            return StoreError(QStringLiteral("Migration from schema %1 failed: %2").arg(version).arg(message),
                              -ObjectStore::MigrationFailed);
        };
        try {
            configuration.migration(migration, static_cast<quint64>(version));
        } catch (const StoreError &e) {
            throw failed(e.message());
        } catch (const std::exception &e) {
            throw failed(QString::fromUtf8(e.what()));
        }
        c.writeDepth = 0;
        writerThread = std::thread::id();
        c.changes = ChangeSet();
        c.added.clear();
        c.highestInserted.clear();
        // A write the hook joined may have failed and been caught by the hook:
        // its half-made changes must not be committed.
        if (c.failure) {
            const QString message = c.failure.localizedDescription();
            c.failure = Error();
            throw failed(message);
        }
    }
    createIndexes(c);
    recountRows(c);
    if (version != static_cast<qint64>(schemaVersion))
        c.db.exec(QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion));
    stampSchema(c, fingerprint);
}

int StoreCore::msLeft(OpenDeadline deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}

StoreError StoreCore::inUse(const QString &path, const QString &why) {
    return StoreError(QStringLiteral("The object store %1 is in use by another program that keeps it locked "
                                     "(%2): close that program and try again")
                          .arg(path, why),
                      -ObjectStore::InUse);
}

// Switching to WAL needs the file alone for a moment. SQLite's busy handler waits for a holder to
// let go, but of two connections switching at once one is answered "locked" at once: it tries again,
// until the same deadline. A file in WAL already switches without waiting for anyone.
static void switchToWal(Connection &c, StoreCore::OpenDeadline deadline) {
    for (;;) {
        c.db.setBusyTimeout(StoreCore::msLeft(deadline));
        try {
            c.db.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
            return;
        } catch (const StoreError &error) {
            if (error.sqliteCode() != SQLITE_BUSY || StoreCore::msLeft(deadline) == 0)
                throw;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(5, StoreCore::msLeft(deadline))));
    }
}

void StoreCore::openFile(const StoreConfiguration &configuration, int waitMs) {
    const OpenDeadline deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    writer = std::make_unique<Connection>(this, path, true);
    Connection &c = *writer;
    // A newer file must stay exactly as it is: refuse it before anything writes.
    const auto refuseNewer = [&](qint64 version) {
        if (version > static_cast<qint64>(schemaVersion)) {
            throw StoreError(QStringLiteral("The object store %1 was written by a newer version (schema %2, "
                                            "this version reads up to %3)")
                                 .arg(path)
                                 .arg(version)
                                 .arg(schemaVersion),
                             -ObjectStore::NewerSchema);
        }
    };
    const QByteArray fingerprint = schemaFingerprint();
    try {
        c.db.setBusyTimeout(msLeft(deadline));
        refuseNewer(readVersion(c));
        switchToWal(c, deadline);
        // A file shaped to these classes, whose schema no one changed since, is left as it is: seen
        // in a read, which no other writer holds up.
        c.db.setBusyTimeout(msLeft(deadline));
        bool shaped = false;
        c.db.exec(QStringLiteral("BEGIN"));
        try {
            const qint64 version = readVersion(c);
            refuseNewer(version);
            shaped = version == static_cast<qint64>(schemaVersion) && schemaIsShaped(c, fingerprint);
            c.db.exec(QStringLiteral("COMMIT"));
        } catch (...) {
            rollBack(c);
            throw;
        }
        if (!shaped)
            shapeUnderWriteLock(c, fingerprint, configuration, refuseNewer);
    } catch (const StoreError &error) {
        if (error.sqliteCode() == SQLITE_BUSY)
            throw inUse(path, error.message());
        throw;
    }
    c.db.setBusyTimeout(sqlite::Database::kBusyTimeoutMs);
    rowCountsKept = true;
    c.forgetStatements();
    ++c.localWrites;
    c.dataVersion = c.db.dataVersion();
}

void StoreCore::rollBack(Connection &c) {
    try {
        c.db.exec(QStringLiteral("ROLLBACK"));
    } catch (const StoreError &) {
        // Nothing left to undo.
    }
}

void StoreCore::shapeUnderWriteLock(Connection &c, const QByteArray &fingerprint,
                                    const StoreConfiguration &configuration,
                                    const std::function<void(qint64)> &refuseNewer) {
    std::unique_lock<std::mutex> lock(writerMutex);
    // The version is read again under the write lock: another process may have
    // migrated the file in between, and the migration must run once.
    c.db.exec(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        const qint64 version = readVersion(c);
        refuseNewer(version);
        if (version != static_cast<qint64>(schemaVersion) || !schemaIsShaped(c, fingerprint))
            shapeFile(c, version, fingerprint, configuration);
        c.db.exec(QStringLiteral("COMMIT"));
    } catch (...) {
        rollBack(c);
        throw;
    }
}

} // namespace platform::detail
