#include "platform/store/ObjectStore.h"

#include "platform/AppPaths.h"
#include "platform/store/StoreError.h"
#include "platform/store/Transaction.h"
#include "platform/store/detail/StoreCore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>

#include <sqlite3.h>

namespace platform {

namespace {

std::mutex g_defaultMutex;
StoreConfiguration g_defaultConfiguration;
bool g_defaultConfigured = false;
ObjectStore g_defaultStore;

std::mutex g_reporterMutex;
ObjectStore::Reporter g_reporter;

bool isDamage(int sqliteCode) {
    return sqliteCode == SQLITE_CORRUPT || sqliteCode == SQLITE_NOTADB;
}

Error storeError(int code, const QString &description) {
    return Error(QString::fromLatin1(ObjectStore::kErrorDomain), code, description);
}

// Moves the file and its journal aside so that a fresh store can take its place.
QString moveAside(const QString &path) {
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const QString target = path + QStringLiteral(".damaged-") + stamp;
    QFile::rename(path, target);
    for (const char *suffix : {"-wal", "-shm"}) {
        const QString side = path + QLatin1String(suffix);
        if (QFile::exists(side))
            QFile::rename(side, target + QLatin1String(suffix));
    }
    return target;
}

} // namespace

namespace detail {

void report(const Error &error, const QString &message) {
    ObjectStore::Reporter reporter;
    {
        std::lock_guard<std::mutex> lock(g_reporterMutex);
        reporter = g_reporter;
    }
    if (reporter)
        reporter(error, message);
    else
        qWarning().noquote() << message << error.localizedDescription();
}

} // namespace detail

ObjectStore ObjectStore::open(const StoreConfiguration &configuration, Error *error) {
    QString path = configuration.path;
    if (path.isEmpty())
        path = QDir(AppPaths::ensure(AppPaths::state())).filePath(QStringLiteral("default.sqlite"));
    QDir().mkpath(QFileInfo(path).absolutePath());

    auto core = std::make_shared<detail::StoreCore>();
    core->path = path;
    core->schemaVersion = configuration.schemaVersion;
    try {
        core->setClasses(configuration.classes);
    } catch (const StoreError &e) {
        if (error)
            *error = storeError(OpenFailed, e.message());
        return {};
    }

    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            core->openFile(configuration);
            return ObjectStore(core);
        } catch (const StoreError &e) {
            core->closeConnections();
            if (e.sqliteCode() == -NewerSchema || e.sqliteCode() == -MigrationFailed) {
                const int code = static_cast<int>(-e.sqliteCode());
                if (error)
                    *error = storeError(code, e.message());
                detail::report(storeError(code, e.message()), QStringLiteral("Object store not opened"));
                return {};
            }
            if (attempt == 0 && isDamage(e.sqliteCode())) {
                const QString movedTo = moveAside(path);
                Error damaged = storeError(DamagedFile, e.message());
                damaged.setUserInfoValue(QStringLiteral("path"), path);
                damaged.setUserInfoValue(QStringLiteral("movedTo"), movedTo);
                detail::report(damaged,
                               QStringLiteral("Damaged object store moved aside to %1").arg(movedTo));
                continue;
            }
            if (error)
                *error = storeError(OpenFailed, e.message());
            detail::report(storeError(OpenFailed, e.message()), QStringLiteral("Object store not opened"));
            return {};
        }
    }
    return {};
}

void ObjectStore::setDefaultConfiguration(const StoreConfiguration &configuration) {
    std::lock_guard<std::mutex> lock(g_defaultMutex);
    g_defaultConfiguration = configuration;
    g_defaultConfigured = true;
    g_defaultStore = ObjectStore();
}

ObjectStore ObjectStore::defaultStore(Error *error) {
    std::lock_guard<std::mutex> lock(g_defaultMutex);
    if (g_defaultStore.isNull()) {
        if (!g_defaultConfigured) {
            if (error)
                *error = storeError(OpenFailed, QStringLiteral("The default object store is not configured"));
            return {};
        }
        g_defaultStore = open(g_defaultConfiguration, error);
    }
    return g_defaultStore;
}

void ObjectStore::resetDefaultStore() {
    std::lock_guard<std::mutex> lock(g_defaultMutex);
    g_defaultStore = ObjectStore();
}

void ObjectStore::setReporter(Reporter reporter) {
    std::lock_guard<std::mutex> lock(g_reporterMutex);
    g_reporter = std::move(reporter);
}

QString ObjectStore::path() const {
    return m_core ? m_core->path : QString();
}

quint64 ObjectStore::schemaVersion() const {
    return m_core ? m_core->schemaVersion : 0;
}

const ObjectSchema *ObjectStore::schemaFor(const QString &className) const {
    if (!m_core)
        return nullptr;
    auto p = m_core->schemaPtr(className);
    return p.get();
}

