#include "claim/ClaimColumns.h"

#include "card/GateLog.h"
#include "card/ProcessKinds.h"
#include "resources/StringTable.h"
#include "view/HistoryColumns.h"

#include <QStringList>

namespace {

// Columns that are figures rather than names, by their 1-based number.
constexpr int kApplyColumn = 1;
constexpr int kAmountColumn = 9;
constexpr int kBalanceColumn = 10;

} // namespace

QString ClaimColumnTitle(int column)
{
    if (column == kClaimDistanceColumn)
        return LoadResString(IDS_COL_DISTANCE);
    if (column == kClaimTimeColumn)
        return LoadResString(IDS_COL_TIME);
    if (column < 1 || column > kHistoryColumnCount)
        return {};
    return LoadResString(HistoryColumns().at(static_cast<size_t>(column - 1)).titleId);
}

QString ClaimCellText(const CEntryInfo& entry, int column)
{
    switch (column) {
    case kApplyColumn: return QString::number(CountsTowardsClaim(entry) ? 1 : 0);
    case kAmountColumn: return QString::number(AmountMagnitude(entry.amount));
    case kBalanceColumn: return QString::number(entry.balance);
    case kClaimDistanceColumn: return QString::number(entry.distance / 1000.0, 'f', 1);
    case kClaimTimeColumn: return GateTimesText(entry);
    default: return HistoryCellText(entry, column - 1);
    }
}

bool ParseClaimColumns(const QString& text, std::vector<int>& columns)
{
    std::vector<int> parsed;
    for (const QString& field : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int column = field.trimmed().toInt(&ok);
        if (!ok || column < 1 || column > kClaimColumnCount)
            return false;
        parsed.push_back(column);
    }
    if (parsed.empty())
        return false;
    columns = std::move(parsed);
    return true;
}

QString ClaimColumnsText(const std::vector<int>& columns)
{
    QStringList fields;
    for (const int column : columns)
        fields << QString::number(column);
    return fields.join(QLatin1Char(','));
}
