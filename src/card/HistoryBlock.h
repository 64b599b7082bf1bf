// A raw 16-byte history block exactly as the card returns it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

using HistoryBlock = std::array<uint8_t, 16>;

// Blocks of one card, index 0 the newest.
using HistoryBlockList = std::vector<HistoryBlock>;
