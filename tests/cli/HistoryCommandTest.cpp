// voluni read into the history archive, and voluni history out of it.
#include "CommuterCard.h"
#include "DamagedArchive.h"
#include "StationDbFixture.h"
#include "VoluniCommandFixture.h"

#include "cli/ExitCode.h"

#include <QDate>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

class HistoryCommandTest : public VoluniCommandTest {
protected:
    void SetUp() override
    {
        VoluniCommandTest::SetUp();
        ASSERT_TRUE(m_database.Built()) << m_database.BuildError().toStdString();
    }

    // A card image holding records first .. last.
    QString CardImage(int first, int last, const char* idm = "01010312A4B5C6D7")
    {
        const QString json = CommuterCardJson(first, last, idm);
        return WriteFile(QStringLiteral("card-%1-%2-%3.json").arg(first).arg(last).arg(QString::fromLatin1(idm)),
                         json.toUtf8());
    }

    QStringList Read(const QString& image) const
    {
        return {QStringLiteral("read"), QStringLiteral("--card-image"), image, QStringLiteral("--database"),
                m_database.DatabasePath(), QStringLiteral("--polling-time"), QStringLiteral("0")};
    }

    QString Archive() const { return m_dir.filePath(QStringLiteral("archive/history.sqlite")); }
    QStringList WithArchive(QStringList args) const { return args << QStringLiteral("--archive") << Archive(); }

    // The amount and the counter of every entry the last JSON output holds.
    std::vector<std::pair<int, int>> AmountsAndSequences() const
    {
        std::vector<std::pair<int, int>> values;
        for (const QJsonValue& e : Json().value(QStringLiteral("entries")).toArray())
            values.emplace_back(e.toObject().value(QStringLiteral("amount")).toInt(),
                                e.toObject().value(QStringLiteral("sequence")).toInt());
        return values;
    }

    CStationDbFixture m_database;
};

TEST_F(HistoryCommandTest, ReadsJoinInTheArchiveAndTheOldestGetsItsFare)
{
    ASSERT_EQ(Run(WithArchive(Read(CardImage(1, 5)))), EXIT_OK) << m_messages.join('\n').toStdString();
    // Records 6-8: the card no longer holds 5, the archive does.
    ASSERT_EQ(Run(WithArchive(Read(CardImage(6, 8)))), EXIT_OK) << m_messages.join('\n').toStdString();
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('\n').toStdString();
    EXPECT_EQ(AmountsAndSequences(), (std::vector<std::pair<int, int>>{{210, 6}, {210, 7}, {210, 8}}));
    // And a read of 4-8 adds nothing.
    ASSERT_EQ(Run(WithArchive(Read(CardImage(4, 8)))), EXIT_OK);

    ASSERT_EQ(Run(WithArchive({QStringLiteral("history")})), EXIT_OK) << m_messages.join('\n').toStdString();
    EXPECT_EQ(AmountsAndSequences(), (std::vector<std::pair<int, int>>{
                                         {0, 1}, {210, 2}, {210, 3}, {210, 4}, {210, 5}, {210, 6}, {210, 7}, {210, 8}}));
    const QJsonObject root = Json();
    EXPECT_FALSE(root.contains(QStringLiteral("card")));
    const QJsonObject sixth = root.value(QStringLiteral("entries")).toArray().at(5).toObject();
    EXPECT_EQ(sixth.value(QStringLiteral("apply")).toInt(), 1);
    EXPECT_EQ(sixth.value(QStringLiteral("entryStationName")).toString(), QStringLiteral("有楽町"));
    EXPECT_EQ(sixth.value(QStringLiteral("idm")).toString(), QStringLiteral("01010312A4B5C6D7"));
    // every field, whether it is claimed, whether its fare is known and the gate times, as read and show print them
    EXPECT_EQ(sixth.size(), 36);
    EXPECT_TRUE(sixth.value(QStringLiteral("exitTime")).isNull());
    EXPECT_TRUE(sixth.value(QStringLiteral("claimed")).toBool());
}

