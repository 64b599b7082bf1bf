// The history archive: every history block ever read from each card, with the
// entry decoded from it and what the person set on it, in one SQLite file per user.
#pragma once

#include "card/EntryInfo.h"
#include "card/HistoryBlock.h"
#include "history/ArchiveGaps.h"
#include "history/ArchiveSchema.h"
#include "history/PendingWrites.h"
#include "history/ReadByEstimate.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

struct sqlite3;

struct SArchiveOptions {
    // How long a write waits for another program's write to end. Long enough for
    // any merge of another program to finish; a write that still finds the
    // archive held is kept in the pending folder beside it (CPendingWrites) and
    // taken in at the next open.
    int nBusyTimeoutMs = 5000;
    // Schema changes after version 1; tests give their own.
    std::vector<SArchiveMigration> migrations = ArchiveMigrations();
    // Pages the file may grow to, 0 for no limit: a full disk, in tests.
    int nMaxPageCount = 0;
};

// What a merge or an import did.
struct SMergeOutcome {
    size_t nAdded = 0;             // records new to the archive
    std::vector<int64_t> ids;      // the archive key of each entry given, in the order given
    std::vector<SArchiveGap> newGaps; // of a read: the gaps beside the records it added
};

// What a recovery saved.
struct SArchiveRecovery {
    int64_t nRecords = 0;          // records copied into the new archive
    int64_t nCards = 0;
    QString strDamagedPath;        // where the damaged file now lies
};

struct SArchivedCard {
    IdmBytes idm{};
    QString strName;               // what the person calls the card; empty until set
    int64_t nEntries = 0;
    QDate firstDay;                // of its oldest and newest entry; null without entries
    QDate lastDay;
    int64_t lastRead = 0;          // seconds since the epoch of the last merge; 0 for imports only
    std::optional<QDate> readBy;   // EstimateReadBy of its records; none below two days of them
};

struct SArchiveQuery {
    std::optional<IdmBytes> idm;   // every card when empty
    QDate from;                    // first day included; null: no lower bound
    QDate to;                      // last day included; null: no upper bound
};

// Every call returns false on failure with the reason in LastError() and leaves
// the file as it was: one transaction each. A call on an archive that is not open
// opens it first, so a lock or a missing folder that has gone away is no lasting
// failure. The first write of a run checks the whole file first and writes
// nothing into a damaged one. A read, an import or an edit that finds the archive
// held by another program, or damaged, is kept in the pending folder and taken
// in at the next open, so it is never lost; the call still fails and says so.
// Days and keys are the card's calendar days, whatever the process's time zone.
// Never throws.
class CHistoryArchive {
public:
    // history.sqlite in the viewer's data folder (QStandardPaths::AppDataLocation
    // under organisation "Ombrel", application "Voluni_Viewer"), whatever name
    // the running program has given itself.
    static QString DefaultPath();

    explicit CHistoryArchive(QString path = DefaultPath(), SArchiveOptions options = {});
    ~CHistoryArchive();
    CHistoryArchive(const CHistoryArchive&) = delete;
    CHistoryArchive& operator=(const CHistoryArchive&) = delete;

    // Creates the folder and the file (mode 0600) as needed, or migrates an older
    // schema: an integrity check, a copy of the file beside it
    // (<path>.v<old version>.bak), then every step in one transaction. A file that
    // is no archive, damaged, of a newer version, unreadable or locked is left
    // untouched. In a folder that cannot be written the archive opens for reading
    // only. Writes kept pending are taken in.
    bool Open();
    bool IsOpen() const { return m_db != nullptr; }
    bool IsReadOnly() const { return m_bReadOnly; }
    // A write found the file damaged: "履歴ファイルが壊れています".
    bool IsDamaged() const { return !m_strDamage.isEmpty(); }
    void Close();
    const QString& Path() const { return m_strPath; }
    // "<path>: <what failed>: <the engine's reason>".
    const QString& LastError() const { return m_strLastError; }

    // The balance of the archived record before block on the card (the
    // neighbour rule in HistoryArchive.cpp), or -1 when none qualifies or the
    // archive cannot be read.
    int32_t BalanceBefore(const IdmBytes& idm, const HistoryBlock& block);

    // Adds the blocks of one successful read that the card's archive lacks.
    // blocks index 0 the newest, as read; entries oldest first, as the read pass
    // appends them (entries[i] decoded from blocks[blocks.size() - 1 - i]).
    // A block already archived keeps its archived entry and the person's choices.
    // The oldest block's amount is computed from the record before it once that
    // is archived, now or by a later merge or import.
    bool MergeRead(const IdmBytes& idm, const HistoryBlockList& blocks,
                   std::span<const std::unique_ptr<CEntryInfo>> entries, SMergeOutcome* outcome = nullptr);

