// Recovery of a damaged history archive: every record and card that can still be
// read goes into a new file, which then takes the damaged one's place.
#include "history/HistoryArchive.h"

#include "stationdb/SqliteStatement.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

#include <algorithm>
#include <string>

namespace {

// A connection closed with its object.
struct SConnection {
    sqlite3* db = nullptr;
    ~SConnection() { sqlite3_close_v2(db); }
};

bool Exec(sqlite3* db, const std::string& sql)
{
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

int64_t Count(sqlite3* db, const char* sql)
{
    const SqliteStatementPtr statement = PrepareSqlite(db, sql);
    return statement && sqlite3_step(statement.get()) == SQLITE_ROW ? sqlite3_column_int64(statement.get(), 0) : 0;
}

// The new archive's columns of table that the damaged one has too (an older
// schema lacks the later ones), as "a, b, c".
std::string Columns(sqlite3* db, const char* table)
{
    const SqliteStatementPtr info = PrepareSqlite(
        db, (std::string("SELECT name FROM pragma_table_info(?1, 'main') "
                         "WHERE name IN (SELECT name FROM pragma_table_info(?1, 'old'))")).c_str());
    std::string columns;
    if (info)
        sqlite3_bind_text(info.get(), 1, table, -1, SQLITE_STATIC);
    while (info && sqlite3_step(info.get()) == SQLITE_ROW)
        columns += (columns.empty() ? "" : ", ") + std::string(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 0)));
    return columns;
}

// Copies the rows of old.table in rowid order, key > the last one copied, a
// chunk at a time; past a page that cannot be read it tries further on, in
// growing steps, until the keys run out.
void CopyRecords(sqlite3* db)
{
    const std::string columns = Columns(db, "record");
    const int count = static_cast<int>(std::count(columns.begin(), columns.end(), ',')) + 1;
    std::string values;
    for (int i = 1; i <= count; ++i)
        values += (i > 1 ? ", ?" : "?") + std::to_string(i);
    // A damaged unique index may have let a block in twice: it comes once.
    const SqliteStatementPtr insert =
        PrepareSqlite(db, ("INSERT OR IGNORE INTO main.record (" + columns + ") VALUES (" + values + ")").c_str());
    const SqliteStatementPtr select = PrepareSqlite(
        db, ("SELECT " + columns + " FROM old.record NOT INDEXED WHERE id > ?1 ORDER BY id LIMIT 512").c_str());
    if (!insert || !select)
        return;
    const int64_t lastKey = Count(db, "SELECT max(id) FROM old.record NOT INDEXED");
    int64_t after = -1;
    int64_t skip = 1;
    for (;;) {
        sqlite3_reset(select.get());
        sqlite3_bind_int64(select.get(), 1, after);
        int rows = 0;
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(select.get())) == SQLITE_ROW) {
            ++rows;
            after = sqlite3_column_int64(select.get(), 0);
            sqlite3_reset(insert.get());
            for (int i = 0; i < count; ++i)
                sqlite3_bind_value(insert.get(), i + 1, sqlite3_column_value(select.get(), i));
            sqlite3_step(insert.get());
        }
        if (rc == SQLITE_DONE && rows == 0)
            return;
        if (rc == SQLITE_DONE) {
            skip = 1;
            continue;
        }
        if (after >= lastKey && lastKey > 0)
            return;
        after += skip;
        skip *= 2;
        if (skip > (int64_t{1} << 40))
            return;
    }
}

QString DamagedPath(const QString& path)
{
    const QString base = path + QStringLiteral(".damaged-") + QDate::currentDate().toString(Qt::ISODate);
    QString candidate = base;
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = base + QStringLiteral("-%1").arg(n);
    return candidate;
}

} // namespace

bool CHistoryArchive::Recover(const QString& path, SArchiveRecovery& outcome, QString& error)
{
    outcome = {};
    const auto failed = [&error, &path](const QString& reason) {
        error = QStringLiteral("%1: recovering it: %2").arg(path, reason);
        return false;
    };
    if (!QFileInfo(path).isFile())
        return failed(QStringLiteral("there is no archive file"));
    const QString fresh = path + QStringLiteral(".recovering");
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(fresh + suffix);
    {
        CHistoryArchive archive(fresh);
        if (!archive.Open())
            return failed(archive.LastError());
    }
    {
        SConnection connection;
        if (sqlite3_open_v2(QFile::encodeName(fresh).constData(), &connection.db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr) != SQLITE_OK)
            return failed(QString::fromUtf8(sqlite3_errmsg(connection.db)));
        sqlite3* db = connection.db;
        const QByteArray old = QUrl::fromLocalFile(path).toEncoded() + "?mode=ro";
        const SqliteStatementPtr attach = PrepareSqlite(db, "ATTACH DATABASE ?1 AS old");
        if (!attach || sqlite3_bind_text(attach.get(), 1, old.constData(), -1, SQLITE_TRANSIENT) != SQLITE_OK
            || sqlite3_step(attach.get()) != SQLITE_DONE)
            return failed(QString::fromUtf8(sqlite3_errmsg(db)));
        if (Count(db, "SELECT count(*) FROM old.sqlite_master WHERE type = 'table' AND name IN ('record', 'card')") != 2) {
            QFile::remove(fresh);
            return failed(QStringLiteral("no history archive can be read in it"));
        }
        Exec(db, "BEGIN");
        CopyRecords(db);
        // An entry taken in from a file twice: the first one stays.
        Exec(db, "DELETE FROM main.record WHERE block IS NULL AND id NOT IN "
                 "(SELECT min(id) FROM main.record WHERE block IS NULL GROUP BY idm, entry_key)");
        const std::string cards = Columns(db, "card");
        Exec(db, "INSERT OR IGNORE INTO main.card (" + cards + ") SELECT " + cards + " FROM old.card");
        // A card whose row is lost still has its records.
        Exec(db, "INSERT OR IGNORE INTO main.card (idm, first_read, last_read) "
                 "SELECT idm, min(first_read), max(first_read) FROM main.record GROUP BY idm");
        if (!Exec(db, "COMMIT"))
            return failed(QString::fromUtf8(sqlite3_errmsg(db)));
        outcome.nRecords = Count(db, "SELECT count(*) FROM main.record");
        outcome.nCards = Count(db, "SELECT count(*) FROM main.card");
        Exec(db, "DETACH DATABASE old");
    }
    outcome.strDamagedPath = DamagedPath(path);
    if (!QFile::rename(path, outcome.strDamagedPath))
        return failed(QStringLiteral("it cannot be moved aside to %1").arg(outcome.strDamagedPath));
    // Its log of changes belongs to the damaged file; its shared memory to nobody.
    QFile::rename(path + QStringLiteral("-wal"), outcome.strDamagedPath + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    if (!QFile::rename(fresh, path))
        return failed(QStringLiteral("the new archive %1 cannot take its place").arg(fresh));
    return true;
}
