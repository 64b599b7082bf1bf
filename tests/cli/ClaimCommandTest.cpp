// voluni export and voluni report, run in-process with a recorded message presenter.
#include "ClaimFixture.h"
#include "CommuterCard.h"
#include "PdfText.h"
#include "StationDbFixture.h"

#include "card/AppMessage.h"
#include "cli/ExitCode.h"
#include "cli/VoluniCommand.h"
#include "document/EntryInfoData.h"
#include "document/OutputFile.h"
#include "history/HistoryArchive.h"
#include "settings/AppProfile.h"
#include "readers/sim/SimulatedPcscService.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

namespace {

class ClaimCommandTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_previous = SetMessagePresenter([this](const QString& text, MessageIcon) { m_messages << text; });
        CEntryInfoData data;
        data.m_entries = ClaimFixture();
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        data.Store(buffer);
        m_entryFile = WriteFile(QStringLiteral("week.ent"), buffer.data());
    }

    void TearDown() override
    {
        SetMessagePresenter(m_previous);
        SetPcscService(nullptr);
    }

    int Run(QStringList args)
    {
        args.prepend(QStringLiteral("voluni"));
        QByteArray output;
        const int rc = RunVoluni(args, output);
        EXPECT_TRUE(output.isEmpty()); // the file is the output
        return rc;
    }

    QString WriteFile(const QString& name, const QByteArray& bytes) const
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QByteArray ReadOutput() const
    {
        QFile file(Output());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString Output(const char* name = "out") const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
    QString m_entryFile;
    QStringList m_messages;
    MessagePresenter m_previous;
};

// A disk that fills up halfway: exit 8, the reason, and the old file as it was.
TEST_F(ClaimCommandTest, RefusedWriteIsAFileErrorAndKeepsTheOldFile)
{
    for (const char* command : {"export", "report"}) {
        const QString path = WriteFile(QStringLiteral("old"), "old");
        SetOutputFault(SOutputFault{100, QStringLiteral("No space left on device")});
        m_messages.clear();
        const int rc = Run({QString::fromLatin1(command), m_entryFile, QStringLiteral("--output"), path});
        SetOutputFault(std::nullopt);
        EXPECT_EQ(rc, EXIT_FILE) << command;
        EXPECT_EQ(m_messages, QStringList{path + QStringLiteral(": No space left on device")}) << command;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), "old") << command;
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), (QStringList{QStringLiteral("old"), QStringLiteral("week.ent")}))
            << command;
    }
}

TEST_F(ClaimCommandTest, ExportWritesTheClaimCsv)
{
    ASSERT_EQ(Run({QStringLiteral("export"), m_entryFile, QStringLiteral("--output"), Output()}), EXIT_OK)
        << m_messages.join('\n').toStdString();
    // The default: Shift_JIS, a title row, 日付,入場駅名,出場駅名,料金/入金額,訪問先,備考.
    EXPECT_TRUE(ReadOutput().startsWith(QByteArray::fromHex(
        "93fa95742c93fc8fea897796bc2c8f6f8fea897796bc2c97bf8be02f93fc8be08a7a2c964b96e290e62c94f58d6c0d0a")));
    EXPECT_EQ(ReadOutput().count("\r\n"), 4);

    ASSERT_EQ(Run({QStringLiteral("export"), m_entryFile, QStringLiteral("--columns"), QStringLiteral("9,2"),
                   QStringLiteral("--encoding"), QStringLiteral("utf8"), QStringLiteral("--apply-only"),
                   QStringLiteral("--output"), Output()}),
              EXIT_OK);
    EXPECT_EQ(ReadOutput(), QByteArray("\xEF\xBB\xBF") + QStringLiteral("料金/入金額,日付\r\n1500,2021/01/01\r\n").toUtf8());

    ASSERT_EQ(Run({QStringLiteral("export"), m_entryFile, QStringLiteral("--columns"), QStringLiteral("2,9"),
                   QStringLiteral("--encoding"), QStringLiteral("utf8"), QStringLiteral("--from"),
                   QStringLiteral("2021-01-02"), QStringLiteral("--to"), QStringLiteral("2021/01/03"),
                   QStringLiteral("--output"), Output()}),
              EXIT_OK);
    EXPECT_EQ(ReadOutput(), QByteArray("\xEF\xBB\xBF") +
                                QStringLiteral("日付,料金/入金額\r\n2021/01/02,1000\r\n2021/01/03,12345\r\n").toUtf8());
}

