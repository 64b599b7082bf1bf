// The twelve columns of the history list and the text each shows for an entry;
// shared by the list and the command-line tool's CSV, so both read the same.
#pragma once

#include "card/EntryInfo.h"

#include <QString>
#include <Qt>

#include <array>

struct HistoryColumn {
    int titleId;            // string table id of the title
    Qt::Alignment alignment;
    int defaultWidth;       // -1: the column has no width of its own
};

constexpr int kHistoryColumnCount = 12;
constexpr int kHistoryBalanceColumn = 9;

const std::array<HistoryColumn, kHistoryColumnCount>& HistoryColumns();

// Cell text of column for entry; column 0 holds only the check box and is empty.
QString HistoryCellText(const CEntryInfo& entry, int column);

// The figure "料金/入金額" shows for amount: a charge as its magnitude.
int32_t AmountMagnitude(int32_t amount);
