// The claim report: its texts, and the PDF read back with poppler.
#include "ClaimFixture.h"
#include "PdfText.h"

#include "claim/ClaimReport.h"
#include "claim/ClaimReportPainter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

// "n / m"; the text layer keeps narrow spaces only now and then.
QRegularExpression PageNumber(int page, int pages)
{
    return QRegularExpression(QStringLiteral("\\b%1 ?/ ?%2\\s*$").arg(page).arg(pages), QRegularExpression::MultilineOption);
}

// Where the pages go as PNG files, for a person to look at.
QString ScreenshotPrefix(const char* name)
{
    const QString folder = QStringLiteral(VOLUNI_BINARY_DIR "/screenshots");
    QDir().mkpath(folder);
    return folder + QLatin1Char('/') + QLatin1String(name);
}

TEST(ClaimReportTest, RoutesCompaniesAndTheTotal)
{
    auto rail = RailEntry(1, "東京", "新宿", 200, 1);
    rail->exitCompany = QStringLiteral("東京メトロ");
    auto bus = RailEntry(1, "", "三室山下", 220, 1);
    bus->terminalKind = 0x05;
    bus->processKind = 0x0F;
    bus->entryCompany.clear();
    bus->exitCompany = QStringLiteral("奈良交通");
    auto charge = RailEntry(2, "", "", -1000, 1);
    auto unticked = RailEntry(3, "有楽町", "東京", 170, 0);

    EXPECT_EQ(ClaimRoute(*rail), QStringLiteral("東京 → 新宿"));
    EXPECT_EQ(ClaimCompany(*rail), QStringLiteral("JR東日本・東京メトロ"));
    EXPECT_EQ(ClaimRoute(*bus), QStringLiteral("奈良交通"));
    EXPECT_EQ(ClaimCompany(*bus), QStringLiteral("奈良交通"));
    EXPECT_EQ(ClaimRoute(*charge), QString());
    EXPECT_EQ(ClaimCompany(*unticked), QStringLiteral("JR東日本"));
    // A ticked charge is no fare; an unticked fare is not claimed.
    EXPECT_EQ(ClaimTotal({rail.get(), bus.get(), charge.get(), unticked.get()}), 420);

    CCardRecord card;
    EXPECT_EQ(ClaimCardIdm(card, {rail.get()}), QStringLiteral("012E4C0012ABCDEF"));
    card.idm = {0xFE, 0, 0, 0, 0, 0, 0, 0x01};
    EXPECT_EQ(ClaimCardIdm(card, {rail.get()}), QStringLiteral("FE00000000000001"));
    EXPECT_EQ(ClaimCardIdm(CCardRecord(), {}), QString());
}

class ClaimReportPdfTest : public testing::Test {
protected:
    QString Write(const SClaimReport& report)
    {
        const QString path = m_dir.filePath(QStringLiteral("report.pdf"));
        QString error;
        EXPECT_TRUE(WriteClaimReportPdf(path, report, error)) << error.toStdString();
        return path;
    }

    QTemporaryDir m_dir;
};

TEST_F(ClaimReportPdfTest, EveryRowAndTheTotalAreInThePdf)
{
    const CEntryList entries = ClaimFixture();
    SClaimReport report;
    report.idm = QStringLiteral("012E4C0012ABCDEF");
    report.period = CClaimPeriod(QDate(2021, 1, 1), QDate(2021, 1, 31));
    report.rows = Rows(entries);
    report.printDate = QDate(2021, 2, 5);
    const QString path = Write(report);

    const QString text = PdfText(path);
    for (const char* expected : {"交通費精算書", "期間: 2021/01/01 〜 2021/01/31", "カードIDm: 012E4C0012ABCDEF",
                                 "日付", "区間", "会社", "金額", "訪問先", "備考",
                                 "2021/01/01", "東京 → 新宿, 西口", "1,500", "本社", "say \"hi\"",
                                 "2021/01/02", "1,000", "現金チャージ",
                                 "2021/01/03", "有楽町 → 東京", "12,345",
                                 "合計（申請分）", "1,500円", "印刷日: 2021/02/05"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();
    EXPECT_TRUE(text.contains(PageNumber(1, 1))) << text.toStdString();
    EXPECT_EQ(PdfPageCount(path), 1);

    // Every font is embedded, so the Japanese text reads the same on any machine.
    const QStringList fonts = PdfFonts(path).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
    ASSERT_FALSE(fonts.isEmpty());
    for (const QString& font : fonts)
        EXPECT_TRUE(font.contains(QRegularExpression(QStringLiteral("\\byes\\s+(yes|no)\\s+(yes|no)\\s+\\d+\\s+\\d+$"))))
            << font.toStdString();

    EXPECT_TRUE(PdfToPng(path, ScreenshotPrefix("claim_report")));
    EXPECT_FALSE(text.contains(QStringLiteral("時刻"))) << "the times only when asked for";
}

TEST_F(ClaimReportPdfTest, TheTimesComeAfterTheDateWhenShown)
{
    const CEntryList entries = ClaimFixture();
    SClaimReport report;
    report.rows = Rows(entries);
    report.printDate = QDate(2021, 2, 5);
    report.bShowTime = true;
    const QString text = PdfText(Write(report));
    for (const char* expected : {"日付", "時刻", "区間", "08:12–08:40", "–19:05", "東京 → 新宿, 西口", "1,500円"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();
    EXPECT_LT(text.indexOf(QStringLiteral("日付")), text.indexOf(QStringLiteral("時刻")));
}

TEST_F(ClaimReportPdfTest, SixtyRowsNumberTheirPagesAndRepeatTheHeader)
{
    CEntryList entries;
    for (int i = 0; i < 60; ++i)
        entries.push_back(RailEntry(1 + i / 3, "東京", "新宿", 100 + i, 1));
    SClaimReport report;
    report.rows = Rows(entries);
    report.printDate = QDate(2021, 2, 5);
    const QString path = Write(report);

    const int pages = PdfPageCount(path);
    ASSERT_EQ(pages, 3);
    int rowsSeen = 0;
    for (int page = 1; page <= pages; ++page) {
        const QString text = PdfText(path, page, page);
        EXPECT_TRUE(text.contains(PageNumber(page, pages))) << page;
        EXPECT_TRUE(text.contains(QStringLiteral("交通費精算書"))) << page;
        EXPECT_TRUE(text.contains(QStringLiteral("期間: 全期間"))) << page;
        EXPECT_TRUE(text.contains(QStringLiteral("区間"))) << page;
        rowsSeen += static_cast<int>(text.count(QStringLiteral("東京 → 新宿")));
        // The total closes the last page only: 60 fares of 100 to 159 yen.
        EXPECT_EQ(text.contains(QStringLiteral("7,770円")), page == pages) << page;
    }
    EXPECT_EQ(rowsSeen, 60);
    EXPECT_TRUE(PdfToPng(path, ScreenshotPrefix("claim_report_60")));
}

} // namespace
