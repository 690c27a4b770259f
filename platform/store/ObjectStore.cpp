#include "platform/store/ObjectStore.h"

#include "platform/AppPaths.h"
#include "platform/MainQueue.h"
#include "platform/store/StoreError.h"
#include "platform/store/Transaction.h"
#include "platform/store/detail/Salvage.h"
#include "platform/store/detail/StoreCore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtDebug>

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::mutex g_defaultMutex;
StoreConfiguration g_defaultConfiguration;
bool g_defaultConfigured = false;
ObjectStore g_defaultStore;

std::mutex g_reporterMutex;
ObjectStore::Reporter g_reporter;

using detail::storeError;

QString errnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Renames the file with its journal files; false (and why) when the file
// itself could not be moved. Nothing is copied: a failed rename moves nothing.
bool renameWithJournal(const QString &from, const QString &to, QString *why) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        *why = errnoText();
        return false;
    }
    for (const char *suffix : {"-wal", "-shm"}) {
        const QString side = from + QLatin1String(suffix);
        if (QFile::exists(side))
            ::rename(QFile::encodeName(side).constData(),
                     QFile::encodeName(to + QLatin1String(suffix)).constData());
    }
    return true;
}

void removeWithJournal(const QString &path) {
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

// Which file a path names: a salvage replaces it with another.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity &o) const { return device == o.device && inode == o.inode; }
};

FileIdentity identityOf(const QString &path) {
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {st.st_dev, st.st_ino};
}

