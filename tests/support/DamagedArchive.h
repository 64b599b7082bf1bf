// Damage to a history archive that SQLite notices only when it checks the file.
#pragma once

#include <QFile>
#include <QString>

#include <sqlite3.h>

// Declares the day index with its columns in another order, so that the index no
// longer matches its table. False when the file cannot be changed.
inline bool DamageTheDayIndex(const QString& archivePath)
{
    sqlite3* db = nullptr;
    bool done = sqlite3_open(QFile::encodeName(archivePath).constData(), &db) == SQLITE_OK;
    done = done
        && sqlite3_exec(db,
                        "PRAGMA writable_schema = ON; "
                        "UPDATE sqlite_master SET sql = 'CREATE INDEX record_day ON record (idm, seq24, day)' "
                        "WHERE name = 'record_day';",
                        nullptr, nullptr, nullptr)
            == SQLITE_OK;
    sqlite3_close(db);
    return done;
}
