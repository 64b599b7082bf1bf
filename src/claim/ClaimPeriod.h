// The days a claim covers: every day, or from one date to another (both
// included; either end may stay open).
#pragma once

#include "card/EntryInfo.h"

#include <QDate>
#include <QString>

#include <vector>

class CClaimPeriod {
public:
    CClaimPeriod() = default;
    CClaimPeriod(QDate from, QDate to) : m_from(from), m_to(to) {}
    static CClaimPeriod Month(QDate day);          // the calendar month of day
    static CClaimPeriod MonthBefore(QDate day);    // the month before that

    bool IsWhole() const { return m_from.isNull() && m_to.isNull(); }
    bool Contains(QDate day) const;
    // The entry's local calendar day lies in the period.
    bool Contains(const CEntryInfo& entry) const;
    // "全期間", or "2024/05/01 〜 2024/05/31" (an open end left blank).
    QString Text() const;

    QDate m_from;   // null: no lower bound
    QDate m_to;     // null: no upper bound
};

// The entry's local calendar day; null for a time that has none.
QDate EntryDay(const CEntryInfo& entry);

// "2024-05-31" or "2024/05/31"; a null date for anything else.
QDate ParseClaimDate(const QString& text);

// The entries of list in the period, in list order.
std::vector<const CEntryInfo*> EntriesInPeriod(const CEntryList& entries, const CClaimPeriod& period);