TEST_F(HistoryCommandTest, NoArchiveLeavesItOutAltogether)
{
    ASSERT_EQ(Run(WithArchive(Read(CardImage(1, 5)))), EXIT_OK);
    ASSERT_EQ(Run(WithArchive(Read(CardImage(6, 8)) << QStringLiteral("--no-archive"))), EXIT_OK);
    // Neither asked (the oldest keeps 0) nor written.
    EXPECT_EQ(AmountsAndSequences().front(), std::make_pair(0, 6));
    ASSERT_EQ(Run(WithArchive({QStringLiteral("history")})), EXIT_OK);
    EXPECT_EQ(AmountsAndSequences().size(), 5u);

    const QString elsewhere = m_dir.filePath(QStringLiteral("never/history.sqlite"));
    ASSERT_EQ(Run(Read(CardImage(1, 5)) << QStringLiteral("--no-archive") << QStringLiteral("--archive") << elsewhere),
              EXIT_OK);
    EXPECT_FALSE(QFile::exists(elsewhere));
}

TEST_F(HistoryCommandTest, HistoryKeepsACardAndAPeriodAndWritesTheClaimCsv)
{
    ASSERT_EQ(Run(WithArchive(Read(CardImage(1, 8)))), EXIT_OK);
    ASSERT_EQ(Run(WithArchive(Read(CardImage(1, 2, "012E4C0012ABCDEF")))), EXIT_OK);

    ASSERT_EQ(Run(WithArchive({QStringLiteral("history")})), EXIT_OK);
    EXPECT_EQ(AmountsAndSequences().size(), 10u);
    ASSERT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--idm"), QStringLiteral("012e4c0012abcdef")})),
              EXIT_OK);
    EXPECT_EQ(AmountsAndSequences(), (std::vector<std::pair<int, int>>{{0, 1}, {210, 2}}));
    ASSERT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--idm"), QStringLiteral("01010312A4B5C6D7"),
                               QStringLiteral("--from"), QStringLiteral("2024-05-02"), QStringLiteral("--to"),
                               QStringLiteral("2024-05-03")})),
              EXIT_OK);
    EXPECT_EQ(AmountsAndSequences(), (std::vector<std::pair<int, int>>{{210, 3}, {210, 4}, {210, 5}, {210, 6}}));

    // The claim CSV, as export writes it.
    ASSERT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--idm"), QStringLiteral("01010312A4B5C6D7"),
                               QStringLiteral("--from"), QStringLiteral("2024-05-04"), QStringLiteral("--format"),
                               QStringLiteral("csv"), QStringLiteral("--columns"), QStringLiteral("2,5,8,9"),
                               QStringLiteral("--encoding"), QStringLiteral("utf8")})),
              EXIT_OK)
        << m_messages.join('\n').toStdString();
    EXPECT_EQ(m_output, QStringLiteral("日付,入場駅名,出場駅名,料金/入金額\r\n"
                                       "2024/05/04,東京,有楽町,210\r\n"
                                       "2024/05/04,有楽町,東京,210\r\n")
                            .toUtf8())
        << "UTF-8 for other programs: no byte order mark";
    // UTF-8 by default, with the default columns; --apply-only drops the unticked first record.
    ASSERT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--format"), QStringLiteral("csv"),
                               QStringLiteral("--apply-only")})),
              EXIT_OK);
    EXPECT_TRUE(m_output.startsWith(QStringLiteral("日付,").toUtf8()));
    EXPECT_EQ(m_output.count("\r\n"), 1 + 8);
    ASSERT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--format"), QStringLiteral("csv"),
                               QStringLiteral("--encoding"), QStringLiteral("sjis")})),
              EXIT_OK);
    EXPECT_TRUE(m_output.startsWith(QByteArray::fromHex("93fa95742c"))) << "日付, in Shift_JIS";
}

