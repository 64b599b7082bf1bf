// The working set of one card read, and the read pass that turns its raw blocks
// into named entries of the document.
#pragma once

#include "card/CardRecord.h"
#include "card/EntryInfo.h"
#include "card/HistoryBlock.h"

#include <QString>

#include <cstdint>
#include <functional>

class CAppProfile;
class CCardReadAttempt;

// Runs the wait for a card (the wait dialog, or a loop without a window) with one
// read attempt and the polling time; true when the card was read, false when the
// wait ended without it (cancelled, or the failure acknowledged).
using CardWaitFunction = std::function<bool(CCardReadAttempt& attempt, int nPollingTime)>;

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

    // Opens the reader and reads the card: 0 with card and blocks filled; -1 the
    // reader could not be opened (or entries/card are missing), -2 no reader (or,
    // without a wait, the single attempt failed), -3 the smart-card service is
    // stopped, -5 the wait ended without a card. wait runs when nPollingTime > 0.
    int ReadCard(int nPollingTime, const CardWaitFunction& wait);

    CEntryList* entries;       // the document's entries; not owned
    CCardRecord* card;         // the document's card record; not owned
    HistoryBlockList blocks;   // index 0 the newest
};
