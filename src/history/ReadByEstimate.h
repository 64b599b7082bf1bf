// By when a card must be read again before records no read caught fall off it:
// the card keeps its last 20 records, and its pace is taken from the archive.
#pragma once

#include <QDate>

#include <cstdint>
#include <optional>
#include <span>

// The records a card keeps; one more pushes the oldest off.
constexpr int64_t kCardKeepsRecords = 20;
// The days the pace is taken over, ending on the newest record's day.
constexpr int64_t kPaceDays = 28;

// How many archived records of a card lie on one day.
struct SDayRecords {
    QDate day;
    int64_t nRecords = 0;
};

// The day on which the card, at its pace over the last kPaceDays days of days
// (or all of them, when they span fewer), will have made kCardKeepsRecords
// records after the newest one; none for records on fewer than two days.
// days in any order, each day once.
std::optional<QDate> EstimateReadBy(std::span<const SDayRecords> days);
