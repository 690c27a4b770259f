#include "platform/store/Sqlite.h"

#include "platform/store/StoreError.h"

#include <sqlite3.h>

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::sqlite {

bool isDamage(int sqliteCode) {
    return sqliteCode == SQLITE_CORRUPT || sqliteCode == SQLITE_NOTADB;
}

static void throwFor(sqlite3 *db, const Database *owner, int rc, const QString &what) {
    if (owner)
        owner->noteError(rc);
    const QString message =
        QStringLiteral("%1: %2").arg(what, QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
    throw StoreError(message, rc);
}

Statement::Statement(sqlite3 *db, const QByteArray &sql, Database *owner)
    : m_db(db), m_owner(owner), m_sql(sql) {
    const int rc = sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK)
        throwFor(db, owner, rc, QStringLiteral("prepare \"%1\"").arg(QString::fromUtf8(sql)));
}

Statement::~Statement() {
    sqlite3_finalize(m_stmt);
}

Statement &Statement::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    return *this;
}

Statement &Statement::bind(int index, const QVariant &value) {
    int rc = SQLITE_OK;
    if (!value.isValid() || value.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::ULong:
            rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob64(m_stmt, index, bytes.constData(),
                                     static_cast<sqlite3_uint64>(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text64(m_stmt, index, text.constData(),
                                     static_cast<sqlite3_uint64>(text.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        }
    }
    if (rc != SQLITE_OK)
        throwFor(m_db, m_owner, rc, QStringLiteral("bind"));
    return *this;
}

bool Statement::step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    throwFor(m_db, m_owner, rc, QStringLiteral("step \"%1\"").arg(QString::fromUtf8(m_sql)));
    return false;
}

void Statement::run() {
    while (step()) {
    }
}

int Statement::columnCount() const {
    return sqlite3_column_count(m_stmt);
}

QString Statement::columnName(int i) const {
    return QString::fromUtf8(sqlite3_column_name(m_stmt, i));
}

QVariant Statement::column(int i) const {
    switch (sqlite3_column_type(m_stmt, i)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(m_stmt, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, i));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i)),
                                          sqlite3_column_bytes(m_stmt, i)));
    case SQLITE_BLOB: {
        const void *blob = sqlite3_column_blob(m_stmt, i);
        return QVariant(QByteArray(static_cast<const char *>(blob), sqlite3_column_bytes(m_stmt, i)));
    }
    default:
        return QVariant();
    }
}

qint64 Statement::columnInt(int i) const {
    return sqlite3_column_int64(m_stmt, i);
}

int Statement::columnType(int i) const {
    return sqlite3_column_type(m_stmt, i);
}

double Statement::columnDouble(int i) const {
    return sqlite3_column_double(m_stmt, i);
}

const char *Statement::columnBytes(int i, int *length) const {
    const char *bytes = sqlite3_column_type(m_stmt, i) == SQLITE_BLOB
                            ? static_cast<const char *>(sqlite3_column_blob(m_stmt, i))
                            : reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i));
    *length = sqlite3_column_bytes(m_stmt, i);
    return bytes;
}

bool Statement::columnIsNull(int i) const {
    return sqlite3_column_type(m_stmt, i) == SQLITE_NULL;
}

QString fold(const QString &text, int flags) {
    QString s = text;
    if (flags & FoldDiacritics) {
        s = s.normalized(QString::NormalizationForm_D);
        QString stripped;
        stripped.reserve(s.size());
        for (const QChar c : std::as_const(s)) {
            const auto category = c.category();
            if (category != QChar::Mark_NonSpacing && category != QChar::Mark_SpacingCombining &&
                category != QChar::Mark_Enclosing)
                stripped.append(c);
        }
        s = stripped;
    }
    if (flags & FoldCase)
        s = s.toCaseFolded();
    return s;
}

static void sqlFold(sqlite3_context *context, int argc, sqlite3_value **argv) {
    if (argc != 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *raw = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const QString text = QString::fromUtf8(raw, sqlite3_value_bytes(argv[0]));
    const QByteArray folded = fold(text, sqlite3_value_int(argv[1])).toUtf8();
    sqlite3_result_text64(context, folded.constData(), static_cast<sqlite3_uint64>(folded.size()),
                          SQLITE_TRANSIENT, SQLITE_UTF8);
}

namespace {

// The file and its -wal/-shm companions are the owner's only. SQLite gives new
// companions the mode of the database file, so a file made 0600 before SQLite
// sees it keeps them 0600; files left wider by an older version are narrowed.
void narrow(int fd) {
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) == 0 && (info.st_mode & 077) != 0)
        ::fchmod(fd, info.st_mode & 0700);
    if (fd >= 0)
        ::close(fd);
}

void restrictToOwner(const QString &path) {
    const QByteArray name = QFile::encodeName(path);
    // Opened for reading: a file the owner made read-only stays read-only.
    int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    narrow(fd);
    for (const char *suffix : {"-wal", "-shm", "-journal"})
        narrow(::open((name + suffix).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
}

} // namespace

Database::Database(const QString &path, bool readOnly) {
    if (!readOnly && !path.isEmpty() && !path.startsWith(QLatin1Char(':')) &&
        !path.startsWith(QLatin1String("file:")))
        restrictToOwner(path);
    const int flags =
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message =
            QStringLiteral("open %1: %2").arg(path, QString::fromUtf8(sqlite3_errstr(rc)));
        sqlite3_close(m_db);
        m_db = nullptr;
        throw StoreError(message, rc);
    }
    sqlite3_extended_result_codes(m_db, 0);
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    sqlite3_create_function(m_db, "qv_fold", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, &sqlFold,
                            nullptr, nullptr);
}

Database::~Database() {
    m_cache.clear();
    sqlite3_close(m_db);
}

void Database::setBusyTimeout(int ms) {
    sqlite3_busy_timeout(m_db, ms);
}

void Database::exec(const QString &sql) {
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        noteError(rc);
        const QString text = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        throw StoreError(QStringLiteral("%1: %2").arg(sql, text), rc);
    }
}

Statement &Database::prepare(const QString &sql) {
    auto it = m_cache.find(sql);
    if (it == m_cache.end())
        it = m_cache.insert(sql, std::make_shared<Statement>(m_db, sql.toUtf8(), this));
    return it.value()->reset();
}

void Database::forget(const QString &sql) {
    m_cache.remove(sql);
}

qint64 Database::dataVersion() {
    Statement &st = prepare(QStringLiteral("PRAGMA data_version"));
    const qint64 version = st.step() ? st.columnInt(0) : 0;
    st.reset();
    return version;
}

bool Database::isReadOnly() const {
    return sqlite3_db_readonly(m_db, "main") == 1;
}

bool Database::inTransaction() const {
    return sqlite3_get_autocommit(m_db) == 0;
}

void Database::noteError(int code) const {
    if (isDamage(code) && m_onDamage)
        m_onDamage();
}

qint64 Database::lastInsertRowId() const {
    return sqlite3_last_insert_rowid(m_db);
}

qint64 Database::changes() const {
    return sqlite3_changes64(m_db);
}

QString quoted(const QString &identifier) {
    return QLatin1Char('"') + QString(identifier).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

} // namespace platform::sqlite