// Newest first: a fare 有楽町 -> 東京, a cash charge, the oldest fare.
const char* const kCardImage = R"({"idm": "012E4C0012ABCDEF", "pmm": "100B4B428485D0FF", "systems": ["0003"],
  "history": ["160100002A2201020101340300010300", "080200002A2100000000E80300010200",
              "160100002A2101010102000000010100"]})";

TEST_F(ClaimCommandTest, ExportAndReportReadACardImage)
{
    CStationDbFixture database;
    ASSERT_TRUE(database.Built()) << database.BuildError().toStdString();
    const QString image = WriteFile(QStringLiteral("card.json"), QByteArray(kCardImage));
    const QStringList card = {QStringLiteral("--card-image"), image, QStringLiteral("--database"),
                              database.DatabasePath(), QStringLiteral("--polling-time"), QStringLiteral("0")};
    ASSERT_EQ(Run(QStringList{QStringLiteral("export"), QStringLiteral("--columns"), QStringLiteral("5,8,9"),
                              QStringLiteral("--encoding"), QStringLiteral("utf8"), QStringLiteral("--output"),
                              Output()} + card),
              EXIT_OK)
        << m_messages.join('\n').toStdString();
    EXPECT_TRUE(QString::fromUtf8(ReadOutput()).contains(QStringLiteral("\r\n有楽町,東京,180\r\n")));

    const QString pdf = Output("card.pdf");
    ASSERT_EQ(Run(QStringList{QStringLiteral("report"), QStringLiteral("--apply-only"), QStringLiteral("--output"),
                              pdf} + card),
              EXIT_OK)
        << m_messages.join('\n').toStdString();
    const QString text = PdfText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("カードIDm: 012E4C0012ABCDEF")));
    EXPECT_TRUE(text.contains(QStringLiteral("有楽町 → 東京")));
    EXPECT_TRUE(text.contains(QStringLiteral("180円")));
    EXPECT_FALSE(text.contains(QStringLiteral("1,000"))); // the charge is not ticked
}

TEST_F(ClaimCommandTest, ReportWritesThePeriodsRows)
{
    const QString pdf = Output("claim.pdf");
    ASSERT_EQ(Run({QStringLiteral("report"), m_entryFile, QStringLiteral("--from"), QStringLiteral("2021-01-03"),
                   QStringLiteral("--to"), QStringLiteral("2021-01-03"), QStringLiteral("--output"), pdf}),
              EXIT_OK)
        << m_messages.join('\n').toStdString();
    const QString text = PdfText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("期間: 2021/01/03 〜 2021/01/03")));
    EXPECT_TRUE(text.contains(QStringLiteral("有楽町 → 東京")));
    EXPECT_TRUE(text.contains(QStringLiteral("12,345")));
    EXPECT_FALSE(text.contains(QStringLiteral("2021/01/01")));
    EXPECT_TRUE(text.contains(QStringLiteral("カードIDm: 012E4C0012ABCDEF"))); // from the entries
}

