// Hex helpers so test data reads like what travels on the wire.
#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// "16 01 00 00" or "16010000" -> bytes; spaces are ignored.
inline std::vector<uint8_t> HexBytes(const std::string& hex)
{
    QByteArray compact = QByteArray::fromStdString(hex);
    compact.replace(' ', QByteArray());
    if (compact.size() % 2 != 0)
        throw std::invalid_argument("odd number of hex digits: " + hex);
    const QByteArray bytes = QByteArray::fromHex(compact);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

template <size_t N>
std::array<uint8_t, N> HexArray(const std::string& hex)
{
    const std::vector<uint8_t> bytes = HexBytes(hex);
    if (bytes.size() != N)
        throw std::invalid_argument("expected " + std::to_string(N) + " bytes: " + hex);
    std::array<uint8_t, N> out{};
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return out;
}
