#include "history/HistoryArchive.h"

#include "card/CardClock.h"
#include "settings/AppProfile.h"
#include "card/HistoryDecoder.h"
#include "card/ProcessKinds.h"
#include "history/ArchiveGaps.h"
#include "history/ArchiveRecordKey.h"
#include "stationdb/SqliteStatement.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

// The neighbour rule. Record B comes right before record A of the same card when
//  - B's counter is A's minus one, modulo 2^24 (so FF FF FF comes before 00 00 00),
//  - B's day is not after A's (of several such records, as a reissued card whose
//    counter started again leaves them, the latest is taken),
//  - no other archived record of the card lies between them: on a day strictly
//    between theirs, after B on B's day or before A on A's day (by counter); that
//    keeps a record of the card's earlier life from passing for A's neighbour,
//  - and A is no new-issue or reissue record, which starts a counter.
// A's amount is then B's balance minus A's, the decoder's rule for every record.

namespace {

// A statement with its bindings; the first failed binding is kept and returned
// by Step, so a caller checks one code.
class CStatement {
public:
    CStatement(sqlite3* db, const char* sql) : m_statement(PrepareSqlite(db, sql)) {}

    bool Prepared() const { return m_statement != nullptr; }

    CStatement& Int(int index, int64_t value) { return Keep(sqlite3_bind_int64(Get(), index, value)); }
    CStatement& Real(int index, double value) { return Keep(sqlite3_bind_double(Get(), index, value)); }
    CStatement& Null(int index) { return Keep(sqlite3_bind_null(Get(), index)); }
    CStatement& Text(int index, const QString& value)
    {
        // An empty QString may carry no pointer; SQLite would store NULL for that.
        const void* text = value.isNull() ? static_cast<const void*>(u"") : static_cast<const void*>(value.utf16());
        return Keep(sqlite3_bind_text16(Get(), index, text, static_cast<int>(value.size() * 2), SQLITE_TRANSIENT));
    }
    CStatement& Blob(int index, const uint8_t* bytes, size_t count)
    {
        return Keep(sqlite3_bind_blob(Get(), index, bytes, static_cast<int>(count), SQLITE_TRANSIENT));
    }
    CStatement& Idm(int index, const IdmBytes& idm) { return Blob(index, idm.data(), idm.size()); }

    // SQLITE_ROW, SQLITE_DONE or the failure.
    int Step()
    {
        if (!m_statement)
            return SQLITE_ERROR; // the engine's reason for refusing the text is kept on the connection
        return m_bindResult != SQLITE_OK ? m_bindResult : sqlite3_step(Get());
    }
    // Ready for new bindings; the old ones are cleared.
    void Reset()
    {
        if (!m_statement)
            return;
        sqlite3_reset(Get());
        sqlite3_clear_bindings(Get());
        m_bindResult = SQLITE_OK;
    }

    int64_t ColumnInt(int column) const { return sqlite3_column_int64(Get(), column); }
    double ColumnReal(int column) const { return sqlite3_column_double(Get(), column); }
    bool ColumnIsNull(int column) const { return sqlite3_column_type(Get(), column) == SQLITE_NULL; }
    QString ColumnText(int column) const
    {
        const void* text = sqlite3_column_text16(Get(), column);
        const int bytes = sqlite3_column_bytes16(Get(), column);
        return text ? QString::fromUtf16(static_cast<const char16_t*>(text), bytes / 2) : QString();
    }
    // Fills out when the column holds exactly out's size in bytes.
    template <size_t N>
    bool ColumnBytes(int column, std::array<uint8_t, N>& out) const
    {
        const void* bytes = sqlite3_column_blob(Get(), column);
        if (!bytes || sqlite3_column_bytes(Get(), column) != static_cast<int>(N))
            return false;
        std::memcpy(out.data(), bytes, N);
        return true;
    }

private:
    sqlite3_stmt* Get() const { return m_statement.get(); }
    CStatement& Keep(int result)
    {
        if (m_bindResult == SQLITE_OK)
            m_bindResult = result;
        return *this;
    }

