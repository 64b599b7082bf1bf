// A card read with the history archive: the oldest record's fare from the record
// before it, then the read merged in. The viewer and the command-line tool both
// read this way.
#pragma once

#include "history/HistoryArchive.h"
#include "reading/CardReadCommand.h"

#include <memory>
#include <span>

// Lets the read pass take the balance before the card's oldest block from archive.
void UseArchiveForRead(SCardReadRequest& request, CHistoryArchive& archive);

// Merges a successful read: its blocks, and the entries it appended (the last
// outcome.nAdded of entries), which get back the gate times the archive keeps. False with the archive's LastError(); the entries
// stay as read either way.
bool ArchiveRead(CHistoryArchive& archive, const CCardRecord& card, const SCardReadOutcome& outcome,
                 std::span<const std::unique_ptr<CEntryInfo>> entries, SMergeOutcome* merged = nullptr);

// What a read says of the gaps it left: one sentence a gap, a line each; empty without.
QString NewGapsText(const std::vector<SArchiveGap>& gaps);
