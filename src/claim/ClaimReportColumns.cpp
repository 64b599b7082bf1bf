#include "claim/ClaimReportColumns.h"

#include "card/GateLog.h"
#include "card/ProcessKinds.h"
#include "claim/ClaimReport.h"
#include "resources/StringTable.h"
#include "view/HistoryColumns.h"

#include <algorithm>

namespace {

QString DateText(const CEntryInfo& entry)
{
    return HistoryCellText(entry, 1);
}

QString AmountCellText(const CEntryInfo& entry)
{
    // A fare the card no longer holds is not a free trip.
    if (!entry.amountKnown)
        return LoadResString(IDS_AMOUNT_UNKNOWN);
    return ClaimAmountText(AmountMagnitude(entry.amount));
}

QString DestinationText(const CEntryInfo& entry)
{
    return entry.destination;
}

QString RemarksText(const CEntryInfo& entry)
{
    return entry.remarks;
}

} // namespace

const std::vector<SReportColumn>& ClaimReportColumns(bool showTime)
{
    static const std::vector<SReportColumn> columns = {
        {IDS_COL_DATE, 14, Qt::AlignHCenter, false, DateText},
        {IDS_REPORT_SECTION, 24, Qt::AlignLeft, true, ClaimRoute},
        {IDS_REPORT_COMPANY, 13, Qt::AlignLeft, true, ClaimCompany},
        {IDS_REPORT_AMOUNT, 10, Qt::AlignRight, false, AmountCellText},
        {IDS_COL_DESTINATION, 17, Qt::AlignLeft, true, DestinationText},
        {IDS_COL_REMARKS, 22, Qt::AlignLeft, true, RemarksText},
    };
    // "08:12–08:40" is a little wider than a date; the route gives up the most room.
    static const std::vector<SReportColumn> withTime = {
        {IDS_COL_DATE, 14, Qt::AlignHCenter, false, DateText},
        {IDS_COL_TIME, 16, Qt::AlignHCenter, false, GateTimesText},
        {IDS_REPORT_SECTION, 18, Qt::AlignLeft, true, ClaimRoute},
        {IDS_REPORT_COMPANY, 11, Qt::AlignLeft, true, ClaimCompany},
        {IDS_REPORT_AMOUNT, 10, Qt::AlignRight, false, AmountCellText},
        {IDS_COL_DESTINATION, 14, Qt::AlignLeft, true, DestinationText},
        {IDS_COL_REMARKS, 17, Qt::AlignLeft, true, RemarksText},
    };
    return showTime ? withTime : columns;
}

int ClaimReportAmountColumn(bool showTime)
{
    const std::vector<SReportColumn>& columns = ClaimReportColumns(showTime);
    const auto amount = std::find_if(columns.begin(), columns.end(),
                                     [](const SReportColumn& column) { return column.titleId == IDS_REPORT_AMOUNT; });
    return static_cast<int>(amount - columns.begin());
}