QList<ObjectSchema> ObjectStore::schema() const {
    QList<ObjectSchema> out;
    if (m_core) {
        for (const QString &name : m_core->classOrder)
            out.append(*m_core->classes.value(name));
    }
    return out;
}

Results ObjectStore::objects(const QString &className) const {
    if (!m_core)
        return {};
    return m_core->makeResults(className);
}

Object ObjectStore::objectForPrimaryKey(const QString &className, const QVariant &key) const {
    const ObjectSchema *schema = schemaFor(className);
    const Property *pk = schema ? schema->primaryKeyProperty() : nullptr;
    QVariant coerced;
    if (!pk || !coerceValue(*pk, key, coerced) || !coerced.isValid() || coerced.isNull())
        return {};
    try {
        detail::Connection &c = m_core->connection();
        sqlite::Statement &st = c.cached(schema, nullptr, detail::Connection::FindByKey, [&] {
            return QStringLiteral("SELECT _id FROM %1 WHERE %2 = ?")
                .arg(sqlite::quoted(className), sqlite::quoted(pk->name));
        });
        st.bind(1, detail::toSql(*pk, coerced));
        const qint64 id = st.step() ? st.columnInt(0) : 0;
        st.reset();
        return id ? m_core->makeObject(className, id) : Object();
    } catch (const StoreError &e) {
        detail::report(storeError(WriteFailed, e.message()), QStringLiteral("Object store read failed"));
        return {};
    }
}

bool ObjectStore::isInWriteTransaction() const {
    return m_core && m_core->connection().writeDepth > 0;
}

Error ObjectStore::write(const std::function<void(Transaction &tx)> &block) const {
    if (!m_core)
        return storeError(WriteFailed, QStringLiteral("The object store is not open"));
    detail::Connection &c = m_core->connection();
    Transaction tx(&c);
    Error failure;
    auto run = [&]() {
        try {
            block(tx);
        } catch (const StoreError &e) {
            failure = storeError(WriteFailed, e.message());
        } catch (const std::exception &e) {
            failure = storeError(WriteFailed, QString::fromUtf8(e.what()));
        } catch (...) {
            failure = storeError(WriteFailed, QStringLiteral("Unknown exception in a write transaction"));
        }
    };

    if (c.writeDepth > 0) {
        ++c.writeDepth;
        run();
        --c.writeDepth;
        if (failure && !c.failure)
            c.failure = failure;
        return failure;
    }

    c.writerLock = std::unique_lock<std::mutex>(m_core->writerMutex);
    try {
        c.db.exec(QStringLiteral("BEGIN IMMEDIATE"));
    } catch (const StoreError &e) {
        c.writerLock.unlock();
        return storeError(WriteFailed, e.message());
    }
    c.writeDepth = 1;
    c.failure = Error();
    c.changes = detail::ChangeSet();
    ++c.localWrites;
    run();
    c.writeDepth = 0;
    c.linkableRows.clear();
    if (!failure && c.failure)
        failure = c.failure;
    if (!failure) {
        try {
            c.db.exec(QStringLiteral("COMMIT"));
        } catch (const StoreError &e) {
            failure = storeError(WriteFailed, e.message());
        }
    }
    if (failure) {
        try {
            c.db.exec(QStringLiteral("ROLLBACK"));
        } catch (const StoreError &) {
            // The failed COMMIT may already have ended the transaction.
        }
        c.changes = detail::ChangeSet();
        c.failure = Error();
        ++c.localWrites;
        c.writerLock.unlock();
        detail::report(failure, QStringLiteral("Write transaction rolled back"));
        return failure;
    }
    ++m_core->commits;
    ++c.localWrites;
    detail::ChangeSet changes = std::move(c.changes);
    c.changes = detail::ChangeSet();
    c.writerLock.unlock();
    if (!changes.isEmpty())
        m_core->post(changes);
    return {};
}

void Migration::enumerateObjects(
    const QString &className, const std::function<void(const QVariantMap &oldRow, Object &object)> &block) {
    detail::StoreCore &core = *m_transaction->m_connection->core;
    core.schemaFor(className);
    // Collect first: the block may write to the same table.
    QList<QPair<qint64, QVariantMap>> rows;
    {
        sqlite::Statement &st = m_transaction->m_connection->db.prepare(
            QStringLiteral("SELECT * FROM %1 ORDER BY _id").arg(sqlite::quoted(className)));
        while (st.step()) {
            QVariantMap row;
            for (int i = 0; i < st.columnCount(); ++i)
                row.insert(st.columnName(i), st.column(i));
            rows.append({row.value(QStringLiteral("_id")).toLongLong(), row});
        }
    }
    for (const auto &row : rows) {
        Object object = core.makeObject(className, row.first);
        if (!object.isValid())
            continue;
        block(row.second, object);
    }
}

} // namespace platform
