#include "history/ArchiveSchema.h"

// record.block is null for an entry taken from an entry file; the unique
// constraint still keeps every block once per card, since nulls never collide.
// amount_known is 0 for the oldest record of a read while the record before it
// is not archived; apply_set is 1 once the person changed the tick. A card's
// read_order grows with every merge, so the card read last is known even when two
// reads fall in one second.
const char* const kArchiveSchemaV1 = R"sql(
CREATE TABLE schema_version (version INTEGER NOT NULL);
INSERT INTO schema_version (version) VALUES (1);

CREATE TABLE card (
    idm BLOB PRIMARY KEY NOT NULL,
    name TEXT NOT NULL DEFAULT '',
    first_read INTEGER NOT NULL,
    last_read INTEGER NOT NULL,
    read_order INTEGER NOT NULL DEFAULT 0
) WITHOUT ROWID;

CREATE TABLE record (
    id INTEGER PRIMARY KEY,
    idm BLOB NOT NULL,
    block BLOB,
    entry_key TEXT NOT NULL,
    seq24 INTEGER NOT NULL,
    day INTEGER NOT NULL,
    first_read INTEGER NOT NULL,
    amount_known INTEGER NOT NULL,
    apply_set INTEGER NOT NULL DEFAULT 0,
    reserved INTEGER NOT NULL,
    apply INTEGER NOT NULL,
    terminal_kind INTEGER NOT NULL,
    process_kind INTEGER NOT NULL,
    payment_kind INTEGER NOT NULL,
    raw_byte3 INTEGER NOT NULL,
    date_time INTEGER NOT NULL,
    entry_area INTEGER NOT NULL,
    entry_line INTEGER NOT NULL,
    entry_station INTEGER NOT NULL,
    entry_station_name TEXT NOT NULL,
    entry_line_name TEXT NOT NULL,
    entry_company TEXT NOT NULL,
    entry_latitude REAL NOT NULL,
    entry_longitude REAL NOT NULL,
    exit_area INTEGER NOT NULL,
    exit_line INTEGER NOT NULL,
    exit_station INTEGER NOT NULL,
    exit_station_name TEXT NOT NULL,
    exit_line_name TEXT NOT NULL,
    exit_company TEXT NOT NULL,
    exit_latitude REAL NOT NULL,
    exit_longitude REAL NOT NULL,
    balance INTEGER NOT NULL,
    sequence INTEGER NOT NULL,
    region INTEGER NOT NULL,
    amount INTEGER NOT NULL,
    distance INTEGER NOT NULL,
    bearing REAL NOT NULL,
    destination TEXT NOT NULL,
    remarks TEXT NOT NULL,
    UNIQUE (idm, block)
);
CREATE INDEX record_day ON record (idm, day, seq24);
CREATE INDEX record_sequence ON record (idm, seq24, day);
CREATE INDEX record_key ON record (idm, entry_key);
CREATE INDEX record_unknown_amount ON record (idm) WHERE amount_known = 0;
)sql";

// Version 2: the entry and exit gate times of a rail record, minutes after
// midnight of its day, null while the gate log has not given them.
std::vector<SArchiveMigration> ArchiveMigrations()
{
    return {{2, "ALTER TABLE record ADD COLUMN entry_time INTEGER; "
                "ALTER TABLE record ADD COLUMN exit_time INTEGER;"}};
}

int ArchiveSchemaVersion(const std::vector<SArchiveMigration>& migrations)
{
    return migrations.empty() ? 1 : migrations.back().toVersion;
}
