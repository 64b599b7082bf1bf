#include "history/ArchiveGaps.h"

#include "history/ArchiveRecordKey.h"

#include <algorithm>
#include <tuple>

namespace {

// Within one day of one card, the records after a wrap (small counters) come
// after those before it.
void OrderWrappedDay(std::vector<SCounterMark>::iterator first, std::vector<SCounterMark>::iterator last)
{
    if (last - first < 2 || (last - 1)->sequence - first->sequence <= kHalfSequence)
        return;
    std::stable_partition(first, last, [](const SCounterMark& m) { return m.sequence >= kHalfSequence; });
}

} // namespace

std::vector<SArchiveGap> FindGaps(std::vector<SCounterMark> marks)
{
    std::sort(marks.begin(), marks.end(), [](const SCounterMark& a, const SCounterMark& b) {
        return std::tie(a.idm, a.day, a.sequence, a.id) < std::tie(b.idm, b.day, b.sequence, b.id);
    });
    for (auto start = marks.begin(); start != marks.end();) {
        const auto end = std::find_if(start, marks.end(), [&start](const SCounterMark& m) {
            return m.day != start->day || m.idm != start->idm;
        });
        OrderWrappedDay(start, end);
        start = end;
    }

    std::vector<SArchiveGap> gaps;
    for (size_t i = 1; i < marks.size(); ++i) {
        const SCounterMark& after = marks[i - 1];
        const SCounterMark& before = marks[i];
        if (after.idm != before.idm || before.startsRun)
            continue;
        const int64_t step = (before.sequence - after.sequence) & (kSequenceModulus - 1);
        if (step <= 1 || step >= kHalfSequence)
            continue;
        gaps.push_back({before.idm, step - 1, after.sequence, before.sequence, DateOfArchiveDay(after.day),
                        DateOfArchiveDay(before.day), after.id, before.id});
    }
    return gaps;
}

bool GapTouchesPeriod(const SArchiveGap& gap, const QDate& from, const QDate& to)
{
    return (from.isNull() || gap.beforeDay >= from) && (to.isNull() || gap.afterDay <= to);
}
