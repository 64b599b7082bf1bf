#include "HexBytes.h"
#include "card/HistoryDecoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <ctime>
#include <string>

namespace {

const IdmBytes kIdm = HexArray<8>("012E4C0012ABCDEF");

// 2021-01-01 00:00 in Asia/Tokyo.
constexpr int64_t kNewYear2021 = 1609426800;

std::unique_ptr<CEntryInfo> Decode(const std::string& hex, int32_t previousBalance = -1)
{
    return DecodeHistoryBlock(HexArray<16>(hex), kIdm, previousBalance);
}

struct CodeCase {
    const char* name;
    const char* block;
    int64_t dateTime;
    int entryLine, entryStation, exitLine, exitStation;
    friend std::ostream& operator<<(std::ostream& os, const CodeCase& c) { return os << c.block; }
};

class DecodeCodes : public testing::TestWithParam<CodeCase> {};

TEST_P(DecodeCodes, TakesCodesByClassAndDate)
{
    const CodeCase& c = GetParam();
    const auto e = Decode(c.block);
    EXPECT_EQ(e->dateTime, c.dateTime);
    EXPECT_EQ(e->entryLine, c.entryLine);
    EXPECT_EQ(e->entryStation, c.entryStation);
    EXPECT_EQ(e->exitLine, c.exitLine);
    EXPECT_EQ(e->exitStation, c.exitStation);
}

//                                      kinds    date ------6-9----- bal  seq    region
INSTANTIATE_TEST_SUITE_P(Classes, DecodeCodes, testing::Values(
    // Rail keeps 00:00 whatever bytes 6-7 hold: they are its entry codes.
    CodeCase{"rail", "16010000 2A21 C0000304 1027 00012C C5", kNewYear2021, 0xC0, 0x00, 3, 4},
    CodeCase{"shopTerminalTime", "C7460000 2A21 A5E00304 1027 00012C C5", kNewYear2021 + 20 * 3600 + 47 * 60, 0, 0, 0, 0},
    CodeCase{"salesTerminal", "C8010000 2A21 00000304 1027 00012C C5", kNewYear2021, 0, 0, 0, 0},
    CodeCase{"busTerminal", "05010000 2A21 12340567 1027 00012C C5", kNewYear2021, 0, 0, 0x1234, 0x0567},
    CodeCase{"busProcess0F", "160F0000 2A21 12340567 1027 00012C C5", kNewYear2021, 0, 0, 0x1234, 0x0567},
    CodeCase{"busProcess23", "16230000 2A21 FFFF0001 1027 00012C C5", kNewYear2021, 0, 0, 0xFFFF, 1},
    // The shop class is tested before the bus class.
    CodeCase{"busTerminalShopProcess", "05460000 2A21 12340567 1027 00012C C5", kNewYear2021, 0, 0, 0, 0},
    CodeCase{"shopProcessCB", "16CB0000 2A21 12340567 1027 00012C C5", kNewYear2021, 0, 0, 0, 0},
    // 0x48 is not a shop kind for the decoder: rail codes.
    CodeCase{"bonusChargeIsRail", "16480000 2A21 01020304 1027 00012C C5", kNewYear2021, 1, 2, 3, 4},
    // Days past the end of the month roll over.
    CodeCase{"april31", "16010000 2A9F 01020304 1027 00012C C5", 1619794800, 1, 2, 3, 4},
    CodeCase{"feb29NonLeap", "16010000 2A5D 01020304 1027 00012C C5", 1614524400, 1, 2, 3, 4},
    CodeCase{"feb30", "16010000 2A5E 01020304 1027 00012C C5", 1614610800, 1, 2, 3, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeHistoryBlock, CopiesFixedFields)
{
    const auto e = Decode("16010207 2A21 01020304 1027 00012C C5");
    EXPECT_EQ(e->reserved, 0);
    EXPECT_EQ(e->idm, kIdm);
    EXPECT_EQ(e->terminalKind, 0x16);
    EXPECT_EQ(e->processKind, 0x01);
    EXPECT_EQ(e->paymentKind, 0x02);
    EXPECT_EQ(e->rawByte3, 0x07);
    EXPECT_EQ(e->balance, 10000);
    EXPECT_EQ(e->sequence, 300);
    EXPECT_EQ(e->region, 197);
    EXPECT_EQ(e->entryArea, 3);
    EXPECT_EQ(e->exitArea, 3);
    EXPECT_EQ(e->distance, 0);
    EXPECT_EQ(e->bearing, 0.0f);
    EXPECT_EQ(e->entryLatitude, 0.0);
    EXPECT_EQ(e->exitLongitude, 0.0);
    EXPECT_TRUE(e->entryStationName.isEmpty());
    EXPECT_TRUE(e->remarks.isEmpty());
}

TEST(DecodeHistoryBlock, SequenceIsSigned24Bit)
{
    EXPECT_EQ(Decode("16010000 2A21 01020304 1027 7FFFFF 00")->sequence, 8388607);
    EXPECT_EQ(Decode("16010000 2A21 01020304 1027 800000 00")->sequence, -8388608);
    EXPECT_EQ(Decode("16010000 2A21 01020304 1027 FFFFFF 40")->sequence, -1);
    EXPECT_EQ(Decode("16010000 2A21 01020304 1027 FFFFFF 40")->entryArea, 1);
}

const char* const kInvalidDateNames[] = {"month0", "month13", "day0", "hour24", "minute60"};

class DecodeInvalidDate : public testing::TestWithParam<const char*> {};

TEST_P(DecodeInvalidDate, Throws)
{
    int32_t previous = 500;
    EXPECT_THROW(DecodeHistoryBlock(HexArray<16>(GetParam()), kIdm, previous), CInvalidDateError);
    EXPECT_EQ(previous, 500) << "a failed decode must not move the running balance";
}

INSTANTIATE_TEST_SUITE_P(Dates, DecodeInvalidDate, testing::Values(
    "16010000 0000 01020304 1027 00012C 00",   // month 0
    "16010000 2BA1 01020304 1027 00012C 00",   // month 13
    "16010000 2A20 01020304 1027 00012C 00",   // day 0
    "C7460000 2A21 C0000000 1027 00012C 00",   // hour 24
    "C8460000 2A21 07800000 1027 00012C 00"),  // minute 60
    [](const auto& info) { return std::string(kInvalidDateNames[info.index]); });

struct AmountStep {
    const char* kinds;   // terminal and process kind, hex
    int balance;
    int amount;
    int apply;
};

// Blocks decoded oldest first with one running balance.
TEST(DecodeHistoryBlock, AmountAndClaimFlagFollowRunningBalance)
{
    const AmountStep steps[] = {
        {"1601", 0, 0, 0},         // oldest: nothing to compare with
        {"0802", 1000, -1000, 0},  // charge
        {"1601", 800, 200, 1},     // fare
        {"1601", 800, 0, 0},       // nothing moved
        {"C701", 700, 100, 0},     // shop terminal
        {"C801", 600, 100, 0},     // vending machine
        {"1607", 500, 100, 0},     // new issue
        {"1611", 400, 100, 0},     // reissue
        {"1646", 300, 100, 0},     // purchase
        {"1649", 200, 100, 0},
        {"164A", 190, 10, 0},
        {"164B", 180, 10, 0},
        {"16C6", 170, 10, 0},
        {"16CB", 160, 10, 0},
        {"1648", 150, 10, 1},      // bonus charge kind is not excluded here
        {"050D", 40, 110, 1},      // bus fare
    };
    int32_t running = -1;
    for (const AmountStep& s : steps) {
        char hex[64];
        std::snprintf(hex, sizeof hex, "%s0000 2A21 01020304 %02X%02X 000001 00", s.kinds,
                      s.balance & 0xFF, s.balance >> 8);
        const auto e = DecodeHistoryBlock(HexArray<16>(hex), kIdm, running);
        EXPECT_EQ(e->amount, s.amount) << hex;
        EXPECT_EQ(e->apply, s.apply) << hex;
        EXPECT_EQ(running, s.balance) << hex;
    }
}

TEST(DecodeHistoryBlock, LocalMidnightFollowsDaylightSavingZone)
{
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    setenv("TZ", "America/New_York", 1);
    tzset();
    // 2021-07-01 lies in EDT (UTC-4): midnight there is 04:00 UTC.
    const auto e = Decode("16010000 2AE1 01020304 1027 00012C 00");
    setenv("TZ", previous.c_str(), 1);
    tzset();
    EXPECT_EQ(e->dateTime, 1625097600 + 4 * 3600);
}

TEST(MakeBlankEntry, IsTickedUnnamedAndDatedNow)
{
    const int64_t before = std::time(nullptr);
    const auto e = MakeBlankEntry();
    const int64_t after = std::time(nullptr);
    EXPECT_EQ(e->reserved, 0);
    EXPECT_EQ(e->apply, 1);
    EXPECT_EQ(e->idm, IdmBytes{});
    EXPECT_EQ(e->terminalKind, 0xFF);
    EXPECT_EQ(e->processKind, 0xFF);
    EXPECT_EQ(e->paymentKind, 0);
    EXPECT_GE(e->dateTime, before);
    EXPECT_LE(e->dateTime, after);
    EXPECT_EQ(e->balance, 0);
    EXPECT_EQ(e->bearing, 0.0f);
    EXPECT_TRUE(e->destination.isEmpty());
}

} // namespace
