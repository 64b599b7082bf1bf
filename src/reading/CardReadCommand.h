// The whole card read without a window: find the reader, wait for the card, read
// the card record and blocks, and turn them into entries. The viewer and the
// command-line tool each add only what they show.
#pragma once

#include "card/CardSession.h"
#include "readers/CardReadAttempt.h"
#include "readers/CardReadResult.h"

#include <QString>

#include <cstdint>
#include <functional>

struct SCardReadRequest {
    int nPollingTime = 0;             // ReadCard's polling time: 0 tries once without the wait
    CardWaitFunction wait;
    QString strConnect;               // station database connection string and password
    QString strPassword;
    DestinationLookup destinationFor;
    // The names the person gave, over the station database's; none when null.
    const CUserNames* userNames = nullptr;
    // Runs once the card is read, before the station names are looked up.
    std::function<void()> onCardRead;
    // The balance before the card's oldest block (blocks.back()), from the history
    // archive, or -1 when unknown; asked once the card is read, before decoding.
    std::function<int32_t(const CCardRecord& card, const HistoryBlockList& blocks)> balanceBeforeOldest;
};

struct SCardReadOutcome {
    int nResult = CARD_READ_OK;       // ECardReadResult
    bool bInvalidDate = false;        // a block held an impossible date; nothing was added
    QString strMessage;               // what to tell the person; empty when nothing
    int32_t nBalance = -1;            // the card's balance after a successful read
    size_t nAdded = 0;                // entries appended
    HistoryBlockList blocks;          // the blocks read, index 0 the newest, for the history archive

    bool Succeeded() const { return nResult == CARD_READ_OK && !bInvalidDate; }
};

// Appends the card's entries to entries and fills card; on failure both stay as they were.
SCardReadOutcome RunCardRead(CEntryList& entries, CCardRecord& card, const SCardReadRequest& request);