    SqliteStatementPtr m_statement;
    int m_bindResult = SQLITE_OK;
};

// The decoded entry's columns, in the order BindEntry and ReadEntry use.
const char* const kEntryColumns =
    "reserved, apply, terminal_kind, process_kind, payment_kind, raw_byte3, date_time, "
    "entry_area, entry_line, entry_station, entry_station_name, entry_line_name, entry_company, "
    "entry_latitude, entry_longitude, "
    "exit_area, exit_line, exit_station, exit_station_name, exit_line_name, exit_company, "
    "exit_latitude, exit_longitude, "
    "balance, sequence, region, amount, distance, bearing, destination, remarks, entry_time, exit_time";
constexpr int kEntryColumnCount = 33;

// A gate time, null while unknown.
void BindTime(CStatement& s, int at, int16_t minutes)
{
    if (minutes < 0)
        s.Null(at);
    else
        s.Int(at, minutes);
}

void BindEntry(CStatement& s, int at, const CEntryInfo& e)
{
    s.Int(at, e.reserved).Int(at + 1, e.apply).Int(at + 2, e.terminalKind).Int(at + 3, e.processKind);
    s.Int(at + 4, e.paymentKind).Int(at + 5, e.rawByte3).Int(at + 6, JapanSecondsOfLocal(e.dateTime));
    s.Int(at + 7, e.entryArea).Int(at + 8, e.entryLine).Int(at + 9, e.entryStation);
    s.Text(at + 10, e.entryStationName).Text(at + 11, e.entryLineName).Text(at + 12, e.entryCompany);
    s.Real(at + 13, e.entryLatitude).Real(at + 14, e.entryLongitude);
    s.Int(at + 15, e.exitArea).Int(at + 16, e.exitLine).Int(at + 17, e.exitStation);
    s.Text(at + 18, e.exitStationName).Text(at + 19, e.exitLineName).Text(at + 20, e.exitCompany);
    s.Real(at + 21, e.exitLatitude).Real(at + 22, e.exitLongitude);
    s.Int(at + 23, e.balance).Int(at + 24, e.sequence).Int(at + 25, e.region).Int(at + 26, e.amount);
    s.Int(at + 27, e.distance).Real(at + 28, e.bearing);
    s.Text(at + 29, e.destination).Text(at + 30, e.remarks);
    BindTime(s, at + 31, e.entryTime);
    BindTime(s, at + 32, e.exitTime);
}

void ReadEntry(const CStatement& s, int at, CEntryInfo& e)
{
    const auto byte = [&s](int column) { return static_cast<uint8_t>(s.ColumnInt(column)); };
    const auto int32 = [&s](int column) { return static_cast<int32_t>(s.ColumnInt(column)); };
    e.reserved = byte(at);
    e.apply = byte(at + 1);
    e.terminalKind = byte(at + 2);
    e.processKind = byte(at + 3);
    e.paymentKind = byte(at + 4);
    e.rawByte3 = byte(at + 5);
    e.dateTime = LocalOfJapanSeconds(s.ColumnInt(at + 6));
    e.entryArea = byte(at + 7);
    e.entryLine = int32(at + 8);
    e.entryStation = int32(at + 9);
    e.entryStationName = s.ColumnText(at + 10);
    e.entryLineName = s.ColumnText(at + 11);
    e.entryCompany = s.ColumnText(at + 12);
    e.entryLatitude = s.ColumnReal(at + 13);
    e.entryLongitude = s.ColumnReal(at + 14);
    e.exitArea = byte(at + 15);
    e.exitLine = int32(at + 16);
    e.exitStation = int32(at + 17);
    e.exitStationName = s.ColumnText(at + 18);
    e.exitLineName = s.ColumnText(at + 19);
    e.exitCompany = s.ColumnText(at + 20);
    e.exitLatitude = s.ColumnReal(at + 21);
    e.exitLongitude = s.ColumnReal(at + 22);
    e.balance = int32(at + 23);
    e.sequence = int32(at + 24);
    e.region = int32(at + 25);
    e.amount = int32(at + 26);
    e.distance = int32(at + 27);
    e.bearing = static_cast<float>(s.ColumnReal(at + 28));
    e.destination = s.ColumnText(at + 29);
    e.remarks = s.ColumnText(at + 30);
    e.entryTime = s.ColumnIsNull(at + 31) ? int16_t{-1} : static_cast<int16_t>(s.ColumnInt(at + 31));
    e.exitTime = s.ColumnIsNull(at + 32) ? int16_t{-1} : static_cast<int16_t>(s.ColumnInt(at + 32));
}

// Parameters 1-7 are the archive's own columns, the entry's follow from 8.
const std::string& InsertRecordSql()
{
    static const std::string sql = [] {
        std::string text = "INSERT INTO record (idm, block, entry_key, seq24, day, first_read, amount_known, ";
        text += kEntryColumns;
        text += ") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7";
        for (int i = 0; i < kEntryColumnCount; ++i)
            text += ", ?" + std::to_string(8 + i);
        return text + ")";
    }();
    return sql;
}

const std::string& SelectEntriesSql(bool oneCard)
{
    static const auto make = [](bool card) {
        std::string text = "SELECT id, idm, seq24, day, amount_known, ";
        text += kEntryColumns;
        text += " FROM record WHERE ";
        text += card ? "idm = ?1 AND " : "";
        return text + "day BETWEEN ?2 AND ?3 ORDER BY day, idm, seq24, id";
    };
    static const std::string card = make(true);
    static const std::string every = make(false);
    return oneCard ? card : every;
}

// An insert that leaves its new row's id; false with the engine's code in rc.
bool InsertRecord(sqlite3* db, CStatement& insert, const IdmBytes& idm, const HistoryBlock* block,
                  const CEntryInfo& entry, bool amountKnown, int64_t now, int64_t& id)
{
    insert.Reset();
    insert.Idm(1, idm);
    if (block)
        insert.Blob(2, block->data(), block->size());
    else
        insert.Null(2);
    insert.Text(3, EntryKey(entry)).Int(4, EntrySequence(entry)).Int(5, ArchiveDay(entry.dateTime));
    insert.Int(6, now).Int(7, amountKnown ? 1 : 0);
    BindEntry(insert, 8, entry);
    if (insert.Step() != SQLITE_DONE)
        return false;
    id = sqlite3_last_insert_rowid(db);
    return true;
}

// One id column of a lookup, or 0 when there is no row; false on a failure.
bool FindId(CStatement& lookup, int64_t& id)
{
    const int rc = lookup.Step();
    id = rc == SQLITE_ROW ? lookup.ColumnInt(0) : 0;
    // Done with, so that no read stays open until the commit.
    lookup.Reset();
    return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

// Sorted by day and counter, a day's records are out of order only when the
// counter wrapped that day: its records after the wrap (small counters) belong
// after those before it.
void OrderWrappedDays(CEntryList& entries, std::vector<int64_t>& ids, const std::vector<int64_t>& days,
                      const std::vector<int64_t>& sequences)
{
    size_t start = 0;
    while (start < entries.size()) {
        size_t end = start + 1;
        while (end < entries.size() && days[end] == days[start] && entries[end]->idm == entries[start]->idm)
            ++end;
        if (sequences[end - 1] - sequences[start] > kHalfSequence) {
            std::vector<size_t> order(end - start);
            for (size_t i = 0; i < order.size(); ++i)
                order[i] = start + i;
            std::stable_partition(order.begin(), order.end(),
                                  [&sequences](size_t i) { return sequences[i] >= kHalfSequence; });
            CEntryList movedEntries;
            std::vector<int64_t> movedIds;
            for (size_t i : order) {
                movedEntries.push_back(std::move(entries[i]));
                movedIds.push_back(ids[i]);
            }
            for (size_t i = 0; i < order.size(); ++i) {
                entries[start + i] = std::move(movedEntries[i]);
                ids[start + i] = movedIds[i];
            }
        }
        start = end;
    }
}

} // namespace

// BEGIN IMMEDIATE takes the write lock at once, so a locked archive fails here,
// before anything is done, and not halfway through.
class CHistoryArchive::CTransaction {
public:
    explicit CTransaction(sqlite3* db) : m_db(db), m_bBegun(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK) {}
    ~CTransaction()
    {
        // The engine may have rolled back already after a full disk or an I/O error.
        if (m_bBegun && !m_bCommitted && !sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    bool Begun() const { return m_bBegun; }
    bool Commit()
    {
        m_bCommitted = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
        return m_bCommitted;
    }

private:
    sqlite3* m_db;
    bool m_bBegun;
    bool m_bCommitted = false;
};

QString CHistoryArchive::DefaultPath()
{
    // QStandardPaths names the folder after the running program, and the
    // command-line tool calls itself "voluni": the viewer's names are put in
    // place for the question, so that both share one archive.
    const QString organization = QCoreApplication::organizationName();
    const QString application = QCoreApplication::applicationName();
    QCoreApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganization));
    QCoreApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCoreApplication::setOrganizationName(organization);
    QCoreApplication::setApplicationName(application);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/history.sqlite");
}

CHistoryArchive::CHistoryArchive(QString path, SArchiveOptions options)
    : m_strPath(std::move(path))
    , m_options(std::move(options))
{
}

CHistoryArchive::~CHistoryArchive()
{
    Close();
}

void CHistoryArchive::Close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    // The next open may find another file in its place, as after a recovery.
    m_bReadOnly = false;
    m_bChecked = false;
    m_strDamage.clear();
}

