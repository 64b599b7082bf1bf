// The claim report 交通費精算書: what it shows, apart from how it is painted.
#pragma once

#include "card/CardRecord.h"
#include "card/EntryInfo.h"
#include "claim/ClaimHeader.h"
#include "claim/ClaimPeriod.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <vector>

// Records the card made in the period that no read caught (the archive's gaps).
struct SUnreadTrips {
    int64_t nCount = 0;
    QDate from;     // the days of the archived records on either side
    QDate to;
};

struct SClaimReport {
    QString idm;                            // the card's IDm, 16 hex digits; may be empty
    QString cardName;                       // what the person calls the card; may be empty
    CClaimPeriod period;
    std::vector<const CEntryInfo*> rows;    // the rows an export would write, in order
    QDate printDate;
    SClaimHeader header;
    SUnreadTrips unread;

    // The period's first and last day: an open end (every day, or one bound
    // only) is the day of the first or last row printed.
    CClaimPeriod Days() const;
    // 申請日: the header's date, else the day of printing.
    QDate ClaimDate() const;
    bool bShowTime = false;                 // a 時刻 column after the date
};

// The report of the rows shown (period and filter already applied): only the
// claimed ones when applyOnly, as the export would write them.
SClaimReport MakeClaimReport(const std::vector<const CEntryInfo*>& shown, bool applyOnly, const CClaimPeriod& period,
                             const CCardRecord& card, QDate printDate, const SClaimHeader& header = {});

// "入場駅 → 出場駅" for a train, the bus company for a bus ride; a lone station
// for an entry that has only one.
QString ClaimRoute(const CEntryInfo& entry);
// The company or companies the ride was with.
QString ClaimCompany(const CEntryInfo& entry);
// The sum of the amounts of the rows that count towards the claim; a charge
// counts for nothing.
int64_t ClaimTotal(const std::vector<const CEntryInfo*>& rows);
// An amount as the report prints it: "1,500", without the yen sign.
QString ClaimAmountText(int64_t amount);
// The number of rows that count towards the claim.
int64_t ClaimedTrips(const std::vector<const CEntryInfo*>& rows);
// The IDm of the card read last, or of the first row when no card was read
// (an entry file keeps it in each entry).
QString ClaimCardIdm(const CCardRecord& card, const std::vector<const CEntryInfo*>& rows);