    // Takes entries of an entry file into the archive, each under its card's IDm;
    // an entry whose EntryKey the card's archive holds (from a block or an earlier
    // import) is not added, and what is archived is never changed by an import.
    // A later read of the same trip attaches its block to the imported record.
    bool ImportEntries(std::span<const std::unique_ptr<CEntryInfo>> entries, SMergeOutcome* outcome = nullptr);

    // The key of the archived record of each entry by its card and EntryKey, 0
    // for one the archive lacks; no archive file yet means none is held. Changes nothing.
    bool FindEntries(std::span<const std::unique_ptr<CEntryInfo>> entries, std::vector<int64_t>& ids);

    // Writes apply, destination and remarks of each entry to the archived record of its id.
    bool UpdateEntries(std::span<const std::pair<int64_t, const CEntryInfo*>> edits);
    bool UpdateEntry(int64_t id, const CEntryInfo& entry);

    // Puts the archived apply, destination and remarks into entries (ids as MergeRead gave them).
    bool RestoreChoices(std::span<const std::unique_ptr<CEntryInfo>> entries, const std::vector<int64_t>& ids);
    // Puts the archived gate times into entries (ids as MergeRead gave them): those of
    // an earlier read that this read's gate log no longer holds.
    bool RestoreTimes(std::span<const std::unique_ptr<CEntryInfo>> entries, const std::vector<int64_t>& ids);

    // The entries of the query, oldest first (by day, then the card's counter,
    // a wrap of the counter within a day kept in order), with their keys.
    bool Entries(const SArchiveQuery& query, CEntryList& entries, std::vector<int64_t>& ids);
    // The gaps of the query's cards that lie at least in part within its days,
    // each card's oldest first (FindGaps).
    bool Gaps(const SArchiveQuery& query, std::vector<SArchiveGap>& gaps);
    // Every card, the card read last first.
    bool Cards(std::vector<SArchivedCard>& cards);
    // The day by which the card should be read again (EstimateReadBy); none
    // without an estimate, or when the archive cannot be read (LastError says why).
    std::optional<QDate> ReadBy(const IdmBytes& idm);
    bool SetCardName(const IdmBytes& idm, const QString& name);
    // Deletes the card and all its records; deleting a card that is not there is no failure.
    bool DeleteCard(const IdmBytes& idm, int64_t* deleted = nullptr);

    // Copies what can be read of the archive at path into a new one, puts the
    // damaged file aside as <path>.damaged-<date> and the new one in its place.
    // False with the reason in error, the damaged file then still in place.
    static bool Recover(const QString& path, SArchiveRecovery& outcome, QString& error);

private:
    class CTransaction;

    bool EnsureOpen();
    // Open for writing, and the file checked once in this run.
    bool EnsureWritable(const QString& what);
    bool CheckSound();
    bool Fail(const QString& what);
    bool FailWith(const QString& what, const QString& reason);
    QString EngineReason() const;
    // Another program holds the archive: the last failure was a lock.
    bool WasLocked() const;
    bool OpenConnection(bool readOnly);
    // Keeps a write that failed on a lock or a damaged file; false always.
    bool KeepPending(SPendingWrite write);
    void TakeInPending();
    bool WriteRead(const IdmBytes& idm, const HistoryBlockList& blocks,
                   std::span<const std::unique_ptr<CEntryInfo>> entries, SMergeOutcome* outcome);
    bool WriteImport(std::span<const std::unique_ptr<CEntryInfo>> entries, SMergeOutcome* outcome);
    bool WriteEdits(std::span<const std::pair<int64_t, const CEntryInfo*>> edits);
    bool CreateOrMigrate();
    bool Migrate(int fromVersion);
    bool ResolveUnknownAmounts(const IdmBytes& idm);
    // Every gap of one card touching the days from .. to (null: open), or every
    // gap of all cards when idm is empty; false on a failure.
    bool ReadGaps(const std::optional<IdmBytes>& idm, std::vector<SArchiveGap>& gaps, const QDate& from = {},
                  const QDate& to = {});
    // EstimateReadBy of the card's records into readBy; false on a failure.
    bool EstimateCardReadBy(const IdmBytes& idm, std::optional<QDate>& readBy);
    // The balance of the record before (idm, sequence, day) by the neighbour rule,
    // the record itself (id, 0 when not archived) left out; false on a failure.
    bool PredecessorBalance(const IdmBytes& idm, int64_t sequence, int day, int64_t id,
                            std::optional<int32_t>& balance);

    QString m_strPath;
    SArchiveOptions m_options;
    sqlite3* m_db = nullptr;
    QString m_strLastError;
    int m_nLastCode = 0;           // the engine's extended code of the last failure
    bool m_bReadOnly = false;
    bool m_bChecked = false;
    QString m_strDamage;           // the check's first finding; empty while none
    bool m_bTakingInPending = false;
};
