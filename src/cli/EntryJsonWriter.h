// Entries as JSON, every field under its record name, in the record's order.
#pragma once

#include "card/CardRecord.h"
#include "card/EntryInfo.h"

#include <QByteArray>

#include <optional>

struct SCardSummary {
    CCardRecord card;
    int32_t balance = -1;
};

// One JSON document: {"card": {...}} for a read card, {"time": n} for a loaded
// file, then "entries", oldest first. UTF-8, ending in a line feed.
QByteArray EntriesToJson(const CEntryList& entries, const std::optional<SCardSummary>& card,
                         const std::optional<int64_t>& time);

// Eight bytes as sixteen upper-case hex digits.
QByteArray HexText(const uint8_t* bytes, size_t count);