TEST_F(HistoryCommandTest, CardsListsEveryCard)
{
    ASSERT_EQ(Run(WithArchive(Read(CardImage(1, 8)))), EXIT_OK);
    ASSERT_EQ(Run(WithArchive(Read(CardImage(3, 4, "012E4C0012ABCDEF")))), EXIT_OK);

    ASSERT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--cards")})), EXIT_OK);
    const QJsonArray cards = Json().value(QStringLiteral("cards")).toArray();
    ASSERT_EQ(cards.size(), 2);
    const QJsonObject last = cards.at(0).toObject();
    EXPECT_EQ(last.value(QStringLiteral("idm")).toString(), QStringLiteral("012E4C0012ABCDEF"));
    EXPECT_EQ(last.value(QStringLiteral("name")).toString(), QString());
    EXPECT_EQ(last.value(QStringLiteral("entries")).toInt(), 2);
    EXPECT_EQ(last.value(QStringLiteral("firstDay")).toString(), QStringLiteral("2024-05-02"));
    EXPECT_EQ(last.value(QStringLiteral("lastDay")).toString(), QStringLiteral("2024-05-02"));
    EXPECT_EQ(cards.at(1).toObject().value(QStringLiteral("entries")).toInt(), 8);
    // One day of records gives no estimate; eight records over four days, 20 more in ten days.
    EXPECT_EQ(last.value(QStringLiteral("readBy")), QJsonValue(QJsonValue::Null));
    EXPECT_EQ(cards.at(1).toObject().value(QStringLiteral("readBy")).toString(), QStringLiteral("2024-05-14"));

    ASSERT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--cards"), QStringLiteral("--format"),
                               QStringLiteral("csv")})),
              EXIT_OK);
    EXPECT_EQ(m_output, QByteArray("idm,name,entries,firstDay,lastDay,readBy\r\n"
                                   "012E4C0012ABCDEF,,2,2024-05-02,2024-05-02,\r\n"
                                   "01010312A4B5C6D7,,8,2024-05-01,2024-05-04,2024-05-14\r\n"));
}

TEST_F(HistoryCommandTest, ReadSaysByWhenToReadTheCardAgain)
{
    const auto readBy = [this] { return Json().value(QStringLiteral("card")).toObject().value(QStringLiteral("readBy")); };
    ASSERT_EQ(Run(WithArchive(Read(CardImage(1, 2)))), EXIT_OK);
    EXPECT_EQ(readBy(), QJsonValue(QJsonValue::Null)) << "one day of records";
    ASSERT_EQ(Run(WithArchive(Read(CardImage(1, 6)))), EXIT_OK);
    EXPECT_EQ(readBy().toString(), QStringLiteral("2024-05-13")) << "six records over three days";
    ASSERT_EQ(Run(WithArchive(Read(CardImage(1, 6)) << QStringLiteral("--no-archive"))), EXIT_OK);
    EXPECT_EQ(readBy(), QJsonValue(QJsonValue::Null));
    EXPECT_TRUE(m_output.contains("\"balance\": 8740,\n    \"readBy\": null\n  },")) << m_output.toStdString();
}

