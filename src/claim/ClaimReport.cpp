#include "claim/ClaimReport.h"

#include "card/HistoryDecoder.h"
#include "card/ProcessKinds.h"
#include "claim/ClaimCsvWriter.h"
#include "resources/StringTable.h"

#include <QByteArray>

#include <algorithm>

SClaimReport MakeClaimReport(const std::vector<const CEntryInfo*>& shown, bool applyOnly, const CClaimPeriod& period,
                             const CCardRecord& card, QDate printDate)
{
    SClaimReport report;
    report.period = period;
    report.rows = ClaimRows(shown, applyOnly);
    report.idm = ClaimCardIdm(card, report.rows);
    report.printDate = printDate;
    return report;
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

QString ClaimCardIdm(const CCardRecord& card, const std::vector<const CEntryInfo*>& rows)
{
    const bool cardRead = std::any_of(card.idm.begin(), card.idm.end(), [](uint8_t b) { return b != 0; });
    if (!cardRead && rows.empty())
        return {};
    const IdmBytes& idm = cardRead ? card.idm : rows.front()->idm;
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(idm.data()), static_cast<qsizetype>(idm.size())).toHex().toUpper());
}
