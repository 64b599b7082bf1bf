#include "claim/ClaimPeriod.h"

#include "resources/StringTable.h"

#include <QDateTime>

namespace {

const QString kDateFormat = QStringLiteral("yyyy/MM/dd");

QString DateText(QDate day)
{
    return day.isNull() ? QString() : day.toString(kDateFormat);
}

} // namespace

CClaimPeriod CClaimPeriod::Month(QDate day)
{
    const QDate first(day.year(), day.month(), 1);
    return {first, first.addMonths(1).addDays(-1)};
}

CClaimPeriod CClaimPeriod::MonthBefore(QDate day)
{
    return Month(QDate(day.year(), day.month(), 1).addMonths(-1));
}

bool CClaimPeriod::Contains(QDate day) const
{
    return (m_from.isNull() || day >= m_from) && (m_to.isNull() || day <= m_to);
}

bool CClaimPeriod::Contains(const CEntryInfo& entry) const
{
    if (IsWhole())
        return true;
    const QDate day = EntryDay(entry);
    return day.isValid() && Contains(day);
}

QDate EntryDay(const CEntryInfo& entry)
{
    const QDateTime local = QDateTime::fromSecsSinceEpoch(entry.dateTime, Qt::LocalTime);
    return local.isValid() ? local.date() : QDate();
}

QString CClaimPeriod::Text() const
{
    if (IsWhole())
        return LoadResString(IDS_REPORT_ALL_PERIOD);
    return LoadResString(IDS_REPORT_PERIOD_RANGE).arg(DateText(m_from), DateText(m_to)).trimmed();
}

QDate ParseClaimDate(const QString& text)
{
    const QDate iso = QDate::fromString(text, Qt::ISODate);
    return iso.isValid() ? iso : QDate::fromString(text, kDateFormat);
}

std::vector<const CEntryInfo*> EntriesInPeriod(const CEntryList& entries, const CClaimPeriod& period)
{
    std::vector<const CEntryInfo*> rows;
    for (const auto& entry : entries) {
        if (entry && period.Contains(*entry))
            rows.push_back(entry.get());
    }
    return rows;
}
