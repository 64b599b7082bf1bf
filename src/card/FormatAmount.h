#pragma once

#include <QString>

#include <cstdint>

// Yen amount with one thousands comma, padded to six characters below 100000:
// 0 -> "     0", 1500 -> " 1,500", 1234567 -> "1234,567".
QString FormatAmount(int32_t amount);

// An amount with the yen sign of the string table: 1500 -> " 1,500円".
QString FormatYen(int32_t amount);
