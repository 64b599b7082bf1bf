#include "claim/ClaimReport.h"

#include "card/FormatAmount.h"
#include "card/HistoryDecoder.h"
#include "card/ProcessKinds.h"
#include "claim/ClaimCsvWriter.h"
#include "resources/StringTable.h"

#include <QByteArray>

#include <algorithm>
#include <limits>

SClaimReport MakeClaimReport(const std::vector<const CEntryInfo*>& shown, bool applyOnly, const CClaimPeriod& period,
                             const CCardRecord& card, QDate printDate, const SClaimHeader& header)
{
    SClaimReport report;
    report.header = header;
    report.period = period;
    report.rows = ClaimRows(shown, applyOnly);
    report.idm = ClaimCardIdm(card, report.rows);
    report.printDate = printDate;
    return report;
}

CClaimPeriod SClaimReport::Days() const
{
    // The list may be sorted by any column: the days are the earliest and the latest.
    QDate first;
    QDate last;
    for (const CEntryInfo* entry : rows) {
        const QDate day = EntryDay(*entry);
        if (!day.isValid())
            continue;
        first = first.isNull() ? day : std::min(first, day);
        last = last.isNull() ? day : std::max(last, day);
    }
    return {period.m_from.isNull() ? first : period.m_from, period.m_to.isNull() ? last : period.m_to};
}

QDate SClaimReport::ClaimDate() const
{
    return header.date.isNull() ? printDate : header.date;
}

QString ClaimRoute(const CEntryInfo& entry)
{
    if (IsBusBlock(entry.terminalKind, entry.processKind))
        return entry.exitCompany;
    if (entry.entryStationName.isEmpty() || entry.exitStationName.isEmpty())
        return entry.entryStationName + entry.exitStationName;
    return LoadResString(IDS_REPORT_ROUTE).arg(entry.entryStationName, entry.exitStationName);
}

QString ClaimCompany(const CEntryInfo& entry)
{
    if (entry.entryCompany.isEmpty() || entry.entryCompany == entry.exitCompany)
        return entry.exitCompany;
    if (entry.exitCompany.isEmpty())
        return entry.entryCompany;
    return entry.entryCompany + QStringLiteral("・") + entry.exitCompany;
}

int64_t ClaimTotal(const std::vector<const CEntryInfo*>& rows)
{
    int64_t total = 0;
    for (const CEntryInfo* entry : rows) {
        if (CountsTowardsClaim(*entry))
            total += entry->amount;
    }
    return total;
}

QString ClaimAmountText(int64_t amount)
{
    const auto clamped = static_cast<int32_t>(std::min<int64_t>(amount, std::numeric_limits<int32_t>::max()));
    return FormatAmount(clamped).trimmed();
}

int64_t ClaimedTrips(const std::vector<const CEntryInfo*>& rows)
{
    return std::count_if(rows.begin(), rows.end(), [](const CEntryInfo* entry) { return CountsTowardsClaim(*entry); });
}

QString ClaimCardIdm(const CCardRecord& card, const std::vector<const CEntryInfo*>& rows)
{
    const bool cardRead = std::any_of(card.idm.begin(), card.idm.end(), [](uint8_t b) { return b != 0; });
    if (!cardRead && rows.empty())
        return {};
    const IdmBytes& idm = cardRead ? card.idm : rows.front()->idm;
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(idm.data()), static_cast<qsizetype>(idm.size())).toHex().toUpper());
}
