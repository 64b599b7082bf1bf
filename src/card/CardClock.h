// The card's own clock. A history block records a calendar day (and minutes at
// shops) in Japan; the program holds a moment as seconds of the process's time
// zone, so that the list shows the card's day wherever it runs. Whatever is kept
// beyond one run (the entry file, the history archive) holds the moment as it
// was in Japan, and converts at its edge.
#pragma once

#include <cstdint>

// Japan keeps no daylight saving time.
inline constexpr int64_t kJapanUtcOffsetSeconds = 9 * 3600;

// The wall time of a moment in the process's zone, counted as seconds from
// 1970-01-01 00:00 of that wall clock.
int64_t WallClockOfLocal(int64_t localSeconds);
// The moment whose wall time in the process's zone is wallClock.
int64_t LocalOfWallClock(int64_t wallClock);

// A moment of the process's zone as the moment with the same wall time in Japan, and back.
int64_t JapanSecondsOfLocal(int64_t localSeconds);
int64_t LocalOfJapanSeconds(int64_t japanSeconds);
