// The card read last: what the read driver writes and the read pass reads.
#pragma once

#include <array>
#include <cstdint>

struct CCardRecord {
    uint16_t kind = 0;                 // 3 after a successful read
    std::array<uint8_t, 8> idm{};
    std::array<uint8_t, 8> pmm{};
};
