// Entries as JSON, every field under its record name, in the record's order.
#pragma once

#include "card/CardRecord.h"
#include "card/EntryInfo.h"
#include "history/ArchiveGaps.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <optional>

class COutputSink;

struct SCardSummary {
    CCardRecord card;
    int32_t balance = -1;
    std::vector<SArchiveGap> gaps; // the gaps the read left in the archive
    std::optional<QDate> readBy;   // the card's day to be read by, from the archive; none without
};

// One JSON document: {"card": {...}, "gaps": [...]} for a read card, {"time": n}
// for a loaded file, then "entries", oldest first. UTF-8, ending in a line feed. Written
// entry by entry, so the text never exists whole.
void WriteEntriesJson(COutputSink& out, const CEntryList& entries, const std::optional<SCardSummary>& card,
                      const std::optional<int64_t>& time);
// {"gaps": [...]}, each card's oldest first.
void WriteGapsJson(COutputSink& out, const std::vector<SArchiveGap>& gaps);

// The same document as one text.
QByteArray EntriesToJson(const CEntryList& entries, const std::optional<SCardSummary>& card,
                         const std::optional<int64_t>& time);

// A JSON string literal, quotes included: UTF-8, with the escapes of Qt's JSON
// writer (\" \\ \b \f \n \r \t, \u00xx for other control characters, \uxxxx for
// a UTF-16 unit that is no whole character).
void WriteJsonString(COutputSink& out, const QString& text);

// "YYYY-MM-DD" with its quotes, or null for a null or absent day.
void WriteJsonDay(COutputSink& out, const std::optional<QDate>& day);

// Eight bytes as sixteen upper-case hex digits.
QByteArray HexText(const uint8_t* bytes, size_t count);
