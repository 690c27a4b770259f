#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace platform::sqlite {

// One prepared statement, reset on every use. Owned by its Database's cache.
class Database;

class Statement {
public:
    Statement(sqlite3 *db, const QByteArray &sql, Database *owner = nullptr);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &reset();
    Statement &bind(int index, const QVariant &value); // 1-based
    bool step();                                       // true while a row is available
    void run();                                        // steps to the end

    int columnCount() const;
    QString columnName(int i) const;
    QVariant column(int i) const; // raw SQLite value: qint64, double, QString, QByteArray or null
    qint64 columnInt(int i) const;
    bool columnIsNull(int i) const;
    // Raw access without a QVariant: the type (SQLITE_INTEGER, ...), and the
    // bytes of a text or blob, valid until the next step.
    int columnType(int i) const;
    double columnDouble(int i) const;
    const char *columnBytes(int i, int *length) const;

private:
    sqlite3 *m_db;
    Database *m_owner;
    sqlite3_stmt *m_stmt = nullptr;
    QByteArray m_sql;
};

// RAII connection with a statement cache. Thread-confined by its owner.
class Database {
public:
    // Throws StoreError (with the SQLite code) when the file cannot be opened.
    explicit Database(const QString &path, bool readOnly = false);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // How long a statement waits for another connection's lock before it answers "locked".
    static constexpr int kBusyTimeoutMs = 10000;
    void setBusyTimeout(int ms);

    void exec(const QString &sql);
    Statement &prepare(const QString &sql); // cached
    void forget(const QString &sql);        // drops a cached statement (its table is going away)
    qint64 lastInsertRowId() const;
    qint64 changes() const; // rows the last INSERT, UPDATE or DELETE touched (not a trigger's)
    sqlite3 *handle() const { return m_db; }

    // Changes whenever another connection commits (never for this one's own commits).
    qint64 dataVersion();
    bool isReadOnly() const;
    bool inTransaction() const;

    // Called whenever SQLite reports that the file is damaged (before the error is thrown).
    void setDamageHandler(std::function<void()> handler) { m_onDamage = std::move(handler); }
    void noteError(int code) const;

private:
    sqlite3 *m_db = nullptr;
    QHash<QString, std::shared_ptr<Statement>> m_cache;
    std::function<void()> m_onDamage;
};

bool isDamage(int sqliteCode); // SQLITE_CORRUPT or SQLITE_NOTADB

QString quoted(const QString &identifier); // "identifier"

// Folds text for case- and diacritic-insensitive comparison (decomposes, drops
// combining marks, case-folds). Also registered in SQL as qv_fold(text, flags).
enum FoldFlags { FoldCase = 1, FoldDiacritics = 2 };
QString fold(const QString &text, int flags);

} // namespace platform::sqlite
