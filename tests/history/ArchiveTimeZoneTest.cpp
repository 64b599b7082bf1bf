// The archive keeps the card's calendar days: written in Tokyo, it lists, merges,
// selects and takes in entry files the same way in any other time zone.
#include "ArchiveFixture.h"

#include "document/EntryInfoData.h"

#include <QBuffer>
#include <QDateTime>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// The process's zone for as long as it lives.
class CTimeZone {
public:
    explicit CTimeZone(const char* zone)
    {
        const char* previous = std::getenv("TZ");
        m_previous = previous ? previous : "";
        Set(zone);
    }
    ~CTimeZone() { Set(m_previous.c_str()); }
    CTimeZone(const CTimeZone&) = delete;
    CTimeZone& operator=(const CTimeZone&) = delete;

private:
    static void Set(const char* zone)
    {
        setenv("TZ", zone, 1);
        tzset();
    }
    std::string m_previous;
};

// A shop purchase at 23:30 on day: its minutes are part of its key.
HistoryBlock ShopBlock(int64_t sequence, QDate day, int balance)
{
    HistoryBlock block = FareBlock(sequence, day, balance);
    block[0] = 0xC7;
    block[1] = 0x46;
    const int time = 23 << 11 | 30 << 5; // hour in five bits, then the minute in six
    block[6] = static_cast<uint8_t>(time >> 8);
    block[7] = static_cast<uint8_t>(time);
    return block;
}

QByteArray EntryFileOf(const CEntryList& entries)
{
    CEntryInfoData data;
    for (const auto& e : entries)
        data.m_entries.push_back(std::make_unique<CEntryInfo>(*e));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    data.Store(buffer);
    return buffer.data();
}

class ArchiveTimeZoneTest : public ArchiveTest {};

TEST_F(ArchiveTimeZoneTest, WrittenInTokyoReadsTheSameEverywhere)
{
    // Two fares a day from 1 May, and a late shop purchase on 3 May.
    HistoryBlockList blocks = Commute(1, 6);
    blocks.insert(blocks.begin(), ShopBlock(7, QDate(2024, 5, 3), 9000));
    QByteArray tokyoFile;
    {
        const SCardRead read = MakeRead(kCardA, blocks);
        CHistoryArchive archive(ArchivePath());
        ASSERT_TRUE(Merge(archive, read));
        tokyoFile = EntryFileOf(read.entries);
    }
    for (const char* zone : {"UTC", "America/Los_Angeles", "Pacific/Kiritimati", "Asia/Tokyo"}) {
        const CTimeZone in(zone);
        CHistoryArchive archive(ArchivePath());
        const CEntryList all = Entries(archive);
        ASSERT_EQ(all.size(), 7u) << zone;
        const auto day = [](const CEntryInfo& e) { return QDateTime::fromSecsSinceEpoch(e.dateTime).date(); };
        EXPECT_EQ(day(*all[0]), QDate(2024, 5, 1)) << zone;
        EXPECT_EQ(day(*all[5]), QDate(2024, 5, 3)) << zone;
        EXPECT_EQ(QDateTime::fromSecsSinceEpoch(all[6]->dateTime).toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                  QStringLiteral("2024-05-03 23:30"))
            << zone;

        // The card read here merges into what Tokyo archived.
        SMergeOutcome merged;
        ASSERT_TRUE(Merge(archive, MakeRead(kCardA, blocks), &merged));
        EXPECT_EQ(merged.nAdded, 0u) << zone;

        // Days select the card's days.
        EXPECT_EQ(Entries(archive, {kCardA, QDate(2024, 5, 2), QDate(2024, 5, 2)}).size(), 2u) << zone;
        EXPECT_EQ(Entries(archive, {kCardA, QDate(2024, 5, 3), QDate(2024, 5, 3)}).size(), 3u) << zone;

        // An entry file saved in Tokyo is the same trips.
        QBuffer file(&tokyoFile);
        file.open(QIODevice::ReadOnly);
        CEntryInfoData loaded;
        loaded.Load(file);
        ASSERT_TRUE(archive.ImportEntries(loaded.m_entries, &merged)) << archive.LastError().toStdString();
        EXPECT_EQ(merged.nAdded, 0u) << zone;
        EXPECT_EQ(day(*loaded.m_entries[0]), QDate(2024, 5, 1)) << zone;
    }
}

// A file saved in one zone and taken in under another adds nothing the next
// read of the card would double.
TEST_F(ArchiveTimeZoneTest, FileSavedInOneZoneImportedInAnother)
{
    const HistoryBlockList blocks = Commute(1, 6);
    QByteArray savedInKiritimati;
    {
        const CTimeZone in("Pacific/Kiritimati"); // 14 hours ahead: its midnight is the day before elsewhere
        savedInKiritimati = EntryFileOf(MakeRead(kCardA, blocks).entries);
    }
    const CTimeZone in("America/Los_Angeles");
    CHistoryArchive archive(ArchivePath());
    QBuffer file(&savedInKiritimati);
    file.open(QIODevice::ReadOnly);
    CEntryInfoData loaded;
    loaded.Load(file);
    SMergeOutcome merged;
    ASSERT_TRUE(archive.ImportEntries(loaded.m_entries, &merged)) << archive.LastError().toStdString();
    EXPECT_EQ(merged.nAdded, 6u);
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, blocks), &merged));
    EXPECT_EQ(merged.nAdded, 0u);
    EXPECT_EQ(Entries(archive).size(), 6u);
}

} // namespace
