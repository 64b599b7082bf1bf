#include "history/ArchiveRecordKey.h"

#include "card/CardClock.h"
#include "card/ProcessKinds.h"

#include <QDateTime>
#include <QTimeZone>

int64_t BlockSequence(const HistoryBlock& block)
{
    return int64_t{block[12]} << 16 | int64_t{block[13]} << 8 | block[14];
}

int64_t EntrySequence(const CEntryInfo& entry)
{
    return entry.sequence & (kSequenceModulus - 1);
}

int ArchiveDay(const QDate& day)
{
    return day.year() * 10000 + day.month() * 100 + day.day();
}

int ArchiveDay(int64_t dateTime)
{
    return ArchiveDay(QDateTime::fromSecsSinceEpoch(WallClockOfLocal(dateTime), QTimeZone::utc()).date());
}

QDate DateOfArchiveDay(int day)
{
    return QDate(day / 10000, day / 100 % 100, day % 100);
}

QString EntryKey(const CEntryInfo& e)
{
    const QDateTime moment = QDateTime::fromSecsSinceEpoch(WallClockOfLocal(e.dateTime), QTimeZone::utc());
    // Only shop terminals record a time of day; elsewhere the decoder gives midnight.
    const QString when = IsShopTerminal(e.terminalKind) ? moment.toString(QStringLiteral("yyyyMMddHHmm"))
                                                        : moment.toString(QStringLiteral("yyyyMMdd"));
    return QStringLiteral("%1|%2|%3|%4.%5|%6.%7|%8|%9|%10")
        .arg(when)
        .arg(e.terminalKind)
        .arg(e.processKind)
        .arg(e.entryLine)
        .arg(e.entryStation)
        .arg(e.exitLine)
        .arg(e.exitStation)
        .arg(e.balance)
        .arg(EntrySequence(e))
        .arg(e.region);
}

bool StartsCardHistory(const CEntryInfo& entry)
{
    return entry.processKind == ProcessKinds::kNewIssue || entry.processKind == ProcessKinds::kReissue;
}