// The header as the settings keep it, the options given over it.
TEST_F(ClaimCommandTest, ReportHeaderComesFromTheSettingsAndTheOptions)
{
    CAppProfile profile;
    profile.LoadProfile();
    profile.m_strReportName = QStringLiteral("設定 花子");
    profile.m_strReportDepartment = QStringLiteral("総務部");
    profile.m_strReportPurpose = QStringLiteral("定例会議");
    profile.m_nReportStampCount = 2;
    profile.m_arrReportStampTitles = QStringList{QStringLiteral("本人"), QStringLiteral("上長")};
    profile.SaveProfile();
    const QString pdf = Output("header.pdf");
    const int rc = Run({QStringLiteral("report"), m_entryFile, QStringLiteral("--name"), QStringLiteral("山田 太郎"),
                        QStringLiteral("--employee-id"), QStringLiteral("A-1024"), QStringLiteral("--date"),
                        QStringLiteral("2021-02-03"), QStringLiteral("--purpose"), QStringLiteral("顧客訪問"),
                        QStringLiteral("--output"), pdf});
    OpenSettingsStore().clear();
    ASSERT_EQ(rc, EXIT_OK) << m_messages.join('\n').toStdString();
    const QString text = PdfText(pdf);
    for (const char* expected : {"山田 太郎", "総務部", "A-1024", "2021/02/03", "顧客訪問", "本人", "上長",
                                 "期間: 2021/01/01 〜 2021/01/03"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("設定 花子")));
    EXPECT_FALSE(text.contains(QStringLiteral("定例会議")));
}

// The card as the person named it in the archive, and the records of the
// period that no read caught.
TEST_F(ClaimCommandTest, ReportNamesTheCardAndCountsTheUnreadTrips)
{
    CStationDbFixture database;
    ASSERT_TRUE(database.Built()) << database.BuildError().toStdString();
    const QString archive = m_dir.filePath(QStringLiteral("archive/history.sqlite"));
    const auto read = [&](int first, int last) {
        const QString image = WriteFile(QStringLiteral("commuter-%1-%2.json").arg(first).arg(last),
                                        CommuterCardJson(first, last).toUtf8());
        return QStringList{QStringLiteral("--card-image"), image, QStringLiteral("--database"), database.DatabasePath(),
                           QStringLiteral("--polling-time"), QStringLiteral("0"), QStringLiteral("--archive"), archive};
    };
    QByteArray ignored;
    ASSERT_EQ(RunVoluni(QStringList{QStringLiteral("voluni"), QStringLiteral("read")} + read(1, 3), ignored), EXIT_OK);
    // 4 and 5 fell off the card before the next read.
    ASSERT_EQ(RunVoluni(QStringList{QStringLiteral("voluni"), QStringLiteral("read")} + read(6, 8), ignored), EXIT_OK);
    {
        CHistoryArchive named(archive);
        ASSERT_TRUE(named.SetCardName({0x01, 0x01, 0x03, 0x12, 0xA4, 0xB5, 0xC6, 0xD7}, QStringLiteral("通勤用")));
    }

    const QString pdf = Output("named.pdf");
    ASSERT_EQ(Run(QStringList{QStringLiteral("report"), QStringLiteral("--output"), pdf} + read(6, 8)), EXIT_OK)
        << m_messages.join('\n').toStdString();
    const QString text = PdfText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("カード: 通勤用"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("01010312A4B5C6D7")));
    EXPECT_TRUE(text.contains(QStringLiteral("期間: 2024/05/03 〜 2024/05/04")));
    EXPECT_TRUE(text.contains(QStringLiteral("この期間には読み込まれていない利用が 2 件あります（2024/05/02〜2024/05/03）。")))
        << text.toStdString();

    // A period after the gap has nothing unread.
    ASSERT_EQ(Run(QStringList{QStringLiteral("report"), QStringLiteral("--from"), QStringLiteral("2024-05-04"),
                              QStringLiteral("--output"), pdf} + read(6, 8)),
              EXIT_OK);
    EXPECT_FALSE(PdfText(pdf).contains(QStringLiteral("読み込まれていない")));
}

