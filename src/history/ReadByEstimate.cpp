#include "history/ReadByEstimate.h"

#include <algorithm>

std::optional<QDate> EstimateReadBy(std::span<const SDayRecords> days)
{
    const auto byDay = [](const SDayRecords& a, const SDayRecords& b) { return a.day < b.day; };
    const auto [first, newest] = std::minmax_element(days.begin(), days.end(), byDay);
    if (days.size() < 2 || first->day == newest->day)
        return std::nullopt;
    const QDate start = std::max(first->day, newest->day.addDays(1 - kPaceDays));
    int64_t records = 0;
    for (const SDayRecords& d : days) {
        if (d.day >= start)
            records += d.nRecords;
    }
    if (records <= 0)
        return std::nullopt;
    // records over span days: the last of kCardKeepsRecords records falls on the
    // day the pace reaches it, rounded up to a whole day.
    const int64_t span = start.daysTo(newest->day) + 1;
    return newest->day.addDays((kCardKeepsRecords * span + records - 1) / records);
}
