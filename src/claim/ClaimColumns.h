// The columns a claim export can hold: the history list's twelve, numbered from
// 1 as a person counts them, and the distance and the gate times after them.
#pragma once

#include "card/EntryInfo.h"

#include <QString>

#include <vector>

constexpr int kClaimColumnCount = 14;
constexpr int kClaimDistanceColumn = 13;
constexpr int kClaimTimeColumn = 14;
// 日付, 入場駅名, 出場駅名, 料金/入金額, 訪問先, 備考
inline constexpr const char* kDefaultClaimColumns = "2,5,8,9,11,12";

QString ClaimColumnTitle(int column);
// The text a spreadsheet takes: 1 or 0 for "申請", amounts as plain integers
// (a charge as its magnitude), dates as YYYY/MM/DD, the distance in km.
QString ClaimCellText(const CEntryInfo& entry, int column);

// "2,5,8" into its column numbers, in that order; false (columns untouched)
// for an empty list or a field that is not a column number.
bool ParseClaimColumns(const QString& text, std::vector<int>& columns);
QString ClaimColumnsText(const std::vector<int>& columns);
