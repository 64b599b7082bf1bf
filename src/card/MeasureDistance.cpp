#include "card/MeasureDistance.h"

#include <cmath>

void MeasureDistance(double latitude1, double longitude1, double latitude2, double longitude2,
                     int32_t& distance, float& bearing)
{
    constexpr double k = 0.017453292519943295;
    constexpr double radius = 6378137.0;
    const double x = std::cos(latitude1 * k) * ((longitude2 - longitude1) * k * radius);
    const double y = (latitude2 - latitude1) * k * radius;
    distance = static_cast<int32_t>(std::sqrt(y * y + x * x));

    // h: angle from east, counterclockwise; the turn to a compass bearing is
    // done in single precision, as the stored field is.
    const float h = (x == 0.0 && y == 0.0) ? 0.0f
                                            : static_cast<float>(std::atan2(y, x) * 57.29577951308232);
    if (h < 0.0f) {
        bearing = 90.0f - h;
    } else {
        bearing = (180.0f - h) + 270.0f;
        if (bearing >= 360.0f)
            bearing -= 360.0f;
    }
}