TEST_F(HistoryCommandTest, ReadAfterTooManyRidesNamesTheGap)
{
    ASSERT_EQ(Run(WithArchive(Read(CardImage(1, 3)))), EXIT_OK);
    EXPECT_EQ(Json().value(QStringLiteral("gaps")).toArray().size(), 0);
    // 4 and 5 fell off the card before this read.
    ASSERT_EQ(Run(WithArchive(Read(CardImage(6, 8)))), EXIT_OK);
    EXPECT_EQ(m_messages, QStringList(QStringLiteral(
                              "前回の読込以降の利用のうち 2 件は、読み込む前にカードから消えました（2024/05/02〜2024/05/03）。")));
    const QByteArray gap = "      \"idm\": \"01010312A4B5C6D7\",\n"
                           "      \"missing\": 2,\n"
                           "      \"afterSequence\": 3,\n"
                           "      \"beforeSequence\": 6,\n"
                           "      \"afterDate\": \"2024-05-02\",\n"
                           "      \"beforeDate\": \"2024-05-03\"\n";
    EXPECT_TRUE(m_output.contains("  \"gaps\": [\n    {\n" + gap + "    }\n  ],\n")) << m_output.toStdString();
    // 6's fare is not known: 0 and not ticked, and it says so.
    const QJsonArray entries = Json().value(QStringLiteral("entries")).toArray();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries.at(0).toObject().value(QStringLiteral("amount")).toInt(-1), 0);
    EXPECT_EQ(entries.at(0).toObject().value(QStringLiteral("apply")).toInt(-1), 0);
    EXPECT_EQ(entries.at(0).toObject().value(QStringLiteral("amountKnown")), QJsonValue(false));
    EXPECT_EQ(entries.at(1).toObject().value(QStringLiteral("amountKnown")), QJsonValue(true));

    ASSERT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--gaps")})), EXIT_OK);
    EXPECT_EQ(m_output, "{\n  \"gaps\": [\n    {\n" + gap + "    }\n  ]\n}\n");
    ASSERT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--gaps"), QStringLiteral("--format"),
                               QStringLiteral("csv")})),
              EXIT_OK);
    EXPECT_EQ(m_output, QByteArray("idm,missing,afterSequence,beforeSequence,afterDate,beforeDate\r\n"
                                   "01010312A4B5C6D7,2,3,6,2024-05-02,2024-05-03\r\n"));
    // Outside the gap's days, or of another card, there is none.
    for (const QStringList& filter : {QStringList{QStringLiteral("--from"), QStringLiteral("2024-05-04")},
                                      QStringList{QStringLiteral("--idm"), QStringLiteral("012E4C0012ABCDEF")}}) {
            ASSERT_EQ(Run(WithArchive(QStringList{QStringLiteral("history"), QStringLiteral("--gaps")} + filter)), EXIT_OK);
        EXPECT_EQ(m_output, QByteArray("{\n  \"gaps\": []\n}\n")) << filter.join(' ').toStdString();
    }
}

TEST_F(HistoryCommandTest, MissingArchiveIsEmptyAndStaysMissing)
{
    ASSERT_EQ(Run(WithArchive({QStringLiteral("history")})), EXIT_OK) << m_messages.join('\n').toStdString();
    EXPECT_EQ(m_output, QByteArray("{\n  \"entries\": []\n}\n"));
    ASSERT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--cards")})), EXIT_OK);
    EXPECT_EQ(m_output, QByteArray("{\n  \"cards\": []\n}\n"));
    EXPECT_FALSE(QFile::exists(Archive()));
    EXPECT_FALSE(QDir(m_dir.filePath(QStringLiteral("archive"))).exists());
}

TEST_F(HistoryCommandTest, BrokenArchiveNeverStopsARead)
{
    const QByteArray garbage = QByteArray("not an archive at all\n").repeated(100);
    QDir().mkpath(QFileInfo(Archive()).absolutePath());
    WriteFile(QStringLiteral("archive/history.sqlite"), garbage);

    ASSERT_EQ(Run(WithArchive(Read(CardImage(1, 5)))), EXIT_OK);
    EXPECT_EQ(AmountsAndSequences().size(), 5u);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].startsWith(QStringLiteral("the read was not archived: ") + Archive()))
        << m_messages[0].toStdString();
    EXPECT_TRUE(m_messages[0].contains(QStringLiteral("not a database"))) << m_messages[0].toStdString();
    QFile file(Archive());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), garbage);

    // Only the history command itself fails on it.
    m_messages.clear();
    EXPECT_EQ(Run(WithArchive({QStringLiteral("history")})), EXIT_FILE);
    EXPECT_TRUE(m_output.isEmpty());
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--cards")})), EXIT_FILE);
}

TEST_F(HistoryCommandTest, BadHistoryArgumentsAreUsageErrors)
{
    const QStringList cases[] = {
        {QStringLiteral("history"), QStringLiteral("week.ent")},
        {QStringLiteral("history"), QStringLiteral("--idm"), QStringLiteral("0101")},
        {QStringLiteral("history"), QStringLiteral("--idm"), QStringLiteral("01010312A4B5C6DG")},
        {QStringLiteral("history"), QStringLiteral("--from"), QStringLiteral("May")},
        {QStringLiteral("history"), QStringLiteral("--from"), QStringLiteral("2024-05-02"), QStringLiteral("--to"),
         QStringLiteral("2024-05-01")},
        {QStringLiteral("history"), QStringLiteral("--cards"), QStringLiteral("--idm"), QStringLiteral("01010312A4B5C6D7")},
        {QStringLiteral("history"), QStringLiteral("--cards"), QStringLiteral("--gaps")},
        {QStringLiteral("history"), QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("--columns"),
         QStringLiteral("0")},
    };
    for (const QStringList& args : cases) {
        m_messages.clear();
        EXPECT_EQ(Run(WithArchive(args)), EXIT_USAGE) << args.join(' ').toStdString();
        EXPECT_TRUE(m_output.isEmpty()) << args.join(' ').toStdString();
        EXPECT_FALSE(m_messages.isEmpty()) << args.join(' ').toStdString();
    }
    EXPECT_FALSE(QFile::exists(Archive()));
}

