// What the history archive knows about a claim report's card: the name the
// person gave it in 履歴のカード, and the records of the period no read caught.
#pragma once

#include "claim/ClaimReport.h"
#include "history/ArchiveGaps.h"

#include <vector>

class CHistoryArchive;

// The gaps summed, between the earliest record before one and the latest
// after one: several gaps read as one span, so the line names every day that
// may hold an unread trip.
SUnreadTrips UnreadTrips(const std::vector<SArchiveGap>& gaps);

// Puts the card's name and the unread trips of the report's days into report;
// an archive without the card changes nothing. False with the archive's
// LastError() when it cannot be read.
bool AddArchiveFacts(CHistoryArchive& archive, SClaimReport& report);
