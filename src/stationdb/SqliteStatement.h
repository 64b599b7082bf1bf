// A prepared SQLite statement owned by a pointer that finalizes it, so no early
// return can leak one.
#pragma once

#include <sqlite3.h>

#include <memory>

struct SqliteFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

using SqliteStatementPtr = std::unique_ptr<sqlite3_stmt, SqliteFinalizer>;

// Prepares sql (UTF-8) on db; null when the engine refuses it (its reason is in sqlite3_errmsg).
inline SqliteStatementPtr PrepareSqlite(sqlite3* db, const char* sql)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    return SqliteStatementPtr(statement);
}
