#include "card/FormatAmount.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>

struct AmountCase {
    int32_t amount;
    const char* text;
    friend std::ostream& operator<<(std::ostream& os, const AmountCase& c) { return os << c.amount; }
};

class FormatAmountTest : public testing::TestWithParam<AmountCase> {};

TEST_P(FormatAmountTest, Formats)
{
    EXPECT_EQ(FormatAmount(GetParam().amount), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Amounts, FormatAmountTest, testing::Values(
    AmountCase{0, "     0"},
    AmountCase{210, "   210"},
    AmountCase{999, "   999"},
    AmountCase{1000, " 1,000"},
    AmountCase{1500, " 1,500"},
    AmountCase{12345, "12,345"},
    AmountCase{20000, "20,000"},
    AmountCase{100000, "100,000"},
    AmountCase{1234567, "1234,567"},
    // No caller passes a negative amount; both parts carry the sign.
    AmountCase{-1500, "-1,-500"}),
    [](const auto& info) {
        return (info.param.amount < 0 ? "minus" : "") + std::to_string(std::abs(info.param.amount));
    });
