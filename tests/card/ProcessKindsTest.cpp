#include "card/ProcessKinds.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct KindCase {
    const char* name;
    uint8_t terminalKind;
    uint8_t processKind;
    int32_t amount;
    bool claimedWhenDecoded;
    bool salesEntry;
    bool claimableFare;
    friend std::ostream& operator<<(std::ostream& os, const KindCase& c) { return os << c.name; }
};

class ProcessKindRulesTest : public testing::TestWithParam<KindCase> {};

// The three rules side by side: where they part is what each is for.
TEST_P(ProcessKindRulesTest, SortTheEntry)
{
    const KindCase& c = GetParam();
    CEntryInfo entry;
    entry.terminalKind = c.terminalKind;
    entry.processKind = c.processKind;
    entry.amount = c.amount;
    EXPECT_EQ(IsClaimedWhenDecoded(entry), c.claimedWhenDecoded);
    EXPECT_EQ(IsSalesEntry(entry), c.salesEntry);
    EXPECT_EQ(IsClaimableFare(entry), c.claimableFare);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ProcessKindRulesTest, testing::Values(
    KindCase{"GateFare", 0x16, 0x01, 210, true, false, true},
    KindCase{"BusFare", 0x05, 0x0F, 220, true, false, true},
    KindCase{"Charge", 0x08, 0x02, -1000, false, false, false},
    KindCase{"BonusCharge", 0x16, 0x48, 100, true, true, false},
    KindCase{"CashChargeIsAShopProcess", 0x16, 0x49, 100, false, true, false},
    KindCase{"ShopPurchase", 0x16, 0x46, 480, false, true, false},
    KindCase{"FareAtShopTerminal", 0xC7, 0x01, 210, false, true, false},
    KindCase{"FareAtVendingMachine", 0xC8, 0x01, 150, false, true, false},
    KindCase{"NewIssue", 0x08, 0x07, 500, false, false, false},
    KindCase{"Reissue", 0x08, 0x11, 500, false, false, false},
    KindCase{"ShopAtEntryWithCash", 0x16, 0xCB, 100, false, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
