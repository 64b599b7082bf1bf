// Entries the claim tests write out: three days of January 2021 in Tokyo.
#pragma once

#include "card/EntryInfo.h"

#include <QString>

#include <memory>
#include <vector>

constexpr int64_t kJanuary1Tokyo = 1609426800; // 2021/01/01 00:00 in Tokyo
constexpr int64_t kDay = 86400;

inline std::unique_ptr<CEntryInfo> RailEntry(int day, const char* from, const char* to, int32_t amount, uint8_t apply)
{
    auto e = std::make_unique<CEntryInfo>();
    e->apply = apply;
    e->idm = {0x01, 0x2E, 0x4C, 0x00, 0x12, 0xAB, 0xCD, 0xEF};
    e->terminalKind = 0x16;
    e->processKind = 0x01;
    e->dateTime = kJanuary1Tokyo + (day - 1) * kDay + 8 * 3600;
    e->entryStationName = QString::fromUtf8(from);
    e->exitStationName = QString::fromUtf8(to);
    e->entryCompany = QStringLiteral("JR東日本");
    e->exitCompany = QStringLiteral("JR東日本");
    e->amount = amount;
    return e;
}

// A fare with text to quote and both gate times, a cash charge and an unticked
// large fare with its exit time alone.
inline CEntryList ClaimFixture()
{
    CEntryList entries;
    entries.push_back(RailEntry(1, "東京", "新宿, 西口", 1500, 1));
    entries.back()->balance = 12345;
    entries.back()->distance = 3456;
    entries.back()->destination = QStringLiteral("本社");
    entries.back()->remarks = QStringLiteral("say \"hi\"");
    entries.back()->entryTime = 8 * 60 + 12;
    entries.back()->exitTime = 8 * 60 + 40;
    entries.push_back(RailEntry(2, "", "", -1000, 0));
    entries.back()->processKind = 0x02;
    entries.back()->remarks = QStringLiteral("現金チャージ");
    entries.back()->balance = 13345;
    entries.push_back(RailEntry(3, "有楽町", "東京", 12345, 0));
    entries.back()->exitTime = 19 * 60 + 5;
    return entries;
}

inline std::vector<const CEntryInfo*> Rows(const CEntryList& entries)
{
    std::vector<const CEntryInfo*> rows;
    for (const auto& e : entries)
        rows.push_back(e.get());
    return rows;
}
