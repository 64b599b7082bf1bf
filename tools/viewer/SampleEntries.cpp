#include "SampleEntries.h"

#include "card/ProcessKindName.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace {

struct Place {
    const char* company;
    const char* line;
    const char* station;
    double latitude;
    double longitude;
};

const Place kTokyo{"JR東日本", "東海道本線", "東京", 35.681236, 139.767125};
const Place kShinjuku{"JR東日本", "中央本線", "新宿", 35.690921, 139.700258};
const Place kShibuya{"東急", "東横線", "渋谷", 35.658034, 139.701636};
const Place kYokohama{"東急", "東横線", "横浜", 35.465798, 139.622314};
const Place kNone{"", "", "", 0.0, 0.0};

int64_t Tokyo(int month, int day, int hour, int minute)
{
    return QDateTime(QDate(2026, month, day), QTime(hour, minute), Qt::LocalTime).toSecsSinceEpoch();
}

std::unique_ptr<CEntryInfo> MakeEntry(int64_t when, uint8_t terminal, uint8_t process, int32_t amount,
                                      int32_t balance, const Place& from, const Place& to)
{
    auto entry = MakeBlankEntry();
    entry->idm = {0x01, 0x2E, 0x4C, 0xD1, 0x8A, 0x13, 0x67, 0x05};
    entry->terminalKind = terminal;
    entry->processKind = process;
    entry->dateTime = when;
    entry->amount = amount;
    entry->balance = balance;
    entry->apply = amount > 0 ? 1 : 0;
    entry->entryCompany = QString::fromUtf8(from.company);
    entry->entryLineName = QString::fromUtf8(from.line);
    entry->entryStationName = QString::fromUtf8(from.station);
    entry->entryLatitude = from.latitude;
    entry->entryLongitude = from.longitude;
    entry->exitCompany = QString::fromUtf8(to.company);
    entry->exitLineName = QString::fromUtf8(to.line);
    entry->exitStationName = QString::fromUtf8(to.station);
    entry->exitLatitude = to.latitude;
    entry->exitLongitude = to.longitude;
    // As a card read leaves them: fares without remarks, charges with the means of payment.
    if (process == 0x02)
        entry->remarks = QStringLiteral("現金") + ProcessKindName(process);
    else if (process != 0x01)
        entry->remarks = ProcessKindName(process);
    return entry;
}

} // namespace

CEntryList MakeSampleEntries()
{
    CEntryList entries;
    entries.push_back(MakeEntry(Tokyo(11, 30, 8, 5), 0x08, 0x11, 0, 500, kTokyo, kNone));
    entries.push_back(MakeEntry(Tokyo(12, 1, 8, 12), 0x08, 0x02, -3000, 3500, kTokyo, kNone));
    entries.push_back(MakeEntry(Tokyo(12, 1, 8, 40), 0x16, 0x01, 210, 3290, kTokyo, kShinjuku));
    entries.back()->destination = QStringLiteral("新宿支店");
    entries.push_back(MakeEntry(Tokyo(12, 1, 18, 2), 0x16, 0x01, 210, 3080, kShinjuku, kTokyo));
    entries.push_back(MakeEntry(Tokyo(12, 2, 9, 15), 0xC7, 0x46, 480, 2600, kNone, kNone));
    entries.back()->apply = 0; // purchases never count towards the claim
    entries.push_back(MakeEntry(Tokyo(12, 3, 10, 20), 0x16, 0x01, 280, 2320, kShibuya, kYokohama));
    entries.back()->destination = QStringLiteral("横浜営業所");
    entries.push_back(MakeEntry(Tokyo(12, 3, 17, 45), 0x16, 0x01, 280, 2040, kYokohama, kShibuya));
    // Taken privately: shown, but not claimed.
    entries.back()->apply = 0;
    entries.push_back(MakeEntry(Tokyo(12, 4, 12, 30), 0x05, 0x0F, 220, 1820, kNone, kNone));
    entries.back()->exitCompany = QStringLiteral("都営バス");
    entries.back()->exitStationName = QStringLiteral("新橋駅前");
    entries.push_back(MakeEntry(Tokyo(12, 5, 7, 58), 0x16, 0x01, 1234, 586, kTokyo, kYokohama));
    entries.back()->exitCompany = QStringLiteral("JR東日本");
    entries.back()->exitLineName = QStringLiteral("東海道本線");
    return entries;
}