// Held exclusively while a file is salvaged and shared while it is opened:
// two launches finding the same damaged file salvage it once, and none opens
// it while it is being replaced. It is taken on the folder, which leaves no
// file of its own behind.
class SalvageLock {
public:
    SalvageLock(const QString &path, bool exclusive)
        : m_fd(::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                      O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (m_fd >= 0) {
            while (::flock(m_fd, exclusive ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
            }
        }
    }
    // Shared, waited for so long: a salvage of another launch can take long.
    SalvageLock(const QString &path, int waitMs)
        : m_fd(::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                      O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (m_fd >= 0 && ::flock(m_fd, LOCK_SH | LOCK_NB) != 0) {
            if (errno == EINTR)
                continue;
            if (errno != EWOULDBLOCK || detail::StoreCore::msLeft(deadline) == 0)
                throw detail::StoreCore::inUse(path, QStringLiteral("another launch is repairing it"));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ~SalvageLock() {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    SalvageLock(const SalvageLock &) = delete;
    SalvageLock &operator=(const SalvageLock &) = delete;

private:
    int m_fd;
};

// Copies what can be read from the damaged file at `path` into a fresh file,
// moves the damaged one aside and puts the fresh one in its place. Returns
// false, having done nothing, when the file is no longer the one found damaged
// (another launch salvaged it meanwhile). Throws StoreError (OpenFailed) when
// the files cannot be moved; the damaged file is then left where it was.
bool salvageFile(detail::StoreCore &core, const QString &reason, const FileIdentity &damagedFile) {
    const QString path = core.path;
    core.closeConnections();
    const SalvageLock lock(path, true);
    if (!(identityOf(path) == damagedFile))
        return false;
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const QString movedTo = path + QStringLiteral(".damaged-") + stamp;
    const QString fresh = path + QStringLiteral(".salvage");
    removeWithJournal(fresh);
    detail::SalvageOutcome outcome;
    try {
        outcome = detail::salvage(core, path, fresh, movedTo);
    } catch (const StoreError &e) {
        removeWithJournal(fresh);
        throw StoreError(
            QStringLiteral("The object store %1 is damaged (%2) and nothing could be saved from it: %3")
                .arg(path, reason, e.message()),
            -ObjectStore::OpenFailed);
    }
    QString why;
    if (!renameWithJournal(path, movedTo, &why)) {
        removeWithJournal(fresh);
        throw StoreError(
            QStringLiteral("The object store %1 is damaged (%2) and could not be moved aside: %3")
                .arg(path, reason, why),
            -ObjectStore::OpenFailed);
    }
    if (!renameWithJournal(fresh, path, &why)) {
        renameWithJournal(movedTo, path, &why);
        throw StoreError(QStringLiteral("The object store %1 is damaged (%2) and its salvaged copy could not "
                                        "take its place: %3")
                             .arg(path, reason, why),
                         -ObjectStore::OpenFailed);
    }
    QFile::remove(detail::StoreCore::checkMarkerPath(path));
    Error damaged = storeError(ObjectStore::DamagedFile, reason);
    damaged.setUserInfoValue(QStringLiteral("path"), path);
    damaged.setUserInfoValue(QStringLiteral("movedTo"), movedTo);
    damaged.setUserInfoValue(QStringLiteral("kept"), outcome.kept);
    damaged.setUserInfoValue(QStringLiteral("lost"), outcome.lost);
    damaged.setUserInfoValue(QStringLiteral("unreadable"), outcome.unreadable);
    damaged.setUserInfoValue(QStringLiteral("uncounted"), outcome.uncounted);
    detail::report(damaged,
                   QStringLiteral("Damaged object store moved aside to %1; %2 objects kept, %3%4 lost")
                       .arg(movedTo)
                       .arg(outcome.kept)
                       .arg(outcome.lost)
                       .arg(outcome.uncounted.isEmpty() ? QString() : QStringLiteral(" or more")));
    return true;
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

// How long an open waits for another program that holds the file: on the interface thread a
// moment (nothing on the screen answers meanwhile), elsewhere as long as a write would.
constexpr int kInterfaceThreadOpenWaitMs = 500;

ObjectStore ObjectStore::open(const StoreConfiguration &configuration, Error *error) {
    const int waitMs = isMainThread() ? kInterfaceThreadOpenWaitMs : sqlite::Database::kBusyTimeoutMs;
    QString path = configuration.path;
    if (path.isEmpty())
        path = QDir(AppPaths::state()).filePath(QStringLiteral("default.sqlite"));
    path = QFileInfo(path).absoluteFilePath(); // one name per file, for the marks kept by file
    // The history is the user's text: the program's own folder is closed to others.
    if (QFileInfo(path).absolutePath() == QFileInfo(AppPaths::state()).absoluteFilePath())
        AppPaths::ensurePrivate(AppPaths::state());
    else
        QDir().mkpath(QFileInfo(path).absolutePath());

    auto core = std::make_shared<detail::StoreCore>();
    core->path = path;
    core->schemaVersion = configuration.schemaVersion;
    // Damage met while opening is salvaged right here, not left for the next launch.
    core->damageNoted = true;
    const auto fail = [&](int code, const QString &message) {
        core->closeConnections();
        const Error failure = storeError(code, message);
        if (error)
            *error = failure;
        detail::report(failure, QStringLiteral("Object store not opened"));
        return ObjectStore();
    };
    try {
        core->setClasses(configuration.classes);
    } catch (const StoreError &e) {
        if (error)
            *error = storeError(OpenFailed, e.message());
        return {};
    }

    // Damage met while the file was in use is checked now, before anything reads it.
    bool salvaged = false;
    FileIdentity opened;
    try {
        QString damage;
        {
            const SalvageLock shared(path, waitMs);
            // Nobody salvages while the lock is shared: copies found now were left by a
            // salvage that was cut short, and each is as large as the store.
            removeWithJournal(path + QStringLiteral(".salvage"));
            removeWithJournal(path + QStringLiteral(".salvage-probe"));
            opened = identityOf(path);
            QString verdict;
            if (QFile::exists(detail::StoreCore::checkMarkerPath(path))) {
                if (detail::fileIsSound(path, &verdict))
                    QFile::remove(detail::StoreCore::checkMarkerPath(path));
                else
                    damage = QStringLiteral("Integrity check failed: %1").arg(verdict);
            }
        }
        if (!damage.isEmpty()) {
            salvageFile(*core, damage, opened);
            salvaged = true;
        }
    } catch (const StoreError &e) {
        return fail(static_cast<int>(-e.sqliteCode()), e.message());
    }

    for (;;) {
        try {
            const SalvageLock shared(path, waitMs);
            opened = identityOf(path);
            core->openFile(configuration, waitMs);
            core->damageNoted = false;
            return ObjectStore(core);
        } catch (const StoreError &e) {
            core->closeConnections();
            if (e.sqliteCode() < 0)
                return fail(static_cast<int>(-e.sqliteCode()), e.message());
            // A file SQLite may write, in a folder where it may not make its WAL files beside it.
            if (e.sqliteCode() == SQLITE_READONLY)
                return fail(ReadOnly,
                            QStringLiteral("The object store %1 is read-only: it cannot keep anything (%2)")
                                .arg(path, e.message()));
            if (salvaged || !sqlite::isDamage(e.sqliteCode()))
                return fail(OpenFailed, e.message());
            try {
                // Salvaged here, or by another launch meanwhile: either way it is opened once more.
                salvageFile(*core, e.message(), opened);
                salvaged = true;
            } catch (const StoreError &s) {
                return fail(static_cast<int>(-s.sqliteCode()), s.message());
            }
        }
    }
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

ObjectStore::Version ObjectStore::version() const {
    if (!m_core)
        return {};
    const detail::ReadStamp stamp = m_core->stamp(m_core->connection());
    return {m_core->serial, stamp.commits, stamp.localWrites, stamp.outside};
}

bool ObjectStore::isInWriteTransaction() const {
    return m_core && m_core->writerThread.load() == std::this_thread::get_id();
}

Error ObjectStore::write(const std::function<void(Transaction &tx)> &block) const {
    if (!m_core)
        return storeError(WriteFailed, QStringLiteral("The object store is not open"));
    detail::StoreCore &core = *m_core;
    Error failure;
    const auto run = [&](Transaction &tx) {
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

    if (isInWriteTransaction()) {
        detail::Connection &c = *core.writer;
        Transaction tx(&c);
        ++c.writeDepth;
        run(tx);
        --c.writeDepth;
        if (failure && !c.failure)
            c.failure = failure;
        return failure;
    }

    std::unique_lock<std::mutex> lock(core.writerMutex);
    detail::Connection &c = *core.writer;
    bool outside = false;
    detail::StoreCore::IdFloors floors;
    try {
        c.db.exec(QStringLiteral("BEGIN IMMEDIATE"));
    } catch (const StoreError &e) {
        return storeError(WriteFailed, e.message());
    }
    core.writerThread = std::this_thread::get_id();
    c.writeDepth = 1;
    c.failure = Error();
    c.changes = detail::ChangeSet();
    c.added.clear();
    c.highestInserted.clear();
    ++c.localWrites;
    try {
        outside = core.writerNoticesOutsideCommits();
        floors = core.pendingIdFloors();
        core.applyIdFloors(c, floors);
    } catch (const StoreError &e) {
        failure = storeError(WriteFailed, e.message());
    }
    if (!failure) {
        Transaction tx(&c);
        run(tx);
    }
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
    core.writerThread = std::thread::id();
    if (failure) {
        try {
            c.db.exec(QStringLiteral("ROLLBACK"));
        } catch (const StoreError &) {
            // The failed COMMIT may already have ended the transaction.
        }
        core.restoreAdded(c);
        core.keepIdFloors(c);
        c.changes = detail::ChangeSet();
        c.failure = Error();
        ++c.localWrites;
        lock.unlock();
        detail::report(failure, QStringLiteral("Write transaction rolled back"));
        if (outside) {
            detail::ChangeSet changes;
            changes.outside = true;
            core.post(changes);
        }
        return failure;
    }
    core.settleIdFloors(floors);
    c.added.clear();
    c.highestInserted.clear();
    ++core.commits;
    ++c.localWrites;
    detail::ChangeSet changes = std::move(c.changes);
    c.changes = detail::ChangeSet();
    changes.outside = changes.outside || outside;
    lock.unlock();
    if (!changes.isEmpty())
        core.post(changes);
    return {};
}

QList<SalvageReport> ObjectStore::pendingSalvageReports() const {
    QList<SalvageReport> reports;
    if (!m_core)
        return reports;
    try {
        detail::Connection &c = m_core->connection();
        sqlite::Statement &exists =
            c.db.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
        exists.bind(1, QString::fromLatin1(detail::kSalvageTable));
        const bool any = exists.step();
        exists.reset();
        if (!any)
            return reports;
        sqlite::Statement &st = c.db.prepare(
            QStringLiteral("SELECT movedTo, kept, lost, unreadable, at, classes FROM %1 ORDER BY at")
                .arg(sqlite::quoted(QString::fromLatin1(detail::kSalvageTable))));
        while (st.step()) {
            SalvageReport report;
            report.movedTo = st.column(0).toString();
            report.kept = st.columnInt(1);
            report.lost = st.columnInt(2);
            const QString unreadable = st.column(3).toString();
            report.unreadable = unreadable.isEmpty() ? QStringList() : unreadable.split(QLatin1Char('\n'));
            report.when = QDateTime::fromMSecsSinceEpoch(st.columnInt(4), Qt::UTC);
            const QJsonObject classes = QJsonDocument::fromJson(st.column(5).toString().toUtf8()).object();
            for (auto it = classes.constBegin(); it != classes.constEnd(); ++it) {
                if (it.value().toObject().value(QStringLiteral("uncounted")).toBool())
                    report.uncounted.append(it.key());
            }
            reports.append(report);
        }
    } catch (const StoreError &e) {
        detail::report(storeError(WriteFailed, e.message()), QStringLiteral("Object store read failed"));
    }
    return reports;
}

Error ObjectStore::acknowledgeSalvageReports() const {
    return write([](Transaction &tx) {
        tx.m_connection->db.exec(QStringLiteral("DROP TABLE IF EXISTS %1")
                                     .arg(sqlite::quoted(QString::fromLatin1(detail::kSalvageTable))));
    });
}

Error ObjectStore::checkIntegrity() const {
    if (!m_core)
        return storeError(OpenFailed, QStringLiteral("The object store is not open"));
    QString verdict;
    if (detail::fileIsSound(m_core->path, &verdict))
        return {};
    m_core->noteDamage();
    return storeError(DamagedFile, QStringLiteral("Integrity check failed: %1").arg(verdict));
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
