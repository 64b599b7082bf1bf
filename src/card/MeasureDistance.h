#pragma once

#include <cstdint>

// Straight-line distance in metres and bearing in degrees clockwise from north
// (0 <= bearing < 360) from point 1 to point 2, on an equirectangular
// approximation of a sphere of radius 6378137 m. Identical points give 0 m, 90°.
void MeasureDistance(double latitude1, double longitude1, double latitude2, double longitude2,
                     int32_t& distance, float& bearing);
