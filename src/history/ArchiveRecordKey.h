// What the history archive knows a record by: the card's sequence counter, the
// card's calendar day, and the key of an entry that came without its block. An
// entry's moment is of the process's zone, whose wall clock is the card's.
#pragma once

#include "card/EntryInfo.h"
#include "card/HistoryBlock.h"

#include <QDate>
#include <QString>

#include <cstdint>

// The counter of bytes 12-14 counts modulo 2^24.
constexpr int64_t kSequenceModulus = int64_t{1} << 24;

// The 24-bit counter of a block, unsigned.
int64_t BlockSequence(const HistoryBlock& block);
// The same counter from a decoded entry, whose sequence the decoder sign-extends.
int64_t EntrySequence(const CEntryInfo& entry);

// The card's calendar day of a moment as YYYYMMDD, the archive's day column.
int ArchiveDay(int64_t dateTime);
int ArchiveDay(const QDate& day);
QDate DateOfArchiveDay(int day);

// The key of a decoded entry: IDm aside, the fields that come straight from its
// block and that every entry-file version keeps (day, and time of day at shops;
// terminal and process kind; both line and station codes; balance; counter;
// region). Payment kind and byte 3 stay out because files before version 3 lack
// them, so an entry read from an old file joins the block it was decoded from.
QString EntryKey(const CEntryInfo& entry);

// A new or reissued card's first record: the counter starts there, so nothing
// archived comes before it.
bool StartsCardHistory(const CEntryInfo& entry);
