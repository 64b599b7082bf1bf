#include "usernames/StationKey.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct KeyCase {
    const char* name;
    EStationKind kind;
    const char* text;
    const char* error;         // empty when the text is a code
};

void PrintTo(const KeyCase& c, std::ostream* os)
{
    *os << c.name;
}

class StationKeyParseTest : public testing::TestWithParam<KeyCase> {};

TEST_P(StationKeyParseTest, ReadsDecimalCodesInRange)
{
    const KeyCase& c = GetParam();
    SStationKey key;
    QString error;
    const bool parsed = SStationKey::Parse(c.kind, QString::fromUtf8(c.text), key, error);
    EXPECT_EQ(error, QString::fromUtf8(c.error));
    EXPECT_EQ(parsed, error.isEmpty());
    // What was read writes back the same.
    if (parsed) {
        EXPECT_EQ(key.Text(), QString::fromUtf8(c.text));
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, StationKeyParseTest, testing::Values(
    KeyCase{"Rail", EStationKind::Rail, "0-3-46", ""},
    KeyCase{"RailLimits", EStationKind::Rail, "255-255-255", ""},
    KeyCase{"Bus", EStationKind::Bus, "3665-1866", ""},
    KeyCase{"BusLimits", EStationKind::Bus, "65535-0", ""},
    KeyCase{"AreaTooLarge", EStationKind::Rail, "256-1-1", "area code 256 is out of range 0..255"},
    KeyCase{"StationTooLarge", EStationKind::Rail, "0-1-300", "station code 300 is out of range 0..255"},
    KeyCase{"BusStopTooLarge", EStationKind::Bus, "1-65536", "bus stop code 65536 is out of range 0..65535"},
    KeyCase{"RailWithTwoParts", EStationKind::Rail, "3-46",
            "a rail code is AREA-LINE-STATION, three decimal numbers: \"3-46\""},
    KeyCase{"BusWithThreeParts", EStationKind::Bus, "0-3-46",
            "a bus code is LINE-STOP, two decimal numbers: \"0-3-46\""},
    KeyCase{"Negative", EStationKind::Bus, "-1-2", "a bus code is LINE-STOP, two decimal numbers: \"-1-2\""},
    KeyCase{"Hexadecimal", EStationKind::Rail, "0-3-2E",
            "a rail code is AREA-LINE-STATION, three decimal numbers: \"0-3-2E\""},
    KeyCase{"Spaces", EStationKind::Rail, "0- 3-46",
            "a rail code is AREA-LINE-STATION, three decimal numbers: \"0- 3-46\""},
    KeyCase{"Huge", EStationKind::Rail, "0-3-99999999999",
            "a rail code is AREA-LINE-STATION, three decimal numbers: \"0-3-99999999999\""}),
    [](const testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST(StationKeyTest, KindsReadAndWriteTheSame)
{
    EStationKind kind = EStationKind::Bus;
    ASSERT_TRUE(SStationKey::ParseKind(QStringLiteral("rail"), kind));
    EXPECT_EQ(kind, EStationKind::Rail);
    ASSERT_TRUE(SStationKey::ParseKind(QStringLiteral("bus"), kind));
    EXPECT_EQ(kind, EStationKind::Bus);
    EXPECT_FALSE(SStationKey::ParseKind(QStringLiteral("Rail"), kind));
    EXPECT_EQ(SStationKey::Bus(1, 2).KindText(), QStringLiteral("bus"));
    // A bus stop and a rail station of the same numbers are two codes.
    EXPECT_NE(SStationKey::Bus(3, 46), SStationKey::Rail(0, 3, 46));
}

} // namespace
