// The working set of one card read, and the read pass that turns its raw blocks
// into named entries of the document.
#pragma once

#include "CardRecord.h"
#include "EntryInfo.h"
#include "HistoryBlock.h"

#include <QString>

#include <cstdint>

class CAppProfile;

class CCardSession {
public:
    CCardSession(CEntryList* entries, CCardRecord* card) : entries(entries), card(card) {}

    // Decodes blocks oldest first, names stations and bus stops through one
    // station database connection, sets remarks, destinations and distances,
    // and appends the new entries to *entries, all of them or (when a block has
    // an impossible date, CInvalidDateError passes through) none. A database
    // that cannot be opened is reported and the pass goes on without names.
    // Returns the balance of block 0, or -1 without blocks.
    int32_t ImportHistory(const QString& connectString, const QString& password, const CAppProfile& profile);

    // The reader layer's ReadCard fills card and blocks; it joins this class there.

    CEntryList* entries;       // the document's entries; not owned
    CCardRecord* card;         // the document's card record; not owned
    HistoryBlockList blocks;   // index 0 the newest
};
