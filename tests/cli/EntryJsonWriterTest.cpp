// The JSON text byte for byte: field order, number forms and string escapes as
// the tool has always written them (the fixture is a file it wrote).
#include "cli/EntryJsonWriter.h"

#include <gtest/gtest.h>

#include <QFile>

#include <limits>

namespace {

std::unique_ptr<CEntryInfo> EntryWithEverySpecialCase()
{
    auto e = MakeBlankEntry();
    e->apply = 1;
    e->idm = {0x01, 0x2E, 0x4C, 0x00, 0x12, 0xAB, 0xCD, 0xEF};
    e->dateTime = -5;
    e->entryStationName = QString::fromUtf16(u"東京\"\\/\b\f\n\r\t\x01\x1f\x7f"); // every escape, DEL as it is
    e->entryLineName = QString::fromUtf16(u"\U0001F683 é \xFFFF \xFFFE");      // a pair, two non-characters
    QString lone;                                                                 // halves without their partner
    lone += QChar(0xD800);
    lone += u'a';
    lone += QChar(0xDC00);
    lone += QChar(0xDBFF);
    e->entryCompany = lone;
    e->entryLatitude = 35.681264;
    e->entryLongitude = std::numeric_limits<double>::quiet_NaN();
    e->exitLatitude = 1e300;
    e->exitLongitude = -0.0;
    e->bearing = 287.5f;
    e->balance = std::numeric_limits<int32_t>::min();
    e->remarks = QString(QChar(0));
    return e;
}

TEST(EntryJsonWriter, WritesTheTextItAlwaysWrote)
{
    QFile fixture(QStringLiteral(VOLUNI_SOURCE_DIR "/tests/cli/fixtures/card-with-escapes.json"));
    ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
    CEntryList entries;
    entries.push_back(EntryWithEverySpecialCase());
    SCardSummary card;
    card.card.idm = {1, 2, 3, 4, 5, 6, 7, 8};
    card.card.pmm = {0x10, 0x0B, 0x4B, 0x42, 0x84, 0x85, 0xD0, 0xFF};
    card.balance = 360;
    EXPECT_EQ(EntriesToJson(entries, card, std::nullopt), fixture.readAll());
}

TEST(EntryJsonWriter, GateTimesAreHoursAndMinutesOrNull)
{
    CEntryList entries;
    entries.push_back(MakeBlankEntry());
    entries.back()->entryTime = 0;
    entries.back()->exitTime = -1;
    entries.push_back(MakeBlankEntry());
    entries.back()->entryTime = -1;
    entries.back()->exitTime = 23 * 60 + 59;
    const QByteArray json = EntriesToJson(entries, std::nullopt, 1700000000);
    EXPECT_TRUE(json.contains("\"amountKnown\": true,\n      \"entryTime\": \"00:00\",\n      \"exitTime\": null,"))
        << json.toStdString();
    EXPECT_TRUE(json.contains("\"entryTime\": null,\n      \"exitTime\": \"23:59\",")) << json.toStdString();
}

TEST(EntryJsonWriter, EmptyListOfAFile)
{
    EXPECT_EQ(EntriesToJson({}, std::nullopt, 1700000000), "{\n  \"time\": 1700000000,\n  \"entries\": []\n}\n");
}

} // namespace