TEST_F(ClaimCommandTest, DashAndDevStdoutMeanStandardOutput)
{
    for (const QString& target : {QStringLiteral("-"), QStringLiteral("/dev/stdout")}) {
        QByteArray csv;
        ASSERT_EQ(RunVoluni({QStringLiteral("voluni"), QStringLiteral("export"), m_entryFile, QStringLiteral("--columns"),
                             QStringLiteral("9"), QStringLiteral("--apply-only"), QStringLiteral("--output"), target},
                            csv),
                  EXIT_OK)
            << m_messages.join('\n').toStdString();
        EXPECT_EQ(csv, QByteArray::fromHex("97bf8be02f93fc8be08a7a") + "\r\n1500\r\n") << target.toStdString();
        QByteArray pdf;
        ASSERT_EQ(RunVoluni({QStringLiteral("voluni"), QStringLiteral("report"), m_entryFile, QStringLiteral("--output"),
                             target},
                            pdf),
                  EXIT_OK);
        EXPECT_TRUE(pdf.startsWith("%PDF-")) << target.toStdString();
    }
    EXPECT_FALSE(QFile::exists(QStringLiteral("-"))) << "no file named -";
}

TEST_F(ClaimCommandTest, BadArgumentsWriteNothingAndSayWhy)
{
    const QString out = Output();
    const QString missing = m_dir.filePath(QStringLiteral("missing.ent"));
    const QString noFolder = m_dir.filePath(QStringLiteral("none/out.csv"));
    const struct {
        QStringList args;
        int exitCode;
    } cases[] = {
        {{QStringLiteral("export"), m_entryFile}, EXIT_USAGE},                                   // no --output
        {{QStringLiteral("export"), QStringLiteral("--output"), out}, EXIT_USAGE},              // no entries
        {{QStringLiteral("export"), m_entryFile, m_entryFile, QStringLiteral("--output"), out}, EXIT_USAGE},
        {{QStringLiteral("report"), m_entryFile, QStringLiteral("--card-image"), m_entryFile, QStringLiteral("--output"),
          out},
         EXIT_USAGE},
        {{QStringLiteral("export"), m_entryFile, QStringLiteral("--columns"), QStringLiteral("0,2"),
          QStringLiteral("--output"), out},
         EXIT_USAGE},
        {{QStringLiteral("export"), m_entryFile, QStringLiteral("--columns"), QStringLiteral("15"),
          QStringLiteral("--output"), out},
         EXIT_USAGE},
        {{QStringLiteral("export"), m_entryFile, QStringLiteral("--encoding"), QStringLiteral("latin1"),
          QStringLiteral("--output"), out},
         EXIT_USAGE},
        {{QStringLiteral("report"), m_entryFile, QStringLiteral("--from"), QStringLiteral("yesterday"),
          QStringLiteral("--output"), out},
         EXIT_USAGE},
        {{QStringLiteral("report"), m_entryFile, QStringLiteral("--date"), QStringLiteral("2021-02-30"),
          QStringLiteral("--output"), out},
         EXIT_USAGE},
        {{QStringLiteral("report"), m_entryFile, QStringLiteral("--from"), QStringLiteral("2021-02-01"),
          QStringLiteral("--to"), QStringLiteral("2021-01-01"), QStringLiteral("--output"), out},
         EXIT_USAGE},
        {{QStringLiteral("export"), missing, QStringLiteral("--output"), out}, EXIT_FILE},
        {{QStringLiteral("export"), m_entryFile, QStringLiteral("--output"), noFolder}, EXIT_FILE},
        {{QStringLiteral("report"), m_entryFile, QStringLiteral("--output"), noFolder}, EXIT_FILE},
    };
    for (const auto& c : cases) {
        m_messages.clear();
        EXPECT_EQ(Run(c.args), c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(out)) << c.args.join(' ').toStdString();
        EXPECT_EQ(m_messages.size(), 1) << c.args.join(' ').toStdString();
    }
}

// The program itself: the report needs fonts, and so an application with a
// GUI platform even where there is no display.
TEST_F(ClaimCommandTest, ProgramWritesTheReportWithoutADisplay)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process.setProcessEnvironment(environment);
    const QString pdf = Output("program.pdf");
    process.start(QStringLiteral(VOLUNI_BINARY_DIR "/bin/voluni"),
                  {QStringLiteral("report"), m_entryFile, QStringLiteral("--output"), pdf});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), EXIT_OK) << process.readAllStandardError().toStdString();
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(PdfText(pdf).contains(QStringLiteral("有楽町 → 東京")));
}

} // namespace
