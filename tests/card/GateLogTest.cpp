#include "HexBytes.h"
#include "card/GateLog.h"
#include "card/HistoryDecoder.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

// Gate blocks: kind, 00, line, station, 00 00, date (2026-12-10 is 35 8A), BCD hhmm, fare (LE), 00 x4.
struct DecodeCase {
    const char* block;
    bool decoded;
    bool entry, pass;
    int minutes, fare;
    friend std::ostream& operator<<(std::ostream& os, const DecodeCase& c) { return os << c.block; }
};

class GateDecode : public testing::TestWithParam<DecodeCase> {};

TEST_P(GateDecode, ReadsKindTimeAndFare)
{
    const DecodeCase& c = GetParam();
    const std::optional<SGateRecord> gate = DecodeGateBlock(HexArray<16>(c.block));
    ASSERT_EQ(gate.has_value(), c.decoded);
    if (!c.decoded)
        return;
    EXPECT_EQ(gate->bEntry, c.entry);
    EXPECT_EQ(gate->bPass, c.pass);
    EXPECT_EQ(gate->minutes, c.minutes);
    EXPECT_EQ(gate->fare, c.fare);
    EXPECT_EQ(gate->line, 0x25);
    EXPECT_EQ(gate->station, 0x10);
    EXPECT_EQ(gate->year, 2026);
    EXPECT_EQ(gate->month, 12);
    EXPECT_EQ(gate->day, 10);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, GateDecode,
    testing::Values(DecodeCase{"A0002510 0000 358A 0812 0000 00000000", true, true, false, 8 * 60 + 12, 0},
                    DecodeCase{"20002510 0000 358A 0840 C800 00000000", true, false, false, 8 * 60 + 40, 200},
                    DecodeCase{"C0002510 0000 358A 2359 0000 00000000", true, true, true, 23 * 60 + 59, 0},
                    DecodeCase{"40002510 0000 358A 0000 2C01 00000000", true, false, true, 0, 300},
                    // Cleared at a staffed gate, an empty slot, no BCD, no hour, no month.
                    DecodeCase{"00002510 0000 358A 0840 C800 00000000", false, false, false, 0, 0},
                    DecodeCase{"00000000 0000 0000 0000 0000 00000000", false, false, false, 0, 0},
                    DecodeCase{"20002510 0000 358A 084A C800 00000000", false, false, false, 0, 0},
                    DecodeCase{"20002510 0000 358A 2400 C800 00000000", false, false, false, 0, 0},
                    DecodeCase{"20002510 0000 35AA 0840 C800 00000000", false, false, false, 0, 0}));

std::unique_ptr<CEntryInfo> Trip(uint8_t terminal, int day, int entryLine, int entryStation, int exitLine,
                                 int exitStation, int amount, bool amountKnown = true)
{
    auto e = std::make_unique<CEntryInfo>();
    e->terminalKind = terminal;
    e->processKind = 0x01;
    EXPECT_TRUE(LocalTimeToSeconds(2026, 12, day, 0, 0, e->dateTime));
    e->entryLine = entryLine;
    e->entryStation = entryStation;
    e->exitLine = exitLine;
    e->exitStation = exitStation;
    e->amount = amount;
    e->amountKnown = amountKnown;
    return e;
}

std::vector<QString> Times(const CEntryList& entries)
{
    std::vector<QString> times;
    for (const auto& e : entries)
        times.push_back(GateTimesText(*e));
    return times;
}

HistoryBlockList Gate(std::initializer_list<const char*> blocks)
{
    HistoryBlockList list;
    for (const char* block : blocks)
        list.push_back(HexArray<16>(block));
    return list;
}

TEST(GateLogMatch, EntryAndExitOfOneTrip)
{
    CEntryList entries;
    entries.push_back(Trip(0x16, 10, 0x25, 0x01, 0x25, 0x10, 200));
    ApplyGateLog(Gate({"20002510 0000 358A 0840 C800 00000000", "A0002501 0000 358A 0812 0000 00000000"}), entries);
    EXPECT_EQ(Times(entries), std::vector<QString>{QStringLiteral("08:12–08:40")});
}

TEST(GateLogMatch, SameStationTwiceADayGoesNewestToNewest)
{
    CEntryList entries; // oldest first: A to X in the morning, B to X in the evening
    entries.push_back(Trip(0x16, 10, 0x25, 0x01, 0x25, 0x10, 200));
    entries.push_back(Trip(0x16, 10, 0x25, 0x02, 0x25, 0x10, 160));
    ApplyGateLog(Gate({"20002510 0000 358A 1805 A000 00000000", "A0002502 0000 358A 1750 0000 00000000",
                       "20002510 0000 358A 0840 C800 00000000"}),
                 entries);
    EXPECT_EQ(Times(entries), (std::vector<QString>{QStringLiteral("–08:40"), QStringLiteral("17:50–18:05")}));
}

TEST(GateLogMatch, FareThatDisagreesIsNotUsedUnlessTheFareIsUnknown)
{
    CEntryList entries;
    entries.push_back(Trip(0x16, 10, 0x25, 0x01, 0x25, 0x10, 200, false));
    entries.push_back(Trip(0x16, 11, 0x25, 0x01, 0x25, 0x10, 200));
    ApplyGateLog(Gate({"20002510 0000 358B 0940 2C01 00000000", "20002510 0000 358A 0840 2C01 00000000"}), entries);
    EXPECT_EQ(Times(entries), (std::vector<QString>{QStringLiteral("–08:40"), QString()}));
}

TEST(GateLogMatch, OnlyGateRecordsOfTheSameDayTakeATime)
{
    CEntryList entries;
    entries.push_back(Trip(0x05, 10, 0, 0, 0x25, 0x10, 200));  // a bus with the same codes
    entries.push_back(Trip(0x16, 9, 0x25, 0x01, 0x25, 0x10, 200)); // the day before
    entries.push_back(Trip(0x16, 10, 0x25, 0x01, 0x25, 0x11, 200)); // another exit station
    ApplyGateLog(Gate({"20002510 0000 358A 0840 C800 00000000"}), entries);
    EXPECT_EQ(Times(entries), (std::vector<QString>{QString(), QString(), QString()}));
}

} // namespace
