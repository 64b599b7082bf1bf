#include "felicausb/CardResponseTime.h"

std::chrono::microseconds CardResponseTime(uint8_t pmmByte, unsigned blocks)
{
    const uint64_t base = (pmmByte & 0x07u) + 1;
    const uint64_t perBlock = ((pmmByte >> 3) & 0x07u) + 1;
    const uint64_t scale = uint64_t{1} << (2 * (pmmByte >> 6));
    // In tenths of a microsecond, so that 302.1 us stays exact.
    const uint64_t tenths = 3021 * (perBlock * blocks + base) * scale;
    return std::chrono::microseconds((tenths + 9) / 10);
}
