// One line of a card's usage history, as shown, kept in the document and stored.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

using IdmBytes = std::array<uint8_t, 8>;

struct CEntryInfo {
    uint8_t reserved = 0;
    uint8_t apply = 0;                 // 1 when the entry counts towards the claim
    IdmBytes idm{};
    uint8_t terminalKind = 0;
    uint8_t processKind = 0;
    uint8_t paymentKind = 0;
    uint8_t rawByte3 = 0;
    int64_t dateTime = 0;              // seconds since 1970-01-01 00:00 UTC
    uint8_t entryArea = 0;
    int32_t entryLine = 0;
    int32_t entryStation = 0;
    QString entryStationName;
    QString entryLineName;
    QString entryCompany;
    double entryLatitude = 0.0;
    double entryLongitude = 0.0;
    uint8_t exitArea = 0;
    int32_t exitLine = 0;              // bus entries: the 16-bit bus line code
    int32_t exitStation = 0;           // bus entries: the 16-bit bus stop code
    QString exitStationName;
    QString exitLineName;
    QString exitCompany;
    double exitLatitude = 0.0;
    double exitLongitude = 0.0;
    int32_t balance = 0;
    int32_t sequence = 0;
    int32_t region = 0;
    int32_t amount = 0;                // positive: paid; negative: charged
    // False while the record before it was never read: amount is then 0, but the
    // fare is not known. Not stored in entry files.
    bool amountKnown = true;
    // Minutes after midnight of the entry's day at the entry and exit gate, from
    // the card's gate log; -1 while not known. Kept in the archive, not in entry files.
    int16_t entryTime = -1;
    int16_t exitTime = -1;
    int32_t distance = 0;              // metres
    float bearing = 0.0f;              // degrees clockwise from north
    QString destination;
    QString remarks;
};

// The owning, ordered list of entries that the document keeps.
using CEntryList = std::vector<std::unique_ptr<CEntryInfo>>;

// The entry that file readers start each stored record from: ticked, kind codes
// 0xFF (no process name) and dated now.
std::unique_ptr<CEntryInfo> MakeBlankEntry();

// The IDm as the program shows it: 16 upper-case hexadecimal digits.
QString IdmText(const IdmBytes& idm);
// "012E4C0012ABCDEF" into its eight bytes, either case; false (idm untouched)
// for anything else.
bool ParseIdm(const QString& text, IdmBytes& idm);
