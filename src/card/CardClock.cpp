#include "card/CardClock.h"

#include "card/HistoryDecoder.h"

#include <ctime>

int64_t WallClockOfLocal(int64_t localSeconds)
{
    const auto moment = static_cast<std::time_t>(localSeconds);
    std::tm wall{};
    if (!localtime_r(&moment, &wall))
        return localSeconds;
    return static_cast<int64_t>(timegm(&wall));
}

int64_t LocalOfWallClock(int64_t wallClock)
{
    const auto moment = static_cast<std::time_t>(wallClock);
    std::tm wall{};
    int64_t local = 0;
    // The decoder's own conversion, so a block decoded here and a moment brought
    // back from a file agree to the second.
    if (!gmtime_r(&moment, &wall)
        || !LocalTimeToSeconds(wall.tm_year + 1900, wall.tm_mon + 1, wall.tm_mday, wall.tm_hour, wall.tm_min, local))
        return wallClock;
    return local + wall.tm_sec;
}

int64_t JapanSecondsOfLocal(int64_t localSeconds)
{
    return WallClockOfLocal(localSeconds) - kJapanUtcOffsetSeconds;
}

int64_t LocalOfJapanSeconds(int64_t japanSeconds)
{
    return LocalOfWallClock(japanSeconds + kJapanUtcOffsetSeconds);
}
