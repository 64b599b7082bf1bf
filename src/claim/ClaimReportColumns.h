// The columns of the claim report's table: a column is one entry of the list,
// so a column more is a line more.
#pragma once

#include "card/EntryInfo.h"

#include <Qt>
#include <QString>

#include <vector>

struct SReportColumn {
    int titleId;
    double width;               // relative: the table's width is shared out in proportion
    Qt::Alignment alignment;
    bool wraps;                 // a long text goes on to further lines instead of being cut
    QString (*text)(const CEntryInfo& entry);
};

// 日付, (時刻,) 区間, 会社, 金額, 訪問先, 備考, left to right.
const std::vector<SReportColumn>& ClaimReportColumns(bool showTime);
// The column that holds the amount, for the total below it.
int ClaimReportAmountColumn(bool showTime);
