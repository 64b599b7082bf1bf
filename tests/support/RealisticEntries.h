// A large data set that looks like a year of commuting, for benchmarks.
#pragma once

#include "document/EntryInfoData.h"
#include "card/EntryInfo.h"

#include <QString>

inline void FillRealistic(CEntryInfoData& data, int count)
{
    static const char16_t* const stations[] = {u"新宿", u"東京", u"渋谷", u"池袋", u"品川", u"上野", u"秋葉原", u"横浜"};
    data.m_entries.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        auto e = MakeBlankEntry();
        e->apply = static_cast<uint8_t>(i % 3 != 0);
        e->idm = {0x01, 0x2E, 0x44, 0x81, 0x4C, 0x0B, 0x1A, 0x0F};
        e->terminalKind = 0x16;
        e->processKind = 0x01;
        e->dateTime = 1700000000 + int64_t{i} * 3600;
        e->entryLine = 0xE3;
        e->entryStation = i % 200;
        e->entryStationName = QString::fromUtf16(stations[i % 8]);
        e->entryLineName = QStringLiteral("山手線");
        e->entryCompany = QStringLiteral("ＪＲ東日本");
        e->entryLatitude = 35.6 + i * 1e-6;
        e->entryLongitude = 139.7;
        e->exitLine = 0xE3;
        e->exitStation = (i * 7) % 200;
        e->exitStationName = QString::fromUtf16(stations[(i + 3) % 8]);
        e->exitLineName = QStringLiteral("中央線快速");
        e->exitCompany = QStringLiteral("ＪＲ東日本");
        e->exitLatitude = 35.68;
        e->exitLongitude = 139.76;
        e->balance = 10000 - i % 9000;
        e->sequence = i;
        e->amount = 210;
        e->distance = 6100;
        e->bearing = 95.5f;
        e->destination = QStringLiteral("株式会社サンプル商事 本社");
        e->remarks = QStringLiteral("運賃支払(改札出場)");
        data.m_entries.push_back(std::move(e));
    }
}
