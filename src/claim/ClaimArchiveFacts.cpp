#include "claim/ClaimArchiveFacts.h"

#include "history/HistoryArchive.h"

#include <algorithm>

SUnreadTrips UnreadTrips(const std::vector<SArchiveGap>& gaps)
{
    SUnreadTrips unread;
    for (const SArchiveGap& gap : gaps) {
        unread.nCount += gap.nMissing;
        unread.from = unread.from.isNull() ? gap.afterDay : std::min(unread.from, gap.afterDay);
        unread.to = unread.to.isNull() ? gap.beforeDay : std::max(unread.to, gap.beforeDay);
    }
    return unread;
}

bool AddArchiveFacts(CHistoryArchive& archive, SClaimReport& report)
{
    IdmBytes idm{};
    if (!ParseIdm(report.idm, idm))
        return true;
    std::vector<SArchivedCard> cards;
    if (!archive.Cards(cards))
        return false;
    const auto card = std::find_if(cards.begin(), cards.end(), [&idm](const SArchivedCard& c) { return c.idm == idm; });
    if (card == cards.end())
        return true;
    report.cardName = card->strName;
    const CClaimPeriod days = report.Days();
    std::vector<SArchiveGap> gaps;
    if (!archive.Gaps(SArchiveQuery{idm, days.m_from, days.m_to}, gaps))
        return false;
    report.unread = UnreadTrips(gaps);
    return true;
}