// The viewer's 履歴に取り込む on the command line: its messages, and no entry twice.
TEST_F(HistoryCommandTest, ImportTakesInAnEntryFileOnce)
{
    CEntryList entries;
    entries.push_back(FareEntry());
    const QString file = WriteFile(QStringLiteral("week.ent"), StoredFile(std::move(entries)));
    const QStringList import = WithArchive({QStringLiteral("history"), QStringLiteral("--import"), file});
    ASSERT_EQ(Run(import), EXIT_OK) << m_messages.join('\n').toStdString();
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("1件を履歴に取り込みました（0件は取り込み済み）。")});
    m_messages.clear();
    ASSERT_EQ(Run(import), EXIT_OK);
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("0件を履歴に取り込みました（1件は取り込み済み）。")});
    ASSERT_EQ(Run(WithArchive({QStringLiteral("history")})), EXIT_OK);
    EXPECT_EQ(AmountsAndSequences().size(), 1u);

    m_messages.clear();
    EXPECT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--import"), m_dir.filePath("none.ent")})),
              EXIT_FILE);
    EXPECT_EQ(m_messages.size(), 1);
    EXPECT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--import"), file, QStringLiteral("--recover")})),
              EXIT_USAGE);
}

// A damaged archive: the read is printed all the same, the archive says it is
// damaged, and --recover saves what can be read and the waiting read.
TEST_F(HistoryCommandTest, DamagedArchiveIsRecovered)
{
    ASSERT_EQ(Run(WithArchive(Read(CardImage(1, 5)))), EXIT_OK) << m_messages.join('\n').toStdString();
    ASSERT_TRUE(DamageTheDayIndex(Archive()));
    m_messages.clear();
    ASSERT_EQ(Run(WithArchive(Read(CardImage(4, 8)))), EXIT_OK);
    EXPECT_EQ(AmountsAndSequences().size(), 5u);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains(QStringLiteral("履歴ファイルが壊れています: ") + Archive()))
        << m_messages[0].toStdString();

    m_messages.clear();
    ASSERT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--recover")})), EXIT_OK)
        << m_messages.join('\n').toStdString();
    const QString damaged = Archive() + QStringLiteral(".damaged-") + QDate::currentDate().toString(Qt::ISODate);
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("5件の記録を新しい履歴ファイルに移しました。元のファイルは %1 に残しました。")
                                          .arg(damaged)});
    EXPECT_TRUE(QFile::exists(damaged));
    ASSERT_EQ(Run(WithArchive({QStringLiteral("history")})), EXIT_OK) << m_messages.join('\n').toStdString();
    EXPECT_EQ(AmountsAndSequences().size(), 8u);
}

// Without --archive, read and history share the viewer's data folder.
TEST_F(HistoryCommandTest, DefaultArchiveIsInTheViewersDataFolder)
{
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("xdg"))));
    const int read = Run(Read(CardImage(1, 3)));
    const bool made = QFile::exists(m_dir.filePath(QStringLiteral("xdg/Ombrel/Voluni_Viewer/history.sqlite")));
    const int history = Run({QStringLiteral("history")});
    const size_t count = AmountsAndSequences().size();
    qputenv("XDG_DATA_HOME", dataHome);
    EXPECT_EQ(read, EXIT_OK);
    EXPECT_TRUE(made);
    EXPECT_EQ(history, EXIT_OK);
    EXPECT_EQ(count, 3u);
}

} // namespace
