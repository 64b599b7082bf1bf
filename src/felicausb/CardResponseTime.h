// How long a FeliCa card may take to answer, as its PMm announces it: one byte per kind of
// command, for reads the sixth. Bits 0-2 give a base A, bits 3-5 a time per block B and
// bits 6-7 an exponent E; the card answers within 302.1 us x ((B + 1) x blocks + A + 1) x 4^E.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

constexpr size_t kPmmReadTimeByte = 5;

// The time for a command on blocks blocks, rounded up to the microsecond.
std::chrono::microseconds CardResponseTime(uint8_t pmmByte, unsigned blocks);