bool CHistoryArchive::FailWith(const QString& what, const QString& reason)
{
    m_strLastError = QStringLiteral("%1: %2: %3").arg(m_strPath, what, reason);
    return false;
}

bool CHistoryArchive::Fail(const QString& what)
{
    m_nLastCode = m_db ? sqlite3_extended_errcode(m_db) : 0;
    return FailWith(what, m_db ? EngineReason() : QStringLiteral("not open"));
}

QString CHistoryArchive::EngineReason() const
{
    const QString engine = QString::fromUtf8(sqlite3_errmsg(m_db));
    const int code = sqlite3_extended_errcode(m_db) & 0xFF;
    const int system = sqlite3_system_errno(m_db);
    // The engine's words for a full disk and a read-only place name neither.
    if (code == SQLITE_FULL || system == ENOSPC)
        return QStringLiteral("the disk is full (%1)").arg(engine);
    if (code == SQLITE_READONLY || system == EROFS)
        return QStringLiteral("the archive or its folder is read-only (%1)").arg(engine);
    if ((code == SQLITE_IOERR || code == SQLITE_CANTOPEN) && system != 0)
        return QStringLiteral("%1: %2").arg(engine, QString::fromLocal8Bit(std::strerror(system)));
    return engine;
}

bool CHistoryArchive::WasLocked() const
{
    const int code = m_nLastCode & 0xFF;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

bool CHistoryArchive::EnsureOpen()
{
    return m_db || Open();
}

namespace {

// Makes the folder, and each missing folder above it, readable by the user alone; a folder
// already there keeps its mode.
bool MakeFolderForTheUserAlone(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    const QString parent = info.absolutePath();
    if (parent == info.absoluteFilePath() || !MakeFolderForTheUserAlone(parent))
        return false;
    return QDir().mkdir(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)
        || QFileInfo(path).isDir();
}

} // namespace

bool CHistoryArchive::EnsureWritable(const QString& what)
{
    m_nLastCode = 0;
    if (!EnsureOpen())
        return false;
    if (m_bReadOnly)
        return FailWith(what, QStringLiteral("the folder %1 is read-only; the archive can be read, not written")
                                  .arg(QFileInfo(m_strPath).absolutePath()));
    return CheckSound();
}

bool CHistoryArchive::CheckSound()
{
    if (m_bChecked)
        return true;
    if (!m_strDamage.isEmpty()) {
        m_strLastError = QStringLiteral("履歴ファイルが壊れています: %1 (%2)").arg(m_strPath, m_strDamage);
        return false;
    }
    // integrity_check, not quick_check: only it compares each index with its
    // table, and a damaged unique index lets a merge double its records.
    CStatement check(m_db, "PRAGMA integrity_check(100)");
    QStringList problems;
    int rc = SQLITE_ROW;
    while ((rc = check.Step()) == SQLITE_ROW)
        problems << check.ColumnText(0);
    if (rc != SQLITE_DONE) {
        // Only what the engine calls damage is; a lock or a full disk is not.
        const int code = sqlite3_extended_errcode(m_db) & 0xFF;
        if (code != SQLITE_CORRUPT && code != SQLITE_NOTADB)
            return Fail(QStringLiteral("checking it"));
        problems = QStringList{EngineReason()};
    }
    if (problems != QStringList{QStringLiteral("ok")}) {
        m_strDamage = problems.value(0);
        return CheckSound();
    }
    m_bChecked = true;
    return true;
}

bool CHistoryArchive::OpenConnection(bool readOnly)
{
    Close();
    const QByteArray name = QFile::encodeName(m_strPath);
    int rc = sqlite3_open_v2(name.constData(), &m_db, readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK && readOnly) {
        // A WAL file in a folder that cannot be written opens only when its
        // shared-memory file is there; nobody can write the file there meanwhile.
        if (sqlite3_exec(m_db, "SELECT 1 FROM sqlite_master LIMIT 1", nullptr, nullptr, nullptr) != SQLITE_OK) {
            sqlite3_close_v2(m_db);
            m_db = nullptr;
            const QByteArray uri = QUrl::fromLocalFile(m_strPath).toEncoded() + "?immutable=1";
            rc = sqlite3_open_v2(uri.constData(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
        }
    }
    if (rc != SQLITE_OK) {
        const QString reason = m_db ? EngineReason() : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return FailWith(QStringLiteral("opening it"), reason);
    }
    m_bReadOnly = readOnly;
    sqlite3_busy_timeout(m_db, m_options.nBusyTimeoutMs);
    return true;
}

bool CHistoryArchive::Open()
{
    if (m_db)
        return true;
    if (m_strPath.isEmpty()) {
        m_strLastError = QStringLiteral("history archive: the system names no data folder");
        return false;
    }
    const QFileInfo info(m_strPath);
    if (info.isSymLink() && !info.exists())
        return FailWith(QStringLiteral("opening it"),
                        QStringLiteral("a symbolic link to %1, which does not exist").arg(info.symLinkTarget()));
    const QString folder = info.absolutePath();
    if (!MakeFolderForTheUserAlone(folder))
        return FailWith(QStringLiteral("creating its folder"), QStringLiteral("the folder cannot be made"));
    if (!info.exists()) {
        if (!QFileInfo(folder).isWritable())
            return FailWith(QStringLiteral("creating it"), QStringLiteral("the folder %1 is read-only").arg(folder));
        // Made here, so that it is the user's alone from the start; SQLite gives its
        // journal files the same mode.
        QFile file(m_strPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return FailWith(QStringLiteral("creating it"), file.errorString());
    }
    // SQLite keeps its journal beside the file: without a folder to write in,
    // the archive can only be looked at.
    const bool readOnly = !QFileInfo(folder).isWritable() || !QFileInfo(m_strPath).isWritable();
    if (!OpenConnection(readOnly))
        return false;
    if (!CreateOrMigrate()) {
        Close();
        return false;
    }
    m_strLastError.clear();
    if (!m_bReadOnly)
        TakeInPending();
    return true;
}

bool CHistoryArchive::CreateOrMigrate()
{
    // SQLite opens any file lazily; reading the schema is where a file that is no
    // database, or one locked by another program, fails.
    QStringList tables;
    {
        CStatement list(m_db, "SELECT name FROM sqlite_master WHERE type = 'table'");
        if (!list.Prepared())
            return Fail(QStringLiteral("reading it"));
        int rc = SQLITE_ROW;
        while ((rc = list.Step()) == SQLITE_ROW)
            tables << list.ColumnText(0);
        if (rc != SQLITE_DONE)
            return Fail(QStringLiteral("reading it"));
    }

    const int target = ArchiveSchemaVersion(m_options.migrations);
    if (tables.isEmpty()) {
        // Only a file this program made and left empty becomes an archive; an
        // empty database of someone else's is no place to write.
        if (QFileInfo(m_strPath).size() > 0)
            return FailWith(QStringLiteral("opening it"), QStringLiteral("an SQLite file, but no history archive"));
        if (m_bReadOnly)
            return FailWith(QStringLiteral("creating its tables"), QStringLiteral("the file is read-only"));
        CTransaction transaction(m_db);
        if (!transaction.Begun() || sqlite3_exec(m_db, kArchiveSchemaV1, nullptr, nullptr, nullptr) != SQLITE_OK)
            return Fail(QStringLiteral("creating its tables"));
        for (const SArchiveMigration& step : m_options.migrations) {
            if (sqlite3_exec(m_db, step.sql, nullptr, nullptr, nullptr) != SQLITE_OK)
                return Fail(QStringLiteral("creating its tables"));
        }
        CStatement version(m_db, "UPDATE schema_version SET version = ?1");
        version.Int(1, target);
        if (version.Step() != SQLITE_DONE || !transaction.Commit())
            return Fail(QStringLiteral("creating its tables"));
        // Write-ahead logging lets a reader (the tool) look while the viewer
        // writes; set once the tables are there, so a failed start leaves the
        // file empty, as new.
        sqlite3_exec(m_db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    } else {
        if (!tables.contains(QStringLiteral("schema_version")) || !tables.contains(QStringLiteral("record"))
            || !tables.contains(QStringLiteral("card")))
            return FailWith(QStringLiteral("opening it"), QStringLiteral("an SQLite file, but no history archive"));
        int64_t version = 0;
        {
            CStatement read(m_db, "SELECT version FROM schema_version");
            if (!read.Prepared() || read.Step() != SQLITE_ROW)
                return Fail(QStringLiteral("reading its schema version"));
            version = read.ColumnInt(0);
        }
        if (version > target)
            return FailWith(QStringLiteral("opening it"),
                            QStringLiteral("schema version %1 is newer than this program's %2").arg(version).arg(target));
        if (version < 1)
            return FailWith(QStringLiteral("opening it"), QStringLiteral("no valid schema version"));
        if (m_bReadOnly) {
            if (version < target)
                return FailWith(QStringLiteral("opening it"),
                                QStringLiteral("schema version %1 needs updating, and the file is read-only").arg(version));
            return true;
        }
        sqlite3_exec(m_db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
        if (version < target && !Migrate(static_cast<int>(version)))
            return false;
    }
    if (m_options.nMaxPageCount > 0) {
        const std::string pragma = "PRAGMA max_page_count = " + std::to_string(m_options.nMaxPageCount);
        sqlite3_exec(m_db, pragma.c_str(), nullptr, nullptr, nullptr);
    }
    return true;
}

bool CHistoryArchive::Migrate(int fromVersion)
{
    const int target = ArchiveSchemaVersion(m_options.migrations);
    const QString what = QStringLiteral("migrating schema version %1 to %2").arg(fromVersion).arg(target);
    // A damaged file is not built on.
    {
        CStatement check(m_db, "PRAGMA quick_check");
        if (!check.Prepared() || check.Step() != SQLITE_ROW)
            return Fail(what);
        if (check.ColumnText(0) != QLatin1String("ok"))
            return FailWith(what, QStringLiteral("the file is damaged: ") + check.ColumnText(0));
    }
    // Everything into the main file first, so that the copy is whole.
    {
        CStatement checkpoint(m_db, "PRAGMA wal_checkpoint(TRUNCATE)");
        if (!checkpoint.Prepared() || checkpoint.Step() != SQLITE_ROW)
            return Fail(what);
        if (checkpoint.ColumnInt(0) != 0)
            return FailWith(what, QStringLiteral("another program is using the archive"));
    }
    const QString backup = m_strPath + QStringLiteral(".v%1.bak").arg(fromVersion);
    const QString part = backup + QStringLiteral(".part");
    QFile::remove(part);
    if (!QFile::copy(m_strPath, part))
        return FailWith(what, QStringLiteral("no copy could be made in %1").arg(part));
    QFile::setPermissions(part, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile::remove(backup);
    if (!QFile::rename(part, backup)) {
        QFile::remove(part);
        return FailWith(what, QStringLiteral("no copy could be made in %1").arg(backup));
    }

    CTransaction transaction(m_db);
    if (!transaction.Begun())
        return Fail(what);
    for (const SArchiveMigration& step : m_options.migrations) {
        if (step.toVersion <= fromVersion)
            continue;
        CStatement version(m_db, "UPDATE schema_version SET version = ?1");
        version.Int(1, step.toVersion);
        if (sqlite3_exec(m_db, step.sql, nullptr, nullptr, nullptr) != SQLITE_OK || version.Step() != SQLITE_DONE) {
            const QString reason = QString::fromUtf8(sqlite3_errmsg(m_db));
            return FailWith(what, QStringLiteral("%1; the archive is unchanged, its copy is %2").arg(reason, backup));
        }
    }
    if (!transaction.Commit())
        return Fail(what);
    return true;
}

bool CHistoryArchive::PredecessorBalance(const IdmBytes& idm, int64_t sequence, int day, int64_t id,
                                         std::optional<int32_t>& balance)
{
    balance.reset();
    // The archive is never analysed, and without statistics the planner prefers
    // the day index here and below; the named index finds the few rows at once.
    CStatement candidates(m_db,
                          "SELECT id, balance, day, seq24 FROM record INDEXED BY record_sequence "
                          "WHERE idm = ?1 AND seq24 = ?2 AND day <= ?3 AND id <> ?4 ORDER BY day DESC, id DESC LIMIT 1");
    candidates.Idm(1, idm).Int(2, (sequence - 1) & (kSequenceModulus - 1)).Int(3, day).Int(4, id);
    int rc = candidates.Step();
    if (rc == SQLITE_DONE)
        return true;
    if (rc != SQLITE_ROW)
        return false;
    const int64_t before = candidates.ColumnInt(0);
    const auto beforeBalance = static_cast<int32_t>(candidates.ColumnInt(1));
    const int64_t beforeDay = candidates.ColumnInt(2);
    const int64_t beforeSequence = candidates.ColumnInt(3);

    CStatement between(m_db,
                       "SELECT 1 FROM record WHERE idm = ?1 AND id <> ?2 AND id <> ?3 AND day BETWEEN ?4 AND ?5 "
                       "AND NOT (day = ?4 AND ((?6 - seq24) & 16777215) < 8388608) "
                       "AND NOT (day = ?5 AND ((seq24 - ?7) & 16777215) < 8388608) LIMIT 1");
    between.Idm(1, idm).Int(2, id).Int(3, before).Int(4, beforeDay).Int(5, day).Int(6, beforeSequence).Int(7, sequence);
    rc = between.Step();
    if (rc == SQLITE_DONE)
        balance = beforeBalance;
    return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

bool CHistoryArchive::ResolveUnknownAmounts(const IdmBytes& idm)
{
    struct SPending {
        int64_t id;
        HistoryBlock block;
        int64_t sequence;
        int day;
    };
    std::vector<SPending> pending;
    {
        CStatement unknown(m_db,
                           "SELECT id, block, seq24, day FROM record INDEXED BY record_unknown_amount "
                           "WHERE idm = ?1 AND amount_known = 0 AND block IS NOT NULL");
        unknown.Idm(1, idm);
        int rc = SQLITE_ROW;
        while ((rc = unknown.Step()) == SQLITE_ROW) {
            SPending p{unknown.ColumnInt(0), {}, unknown.ColumnInt(2), static_cast<int>(unknown.ColumnInt(3))};
            if (unknown.ColumnBytes(1, p.block))
                pending.push_back(p);
        }
        if (rc != SQLITE_DONE)
            return false;
    }

    CStatement update(m_db,
                      "UPDATE record SET amount = ?2, apply = CASE WHEN apply_set THEN apply ELSE ?3 END, "
                      "amount_known = 1 WHERE id = ?1");
    for (const SPending& p : pending) {
        std::unique_ptr<CEntryInfo> decoded;
        int32_t previous = -1;
        try {
            decoded = DecodeHistoryBlock(p.block, idm, previous);
        } catch (const CInvalidDateError&) {
            continue; // archived from a read, so it decoded once; a changed zone may not
        }
        std::optional<int32_t> balance;
        if (!StartsCardHistory(*decoded)) {
            if (!PredecessorBalance(idm, p.sequence, p.day, p.id, balance))
                return false;
            if (!balance)
                continue;
            // The amount as the read pass would have decoded it, had the card still held the record before.
            previous = *balance;
            decoded = DecodeHistoryBlock(p.block, idm, previous);
        }
        update.Reset();
        update.Int(1, p.id).Int(2, decoded->amount).Int(3, decoded->apply);
        if (update.Step() != SQLITE_DONE)
            return false;
    }
    return true;
}

int32_t CHistoryArchive::BalanceBefore(const IdmBytes& idm, const HistoryBlock& block)
{
    if (!EnsureOpen())
        return -1;
    std::unique_ptr<CEntryInfo> entry;
    int32_t previous = -1;
    try {
        entry = DecodeHistoryBlock(block, idm, previous);
    } catch (const CInvalidDateError&) {
        return -1;
    }
    if (StartsCardHistory(*entry))
        return -1;
    CStatement byBlock(m_db, "SELECT id FROM record WHERE idm = ?1 AND block = ?2");
    byBlock.Idm(1, idm).Blob(2, block.data(), block.size());
    int64_t id = 0;
    std::optional<int32_t> balance;
    if (!FindId(byBlock, id) || !PredecessorBalance(idm, BlockSequence(block), ArchiveDay(entry->dateTime), id, balance)) {
        Fail(QStringLiteral("looking up the record before the oldest one"));
        return -1;
    }
    return balance.value_or(-1);
}

namespace {

CEntryList CopyEntries(std::span<const std::unique_ptr<CEntryInfo>> entries)
{
    CEntryList copies;
    for (const auto& entry : entries)
        copies.push_back(std::make_unique<CEntryInfo>(*entry));
    return copies;
}

} // namespace

bool CHistoryArchive::MergeRead(const IdmBytes& idm, const HistoryBlockList& blocks,
                                std::span<const std::unique_ptr<CEntryInfo>> entries, SMergeOutcome* outcome)
{
    if (blocks.size() != entries.size())
        return FailWith(QStringLiteral("merging the read"),
                        QStringLiteral("%1 blocks for %2 entries").arg(blocks.size()).arg(entries.size()));
    if (WriteRead(idm, blocks, entries, outcome))
        return true;
    return KeepPending({SPendingWrite::Kind::Read, idm, blocks, CopyEntries(entries), {}});
}

bool CHistoryArchive::WriteRead(const IdmBytes& idm, const HistoryBlockList& blocks,
                                std::span<const std::unique_ptr<CEntryInfo>> entries, SMergeOutcome* outcome)
{
    const QString what = QStringLiteral("merging the read");
    if (!EnsureWritable(what))
        return false;

    SMergeOutcome result;
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    CTransaction transaction(m_db);
    if (!transaction.Begun())
        return Fail(what);
    CStatement card(m_db,
                    "INSERT INTO card (idm, first_read, last_read, read_order) "
                    "VALUES (?1, ?2, ?2, (SELECT coalesce(max(read_order), 0) + 1 FROM card)) "
                    "ON CONFLICT (idm) DO UPDATE SET last_read = excluded.last_read, read_order = excluded.read_order");
    card.Idm(1, idm).Int(2, now);
    if (card.Step() != SQLITE_DONE)
        return Fail(what);

    CStatement byBlock(m_db, "SELECT id FROM record WHERE idm = ?1 AND block = ?2");
    CStatement byKey(m_db, "SELECT id FROM record INDEXED BY record_key "
                                 "WHERE idm = ?1 AND entry_key = ?2 AND block IS NULL LIMIT 1");
    CStatement attach(m_db, "UPDATE record SET block = ?2 WHERE id = ?1");
    CStatement insert(m_db, InsertRecordSql().c_str());
    // A gate time once known stays, whatever a later read's gate log still holds.
    CStatement times(m_db, "UPDATE record SET entry_time = coalesce(?2, entry_time), "
                           "exit_time = coalesce(?3, exit_time) WHERE id = ?1");
    std::vector<int64_t> added;
    for (size_t i = 0; i < entries.size(); ++i) {
        const HistoryBlock& block = blocks[blocks.size() - 1 - i];
        const CEntryInfo& entry = *entries[i];
        byBlock.Reset();
        byBlock.Idm(1, idm).Blob(2, block.data(), block.size());
        int64_t id = 0;
        if (!FindId(byBlock, id))
            return Fail(what);
        if (id == 0) {
            // The trip taken in from an entry file before: it gets its block.
            byKey.Reset();
            byKey.Idm(1, idm).Text(2, EntryKey(entry));
            if (!FindId(byKey, id))
                return Fail(what);
            if (id != 0) {
                attach.Reset();
                attach.Int(1, id).Blob(2, block.data(), block.size());
                if (attach.Step() != SQLITE_DONE)
                    return Fail(what);
            }
        }
        // Every amount but the oldest's came from the block before it in this read.
        if (id == 0) {
            if (!InsertRecord(m_db, insert, idm, &block, entry, i > 0, now, id))
                return Fail(what);
            ++result.nAdded;
            added.push_back(id);
        } else if (entry.entryTime >= 0 || entry.exitTime >= 0) {
            times.Reset();
            times.Int(1, id);
            BindTime(times, 2, entry.entryTime);
            BindTime(times, 3, entry.exitTime);
            if (times.Step() != SQLITE_DONE)
                return Fail(what);
        }
        result.ids.push_back(id);
    }
    if (!ResolveUnknownAmounts(idm))
        return Fail(what);
    // A gap is new when a record this read added lies on one side of it.
    if (outcome && !added.empty()) {
        if (!ReadGaps(idm, result.newGaps))
            return Fail(what);
        std::erase_if(result.newGaps, [&added](const SArchiveGap& gap) {
            return std::find(added.begin(), added.end(), gap.afterId) == added.end()
                && std::find(added.begin(), added.end(), gap.beforeId) == added.end();
        });
    }
    if (!transaction.Commit())
        return Fail(what);
    if (outcome)
        *outcome = std::move(result);
    return true;
}

bool CHistoryArchive::ImportEntries(std::span<const std::unique_ptr<CEntryInfo>> entries, SMergeOutcome* outcome)
{
    if (WriteImport(entries, outcome))
        return true;
    return KeepPending({SPendingWrite::Kind::Import, {}, {}, CopyEntries(entries), {}});
}

bool CHistoryArchive::WriteImport(std::span<const std::unique_ptr<CEntryInfo>> entries, SMergeOutcome* outcome)
{
    const QString what = QStringLiteral("taking in the entries");
    if (!EnsureWritable(what))
        return false;
    SMergeOutcome result;
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    CTransaction transaction(m_db);
    if (!transaction.Begun())
        return Fail(what);
    CStatement card(m_db, "INSERT INTO card (idm, first_read, last_read) VALUES (?1, ?2, 0) ON CONFLICT (idm) DO NOTHING");
    CStatement byKey(m_db, "SELECT id FROM record INDEXED BY record_key WHERE idm = ?1 AND entry_key = ?2 LIMIT 1");
    CStatement insert(m_db, InsertRecordSql().c_str());
    std::vector<IdmBytes> cards;
    for (const std::unique_ptr<CEntryInfo>& entry : entries) {
        if (std::find(cards.begin(), cards.end(), entry->idm) == cards.end()) {
            card.Reset();
            card.Idm(1, entry->idm).Int(2, now);
            if (card.Step() != SQLITE_DONE)
                return Fail(what);
            cards.push_back(entry->idm);
        }
        byKey.Reset();
        byKey.Idm(1, entry->idm).Text(2, EntryKey(*entry));
        int64_t id = 0;
        if (!FindId(byKey, id))
            return Fail(what);
        if (id == 0) {
            // The file's amount stands: whether it was a read's unknown first one, the file does not say.
            if (!InsertRecord(m_db, insert, entry->idm, nullptr, *entry, true, now, id))
                return Fail(what);
            ++result.nAdded;
        }
        result.ids.push_back(id);
    }
    // An imported record may be the one before a read's oldest.
    for (const IdmBytes& idm : cards) {
        if (!ResolveUnknownAmounts(idm))
            return Fail(what);
    }
    if (!transaction.Commit())
        return Fail(what);
    if (outcome)
        *outcome = std::move(result);
    return true;
}

bool CHistoryArchive::FindEntries(std::span<const std::unique_ptr<CEntryInfo>> entries, std::vector<int64_t>& ids)
{
    ids.assign(entries.size(), 0);
    if (!m_db && !QFileInfo::exists(m_strPath))
        return true;
    if (!EnsureOpen())
        return false;
    CStatement byKey(m_db, "SELECT id FROM record INDEXED BY record_key WHERE idm = ?1 AND entry_key = ?2 LIMIT 1");
    for (size_t i = 0; i < entries.size(); ++i) {
        byKey.Idm(1, entries[i]->idm).Text(2, EntryKey(*entries[i]));
        if (!FindId(byKey, ids[i]))
            return Fail(QStringLiteral("looking up the entries"));
    }
    return true;
}

bool CHistoryArchive::UpdateEntries(std::span<const std::pair<int64_t, const CEntryInfo*>> edits)
{
    if (WriteEdits(edits))
        return true;
    SPendingWrite write{SPendingWrite::Kind::Edit, {}, {}, {}, {}};
    for (const auto& [id, entry] : edits) {
        write.ids.push_back(id);
        write.entries.push_back(std::make_unique<CEntryInfo>(*entry));
    }
    return KeepPending(std::move(write));
}

bool CHistoryArchive::WriteEdits(std::span<const std::pair<int64_t, const CEntryInfo*>> edits)
{
    const QString what = QStringLiteral("writing the edits");
    if (!EnsureWritable(what))
        return false;
    CTransaction transaction(m_db);
    if (!transaction.Begun())
        return Fail(what);
    // The tick counts as the person's once it differs from the archived one.
    CStatement update(m_db,
                      "UPDATE record SET apply_set = apply_set OR apply <> ?2, apply = ?2, destination = ?3, "
                      "remarks = ?4 WHERE id = ?1");
    for (const auto& [id, entry] : edits) {
        update.Reset();
        update.Int(1, id).Int(2, entry->apply).Text(3, entry->destination).Text(4, entry->remarks);
        if (update.Step() != SQLITE_DONE)
            return Fail(what);
        if (sqlite3_changes(m_db) == 0)
            return FailWith(what, QStringLiteral("no archived entry has the key %1").arg(id));
    }
    if (!transaction.Commit())
        return Fail(what);
    return true;
}

bool CHistoryArchive::UpdateEntry(int64_t id, const CEntryInfo& entry)
{
    const std::pair<int64_t, const CEntryInfo*> edit(id, &entry);
    return UpdateEntries(std::span(&edit, 1));
}

bool CHistoryArchive::RestoreChoices(std::span<const std::unique_ptr<CEntryInfo>> entries,
                                     const std::vector<int64_t>& ids)
{
    const QString what = QStringLiteral("reading the archived choices");
    if (entries.size() != ids.size())
        return FailWith(what, QStringLiteral("%1 keys for %2 entries").arg(ids.size()).arg(entries.size()));
    if (!EnsureOpen())
        return false;
    CStatement read(m_db, "SELECT apply, destination, remarks FROM record WHERE id = ?1");
    for (size_t i = 0; i < entries.size(); ++i) {
        read.Reset();
        read.Int(1, ids[i]);
        const int rc = read.Step();
        if (rc == SQLITE_DONE)
            return FailWith(what, QStringLiteral("no archived entry has the key %1").arg(ids[i]));
        if (rc != SQLITE_ROW)
            return Fail(what);
        entries[i]->apply = static_cast<uint8_t>(read.ColumnInt(0));
        entries[i]->destination = read.ColumnText(1);
        entries[i]->remarks = read.ColumnText(2);
    }
    return true;
}

bool CHistoryArchive::RestoreTimes(std::span<const std::unique_ptr<CEntryInfo>> entries,
                                   const std::vector<int64_t>& ids)
{
    const QString what = QStringLiteral("reading the archived gate times");
    if (entries.size() != ids.size())
        return FailWith(what, QStringLiteral("%1 keys for %2 entries").arg(ids.size()).arg(entries.size()));
    if (!EnsureOpen())
        return false;
    CStatement read(m_db, "SELECT entry_time, exit_time FROM record WHERE id = ?1");
    for (size_t i = 0; i < entries.size(); ++i) {
        read.Reset();
        read.Int(1, ids[i]);
        const int rc = read.Step();
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return Fail(what);
        if (rc == SQLITE_DONE)
            continue;
        if (!read.ColumnIsNull(0))
            entries[i]->entryTime = static_cast<int16_t>(read.ColumnInt(0));
        if (!read.ColumnIsNull(1))
            entries[i]->exitTime = static_cast<int16_t>(read.ColumnInt(1));
    }
    return true;
}

bool CHistoryArchive::Entries(const SArchiveQuery& query, CEntryList& entries, std::vector<int64_t>& ids)
{
    entries.clear();
    ids.clear();
    if (!EnsureOpen())
        return false;
    CStatement select(m_db, SelectEntriesSql(query.idm.has_value()).c_str());
    if (!select.Prepared())
        return Fail(QStringLiteral("reading the entries"));
    if (query.idm)
        select.Idm(1, *query.idm);
    select.Int(2, query.from.isNull() ? 0 : ArchiveDay(query.from));
    select.Int(3, query.to.isNull() ? 99991231 : ArchiveDay(query.to));
    std::vector<int64_t> sequences;
    std::vector<int64_t> days;
    int rc = SQLITE_ROW;
    while ((rc = select.Step()) == SQLITE_ROW) {
        auto entry = std::make_unique<CEntryInfo>();
        select.ColumnBytes(1, entry->idm);
        ReadEntry(select, 5, *entry);
        entry->amountKnown = select.ColumnInt(4) != 0;
        ids.push_back(select.ColumnInt(0));
        sequences.push_back(select.ColumnInt(2));
        days.push_back(select.ColumnInt(3));
        entries.push_back(std::move(entry));
    }
    if (rc != SQLITE_DONE) {
        entries.clear();
        ids.clear();
        return Fail(QStringLiteral("reading the entries"));
    }
    OrderWrappedDays(entries, ids, days, sequences);
    return true;
}

bool CHistoryArchive::ReadGaps(const std::optional<IdmBytes>& idm, std::vector<SArchiveGap>& gaps, const QDate& from,
                                const QDate& to)
{
    gaps.clear();
    // Of one card, the days from .. to and the nearest day with records on either
    // side: a gap touching the period has its records there, and a month of a long
    // history reads a month's records, not all.
    CStatement select(m_db, idm ? "SELECT idm, id, seq24, day, process_kind FROM record WHERE idm = ?1 AND day BETWEEN "
                                  "coalesce((SELECT max(day) FROM record WHERE idm = ?1 AND day < ?2), ?2) AND "
                                  "coalesce((SELECT min(day) FROM record WHERE idm = ?1 AND day > ?3), ?3)"
                                : "SELECT idm, id, seq24, day, process_kind FROM record");
    if (idm) {
        select.Idm(1, *idm);
        select.Int(2, from.isNull() ? 0 : ArchiveDay(from));
        select.Int(3, to.isNull() ? 99991231 : ArchiveDay(to));
    }
    std::vector<SCounterMark> marks;
    int rc = SQLITE_ROW;
    while ((rc = select.Step()) == SQLITE_ROW) {
        SCounterMark mark;
        select.ColumnBytes(0, mark.idm);
        mark.id = select.ColumnInt(1);
        mark.sequence = select.ColumnInt(2);
        mark.day = static_cast<int>(select.ColumnInt(3));
        mark.startsRun = StartsCounter(static_cast<uint8_t>(select.ColumnInt(4)));
        marks.push_back(mark);
    }
    if (rc != SQLITE_DONE)
        return false;
    gaps = FindGaps(std::move(marks));
    return true;
}

bool CHistoryArchive::Gaps(const SArchiveQuery& query, std::vector<SArchiveGap>& gaps)
{
    gaps.clear();
    if (!EnsureOpen())
        return false;
    // Neighbours may lie outside the period: ReadGaps looks a day with records beyond it on either side.
    if (!ReadGaps(query.idm, gaps, query.from, query.to))
        return Fail(QStringLiteral("looking for unread records"));
    std::erase_if(gaps, [&query](const SArchiveGap& gap) { return !GapTouchesPeriod(gap, query.from, query.to); });
    return true;
}

bool CHistoryArchive::Cards(std::vector<SArchivedCard>& cards)
{
    cards.clear();
    if (!EnsureOpen())
        return false;
    CStatement select(m_db,
                      "SELECT c.idm, c.name, c.last_read, count(r.id), min(r.day), max(r.day) "
                      "FROM card c LEFT JOIN record r ON r.idm = c.idm "
                      "GROUP BY c.idm ORDER BY c.read_order DESC, c.idm");
    int rc = SQLITE_ROW;
    while ((rc = select.Step()) == SQLITE_ROW) {
        SArchivedCard card;
        select.ColumnBytes(0, card.idm);
        card.strName = select.ColumnText(1);
        card.lastRead = select.ColumnInt(2);
        card.nEntries = select.ColumnInt(3);
        if (!select.ColumnIsNull(4)) {
            card.firstDay = DateOfArchiveDay(static_cast<int>(select.ColumnInt(4)));
            card.lastDay = DateOfArchiveDay(static_cast<int>(select.ColumnInt(5)));
        }
        cards.push_back(card);
    }
    bool estimated = rc == SQLITE_DONE;
    for (size_t i = 0; estimated && i < cards.size(); ++i)
        estimated = EstimateCardReadBy(cards[i].idm, cards[i].readBy);
    if (!estimated) {
        cards.clear();
        return Fail(QStringLiteral("reading the cards"));
    }
    return true;
}

std::optional<QDate> CHistoryArchive::ReadBy(const IdmBytes& idm)
{
    std::optional<QDate> readBy;
    if (!EnsureOpen())
        return std::nullopt;
    if (!EstimateCardReadBy(idm, readBy)) {
        Fail(QStringLiteral("estimating the day to read the card by"));
        return std::nullopt;
    }
    return readBy;
}

bool CHistoryArchive::EstimateCardReadBy(const IdmBytes& idm, std::optional<QDate>& readBy)
{
    readBy.reset();
    CStatement bounds(m_db, "SELECT min(day), max(day) FROM record WHERE idm = ?1");
    bounds.Idm(1, idm);
    if (bounds.Step() != SQLITE_ROW)
        return false;
    if (bounds.ColumnIsNull(0))
        return true;
    const QDate first = DateOfArchiveDay(static_cast<int>(bounds.ColumnInt(0)));
    const QDate start = DateOfArchiveDay(static_cast<int>(bounds.ColumnInt(1))).addDays(1 - kPaceDays);
    CStatement perDay(m_db, "SELECT day, count(*) FROM record WHERE idm = ?1 AND day >= ?2 GROUP BY day");
    perDay.Idm(1, idm).Int(2, ArchiveDay(start));
    std::vector<SDayRecords> days;
    // An older first day widens the span to the whole kPaceDays; its records are not counted.
    if (first < start)
        days.push_back({first, 0});
    int rc = SQLITE_ROW;
    while ((rc = perDay.Step()) == SQLITE_ROW)
        days.push_back({DateOfArchiveDay(static_cast<int>(perDay.ColumnInt(0))), perDay.ColumnInt(1)});
    if (rc != SQLITE_DONE)
        return false;
    readBy = EstimateReadBy(days);
    return true;
}

bool CHistoryArchive::SetCardName(const IdmBytes& idm, const QString& name)
{
    const QString what = QStringLiteral("naming the card");
    if (!EnsureWritable(what))
        return false;
    CStatement update(m_db, "UPDATE card SET name = ?2 WHERE idm = ?1");
    update.Idm(1, idm).Text(2, name);
    if (update.Step() != SQLITE_DONE)
        return Fail(what);
    if (sqlite3_changes(m_db) == 0)
        return FailWith(what, QStringLiteral("the archive holds no card %1").arg(IdmText(idm)));
    return true;
}

bool CHistoryArchive::DeleteCard(const IdmBytes& idm, int64_t* deleted)
{
    const QString what = QStringLiteral("deleting the card's history");
    if (!EnsureWritable(what))
        return false;
    CTransaction transaction(m_db);
    if (!transaction.Begun())
        return Fail(what);
    CStatement records(m_db, "DELETE FROM record WHERE idm = ?1");
    records.Idm(1, idm);
    if (records.Step() != SQLITE_DONE)
        return Fail(what);
    const int64_t count = sqlite3_changes64(m_db);
    CStatement card(m_db, "DELETE FROM card WHERE idm = ?1");
    card.Idm(1, idm);
    if (card.Step() != SQLITE_DONE || !transaction.Commit())
        return Fail(what);
    if (deleted)
        *deleted = count;
    return true;
}

bool CHistoryArchive::KeepPending(SPendingWrite write)
{
    // A write taken from the folder is there still; a refusal of another kind
    // (a full disk, a read-only folder) would refuse the pending file as well.
    if (m_bTakingInPending || !(WasLocked() || IsDamaged()))
        return false;
    const CPendingWrites pending(m_strPath);
    QString error;
    if (!pending.Keep(write, error)) {
        m_strLastError += QStringLiteral("; it could not be kept for later either: ") + error;
        return false;
    }
    m_strLastError += QStringLiteral("; kept in %1, to be taken in when the archive is next opened").arg(pending.Folder());
    return false;
}

void CHistoryArchive::TakeInPending()
{
    const CPendingWrites pending(m_strPath);
    const QStringList files = pending.Files();
    if (files.isEmpty() || !CheckSound()) {
        m_strLastError.clear();
        return; // a damaged archive takes them in once it is recovered
    }
    m_bTakingInPending = true;
    for (const QString& file : files) {
        SPendingWrite write;
        if (!CPendingWrites::Load(file, write)) {
            CPendingWrites::SetAside(file);
            continue;
        }
        bool written = false;
        switch (write.kind) {
        case SPendingWrite::Kind::Read:
            written = write.blocks.size() == write.entries.size() && WriteRead(write.idm, write.blocks, write.entries, nullptr);
            break;
        case SPendingWrite::Kind::Import:
            written = WriteImport(write.entries, nullptr);
            break;
        case SPendingWrite::Kind::Edit: {
            // A key deleted since may have been given to another trip: only the
            // trip that was edited takes the edit.
            CStatement key(m_db, "SELECT entry_key FROM record WHERE id = ?1 AND idm = ?2");
            std::vector<std::pair<int64_t, const CEntryInfo*>> edits;
            for (size_t i = 0; i < std::min(write.ids.size(), write.entries.size()); ++i) {
                key.Reset();
                key.Int(1, write.ids[i]).Idm(2, write.entries[i]->idm);
                if (key.Step() == SQLITE_ROW && key.ColumnText(0) == EntryKey(*write.entries[i]))
                    edits.emplace_back(write.ids[i], write.entries[i].get());
            }
            written = WriteEdits(edits);
            break;
        }
        }
        if (written)
            CPendingWrites::Remove(file);
        else if (WasLocked())
            break; // still held: the next open tries again
        else
            CPendingWrites::SetAside(file);
    }
    m_bTakingInPending = false;
    m_strLastError.clear();
}
