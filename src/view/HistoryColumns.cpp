#include "view/HistoryColumns.h"

#include "card/FormatAmount.h"
#include "resources/StringTable.h"

#include <QDateTime>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

namespace {

constexpr Qt::Alignment kCentre = Qt::AlignHCenter | Qt::AlignVCenter;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;

QString DateText(int64_t dateTime)
{
    // From 1970 to 2038 QDateTime's local time is the C library's; asking that
    // directly is several times faster, which a list or a file of 100,000 rows feels.
    tm local{};
    const auto seconds = static_cast<time_t>(dateTime);
    if (dateTime >= 0 && dateTime <= std::numeric_limits<int32_t>::max() && localtime_r(&seconds, &local)) {
        char text[40];
        std::snprintf(text, sizeof text, "%04d/%02d/%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
        return QString::fromLatin1(text);
    }
    const QDateTime moment = QDateTime::fromSecsSinceEpoch(dateTime, Qt::LocalTime);
    return moment.isValid() ? moment.toString(QStringLiteral("yyyy/MM/dd")) : QString();
}

} // namespace

int32_t AmountMagnitude(int32_t amount)
{
    // INT32_MIN has no positive twin; a stored file may still hold it.
    const int64_t wide = std::llabs(static_cast<int64_t>(amount));
    return static_cast<int32_t>(std::min<int64_t>(wide, std::numeric_limits<int32_t>::max()));
}

const std::array<HistoryColumn, kHistoryColumnCount>& HistoryColumns()
{
    static const std::array<HistoryColumn, kHistoryColumnCount> columns = {{
        {IDS_COL_APPLY, kCentre, -1},
        {IDS_COL_DATE, kCentre, 80},
        {IDS_COL_ENTRY_COMPANY, kLeft, 120},
        {IDS_COL_ENTRY_LINE, kLeft, -1},
        {IDS_COL_ENTRY_STATION, kLeft, 120},
        {IDS_COL_EXIT_COMPANY, kLeft, 120},
        {IDS_COL_EXIT_LINE, kLeft, -1},
        {IDS_COL_EXIT_STATION, kLeft, 120},
        {IDS_COL_AMOUNT, kRight, 80},
        {IDS_COL_BALANCE, kRight, 80},
        {IDS_COL_DESTINATION, kLeft, -1},
        {IDS_COL_REMARKS, kLeft, 120},
    }};
    return columns;
}

QString HistoryCellText(const CEntryInfo& entry, int column)
{
    switch (column) {
    case 1: return DateText(entry.dateTime);
    case 2: return entry.entryCompany;
    case 3: return entry.entryLineName;
    case 4: return entry.entryStationName;
    case 5: return entry.exitCompany;
    case 6: return entry.exitLineName;
    case 7: return entry.exitStationName;
    case 8: return entry.amountKnown ? FormatAmount(AmountMagnitude(entry.amount)) : LoadResString(IDS_AMOUNT_UNKNOWN);
    case 9: return FormatAmount(entry.balance);
    case 10: return entry.destination;
    case 11: return entry.remarks;
    default: return QString();
    }
}
