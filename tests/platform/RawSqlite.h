#pragma once

#include <QString>

#include <gtest/gtest.h>
#include <sqlite3.h>

// The file as SQLite alone sees it: what another program, or an older version, did to it.
namespace storetest {

// A writer whose pages stay in the WAL when it closes (`checkpointOnClose` false), as when
// another connection still had the file open.
inline void execRaw(const QString &path, const char *sql, bool checkpointOnClose = true) {
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    if (!checkpointOnClose)
        sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    char *message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

// The first column of the first row; -1 without one.
inline qint64 rawScalar(const QString &path, const char *sql) {
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_stmt *st = nullptr;
    qint64 value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        value = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return value;
}

} // namespace storetest
