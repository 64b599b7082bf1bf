#include "reading/ArchivedRead.h"

#include "resources/StringTable.h"

#include <QStringList>

#include <algorithm>

void UseArchiveForRead(SCardReadRequest& request, CHistoryArchive& archive)
{
    request.balanceBeforeOldest = [&archive](const CCardRecord& card, const HistoryBlockList& blocks) {
        return blocks.empty() ? -1 : archive.BalanceBefore(card.idm, blocks.back());
    };
}

bool ArchiveRead(CHistoryArchive& archive, const CCardRecord& card, const SCardReadOutcome& outcome,
                 std::span<const std::unique_ptr<CEntryInfo>> entries, SMergeOutcome* merged)
{
    const size_t added = std::min(outcome.nAdded, entries.size());
    SMergeOutcome own;
    SMergeOutcome& result = merged ? *merged : own;
    return archive.MergeRead(card.idm, outcome.blocks, entries.last(added), &result)
        && archive.RestoreTimes(entries.last(added), result.ids);
}

QString NewGapsText(const std::vector<SArchiveGap>& gaps)
{
    const QString format = QStringLiteral("yyyy/MM/dd");
    QStringList lines;
    for (const SArchiveGap& gap : gaps)
        lines << LoadResString(IDS_HISTORY_NEW_GAP)
                     .arg(gap.nMissing)
                     .arg(gap.afterDay.toString(format), gap.beforeDay.toString(format));
    return lines.join(u'\n');
}
