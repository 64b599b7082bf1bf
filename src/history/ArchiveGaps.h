// Records a card made that were never read: between two archived records that
// are neighbours in the card's order but whose counters are more than one apart.
#pragma once

#include "card/EntryInfo.h"

#include <QDate>

#include <cstdint>
#include <span>
#include <vector>

// One archived record as the gap finding sees it.
struct SCounterMark {
    IdmBytes idm{};
    int64_t id = 0;                // the archive key
    int64_t sequence = 0;          // the 24-bit counter
    int day = 0;                   // the card's calendar day, YYYYMMDD
    bool startsRun = false;        // a new-issue or reissue record
};

struct SArchiveGap {
    IdmBytes idm{};
    int64_t nMissing = 0;
    int64_t afterSequence = 0;     // the archived records on either side
    int64_t beforeSequence = 0;
    QDate afterDay;
    QDate beforeDay;
    int64_t afterId = 0;
    int64_t beforeId = 0;
};

// The gaps of marks (any order), each card's oldest first. Marks are taken in
// the card's order: by day, then by counter, a wrap of the counter within a day
// kept in order. Between neighbours the counter goes up by one modulo 2^24; a
// record that starts a run, or a counter that goes back (a new run whose first
// record was never read), encloses no gap.
std::vector<SArchiveGap> FindGaps(std::vector<SCounterMark> marks);

// Whether gap lies, at least in part, within the days from .. to (null: open).
bool GapTouchesPeriod(const SArchiveGap& gap, const QDate& from, const QDate& to);
