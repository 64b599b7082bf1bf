// Turns one raw history block into an entry: codes, date, balance, amount, claim flag.
#pragma once

#include "card/EntryInfo.h"
#include "card/HistoryBlock.h"

#include <memory>
#include <stdexcept>
#include <string>

// A block whose date or time cannot be a calendar moment; it ends the whole read.
class CInvalidDateError : public std::runtime_error {
public:
    CInvalidDateError(int year, int month, int day, int hour, int minute);
    // The fields as the block holds them, "YYYY-MM-DD hh:mm".
    const std::string& DateText() const { return m_date; }

private:
    std::string m_date;
};

// Decodes block. previousBalance is the balance of the next older block (-1
// before the first, oldest block of a read) and is replaced by this block's
// balance. Throws CInvalidDateError for an impossible date or time.
std::unique_ptr<CEntryInfo> DecodeHistoryBlock(const HistoryBlock& block, const IdmBytes& idm,
                                               int32_t& previousBalance);

// Converts a local calendar moment to seconds since the epoch, rolling a day
// past the end of its month into the next. Returns false when the system
// cannot represent it.
bool LocalTimeToSeconds(int year, int month, int day, int hour, int minute, int64_t& seconds);
