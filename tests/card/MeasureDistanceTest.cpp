#include "card/MeasureDistance.h"

#include <gtest/gtest.h>

struct DistanceCase {
    const char* name;
    double lat1, lon1, lat2, lon2;
    int32_t distance;
    float bearing;
    friend std::ostream& operator<<(std::ostream& os, const DistanceCase& c) { return os << c.name; }
};

class MeasureDistanceTest : public testing::TestWithParam<DistanceCase> {};

TEST_P(MeasureDistanceTest, GivesMetresAndBearing)
{
    const DistanceCase& c = GetParam();
    int32_t distance = -1;
    float bearing = -1.0f;
    MeasureDistance(c.lat1, c.lon1, c.lat2, c.lon2, distance, bearing);
    EXPECT_EQ(distance, c.distance);
    EXPECT_NEAR(bearing, c.bearing, 1e-4f);
}

// One degree of latitude on the 6378137 m sphere is 111319.49 m.
INSTANTIATE_TEST_SUITE_P(Points, MeasureDistanceTest, testing::Values(
    DistanceCase{"identical", 35.0, 139.0, 35.0, 139.0, 0, 90.0f},
    DistanceCase{"north", 0.0, 0.0, 1.0, 0.0, 111319, 0.0f},
    DistanceCase{"east", 0.0, 0.0, 0.0, 1.0, 111319, 90.0f},
    DistanceCase{"south", 0.0, 0.0, -1.0, 0.0, 111319, 180.0f},
    DistanceCase{"west", 0.0, 0.0, 0.0, -1.0, 111319, 270.0f}),
    [](const auto& info) { return std::string(info.param.name); });

// Tokyo station to Shinjuku station: a haversine on the mean-radius sphere
// (6371008.8 m) gives 6104.8 m. This formula uses the equatorial radius, 0.11 %
// larger (about 7 m here), and its flat-earth error at 6 km is far below a
// metre, so 15 m separates the formula from a wrong one.
TEST(MeasureDistance, TokyoToShinjuku)
{
    int32_t distance = 0;
    float bearing = 0.0f;
    MeasureDistance(35.681264, 139.766798, 35.690921, 139.700258, distance, bearing);
    EXPECT_NEAR(distance, 6105, 15);
    EXPECT_GT(bearing, 270.0f);
    EXPECT_LT(bearing, 290.0f);
}
