// The working set of one card read, and the read pass that turns its raw blocks
// into named entries of the document.
#pragma once

#include "card/CardRecord.h"
#include "card/EntryInfo.h"
#include "card/HistoryBlock.h"

#include <QString>

#include <cstdint>
#include <functional>

class CCardReadAttempt;
class CUserNames;

// The visit destination for an exit station's name; empty when none is set.
using DestinationLookup = std::function<QString(const QString& station)>;

class CCardSession {
public:
    CCardSession(CEntryList* entries, CCardRecord* card) : entries(entries), card(card) {}

    // Decodes blocks oldest first, names stations and bus stops through one
    // station database connection and then userNames, sets remarks, destinations and distances,
    // and appends the new entries to *entries, all of them or (when a block has
    // an impossible date, CInvalidDateError passes through) none. A database
    // that cannot be opened is reported and the pass goes on without names.
    // The oldest block's amount follows from balanceBeforeOldest when it is set.
    // The gate log's times go to the entries they belong to.
    // Returns the balance of block 0, or -1 without blocks.
    int32_t ImportHistory(const QString& connectString, const QString& password,
                          const DestinationLookup& destinationFor);

    // Opens the reader and reads the card: 0 with card and blocks filled; -1 the
    // reader could not be opened (or entries/card are missing), -2 no reader (or,
    // without a wait, the single attempt failed), -3 the smart-card service is
    // stopped, -5 the wait ended without a card. wait (a CardWaitFunction of
    // readers/CardReadAttempt.h) runs when nPollingTime > 0.
    // It drives the readers, so it is built with the read command (reading/).
    int ReadCard(int nPollingTime, const std::function<bool(CCardReadAttempt&, int)>& wait);

    CEntryList* entries;       // the document's entries; not owned
    CCardRecord* card;         // the document's card record; not owned
    HistoryBlockList blocks;   // index 0 the newest
    HistoryBlockList gateBlocks; // the gate log, index 0 the newest; empty when it was not read
    // The balance before the oldest block, which the card no longer holds (the
    // history archive may): -1 when unknown, and the oldest amount is then 0.
    int32_t balanceBeforeOldest = -1;
    // The names the person gave, put over the station database's; none when null.
    const CUserNames* userNames = nullptr;
};
