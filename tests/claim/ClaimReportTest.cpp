// The claim report: its texts, and the PDF read back with poppler.
#include "ClaimFixture.h"
#include "PdfText.h"

#include "claim/ClaimArchiveFacts.h"
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

TEST_F(ClaimReportPdfTest, AnUnknownFareSaysSoAndCountsNothing)
{
    auto known = RailEntry(1, "東京", "新宿", 200, 1);
    auto unknown = RailEntry(2, "新宿", "東京", 0, 1);
    unknown->amountKnown = false;
    SClaimReport report;
    report.rows = {known.get(), unknown.get()};
    report.printDate = QDate(2021, 2, 5);
    const QString text = PdfText(Write(report));
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("新宿 → 東京\\s+JR東日本\\s+不明")))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("200円"))) << text.toStdString();
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
        // 全期間 prints the first and the last day of the rows.
        EXPECT_TRUE(text.contains(QStringLiteral("期間: 2021/01/01 〜 2021/01/20"))) << page;
        EXPECT_TRUE(text.contains(QStringLiteral("区間"))) << page;
        rowsSeen += static_cast<int>(text.count(QStringLiteral("東京 → 新宿")));
        // The total closes the last page only: 60 fares of 100 to 159 yen.
        EXPECT_EQ(text.contains(QStringLiteral("7,770円")), page == pages) << page;
    }
    EXPECT_EQ(rowsSeen, 60);
    EXPECT_TRUE(PdfToPng(path, ScreenshotPrefix("claim_report_60")));
}

// Text with every space and line break taken out: a wrapped cell's lines join up.
QString Joined(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

SClaimReport HeaderReport(const CEntryList& entries)
{
    SClaimReport report;
    report.idm = QStringLiteral("012E4C0012ABCDEF");
    report.cardName = QStringLiteral("通勤用パスモ");
    report.rows = Rows(entries);
    report.printDate = QDate(2021, 2, 5);
    report.header.name = QStringLiteral("山田 太郎");
    report.header.department = QStringLiteral("営業部 第二課");
    report.header.employeeId = QStringLiteral("A-1024");
    report.header.date = QDate(2021, 2, 3);
    report.header.purpose = QStringLiteral("顧客訪問（横浜）");
    report.header.stampCount = 4;
    report.header.stampTitles = {QStringLiteral("申請者"), QStringLiteral("課長"), QStringLiteral("部長"),
                                 QStringLiteral("経理")};
    return report;
}

TEST_F(ClaimReportPdfTest, HeaderStampsNamedCardAndThePeriodsDays)
{
    const CEntryList entries = ClaimFixture();
    const QString path = Write(HeaderReport(entries));

    const QString text = PdfText(path);
    // 全期間: the days of the first and the last row; the card by its name, the IDm after it.
    for (const char* expected : {"申請日", "2021/02/03", "氏名", "山田 太郎", "所属", "営業部 第二課", "社員番号",
                                 "A-1024", "目的/用件", "顧客訪問（横浜）", "申請者", "課長", "部長", "経理",
                                 "期間: 2021/01/01 〜 2021/01/03", "カード: 通勤用パスモ", "012E4C0012ABCDEF",
                                 "申請 1 件", "合計（申請分）", "1,500円"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("カードIDm"))) << "a named card is shown by its name";
    EXPECT_FALSE(text.contains(QStringLiteral("読み込まれていない"))) << "no gap, no line";
    EXPECT_TRUE(PdfToPng(path, ScreenshotPrefix("claim_report_header"), 96));
}

TEST_F(ClaimReportPdfTest, EmptyFieldsKeepTheirLabelsAndStampsFollowTheirCount)
{
    const CEntryList entries = ClaimFixture();
    const struct {
        int stampCount;
        QStringList shown;
        QStringList hidden;
    } cases[] = {
        {0, {}, {QStringLiteral("申請者"), QStringLiteral("承認者"), QStringLiteral("経理")}},
        {2, {QStringLiteral("申請者"), QStringLiteral("承認者")}, {QStringLiteral("経理")}},
        {3, {QStringLiteral("申請者"), QStringLiteral("承認者"), QStringLiteral("経理")}, {}},
    };
    for (const auto& c : cases) {
        SClaimReport report;
        report.rows = Rows(entries);
        report.printDate = QDate(2021, 2, 5);
        report.period = CClaimPeriod(QDate(2021, 1, 1), QDate(2021, 1, 31));
        report.header.stampCount = c.stampCount;
        report.header.stampTitles = {QStringLiteral("申請者"), QStringLiteral("承認者"), QStringLiteral("経理")};
        const QString text = PdfText(Write(report));
        // The labels stay, each with its line to write on; 申請日 is the day of printing.
        for (const char* label : {"氏名", "所属", "社員番号", "目的/用件"})
            EXPECT_TRUE(text.contains(QString::fromUtf8(label))) << label;
        EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("申請日\\s+2021/02/05")))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("期間: 2021/01/01 〜 2021/01/31")));
        for (const QString& title : c.shown)
            EXPECT_TRUE(text.contains(title)) << c.stampCount << title.toStdString();
        for (const QString& title : c.hidden)
            EXPECT_FALSE(text.contains(title)) << c.stampCount << title.toStdString();
    }
}

TEST_F(ClaimReportPdfTest, LongRemarkAndDestinationWrapAndStayWhole)
{
    const QString remark = QStringLiteral("第三四半期の販売計画について横浜支店の担当者と打ち合わせ、帰りに倉庫の在庫を確認した");
    const QString destination = QStringLiteral("株式会社サンプル商事 横浜みなとみらい支店");
    CEntryList entries = ClaimFixture();
    entries.front()->remarks = remark;
    entries.front()->destination = destination;
    const QString path = Write(HeaderReport(entries));

    // Not on one line, and whole once the lines are joined.
    EXPECT_FALSE(PdfText(path).contains(remark));
    const QString joined = Joined(PdfRawText(path));
    EXPECT_TRUE(joined.contains(Joined(remark))) << joined.toStdString();
    EXPECT_TRUE(joined.contains(Joined(destination))) << joined.toStdString();
}

TEST_F(ClaimReportPdfTest, SixtyWrappedRowsNeverSplitAcrossPages)
{
    CEntryList entries;
    for (int i = 0; i < 60; ++i) {
        entries.push_back(RailEntry(1 + i / 3, "東京", "新宿", 100 + i, 1));
        // Long enough for two or three lines, so the rows are of unlike heights.
        entries.back()->remarks = QStringLiteral("第%1回 取引先との打ち合わせのため移動").arg(i + 1) +
                                  QString(i % 3, QChar(u'・')) + QStringLiteral("記録%1終わり").arg(i + 1);
    }
    SClaimReport report = HeaderReport(entries);
    report.unread = SUnreadTrips{2, QDate(2021, 1, 5), QDate(2021, 1, 6)};
    const QString path = Write(report);

    const int pages = PdfPageCount(path);
    ASSERT_GE(pages, 3);
    std::vector<int> pageOfRow(60, 0);
    for (int page = 1; page <= pages; ++page) {
        const QString layout = PdfText(path, page, page);
        EXPECT_TRUE(layout.contains(PageNumber(page, pages))) << page;
        EXPECT_TRUE(layout.contains(QStringLiteral("区間"))) << "the table's titles on page " << page;
        const QString joined = Joined(PdfRawText(path, page, page));
        for (int i = 0; i < 60; ++i) {
            if (joined.contains(Joined(entries.at(static_cast<size_t>(i))->remarks)))
                pageOfRow[static_cast<size_t>(i)] = page;
        }
        // The closing lines on the last page alone.
        EXPECT_EQ(layout.contains(QStringLiteral("7,770円")), page == pages) << page;
        EXPECT_EQ(layout.contains(QStringLiteral("申請 60 件")), page == pages) << page;
    }
    // Every row whole on one page, in order.
    for (size_t i = 0; i < pageOfRow.size(); ++i) {
        EXPECT_GT(pageOfRow[i], 0) << "row " << i + 1 << " is not whole on any page";
        if (i > 0) {
            EXPECT_GE(pageOfRow[i], pageOfRow[i - 1]) << i;
        }
    }
    EXPECT_TRUE(PdfToPng(path, ScreenshotPrefix("claim_report_wrapped"), 96));
}

TEST_F(ClaimReportPdfTest, UnreadTripsOfThePeriodGetTheirLine)
{
    SArchiveGap early;
    early.nMissing = 2;
    early.afterDay = QDate(2021, 1, 2);
    early.beforeDay = QDate(2021, 1, 3);
    SArchiveGap late;
    late.nMissing = 3;
    late.afterDay = QDate(2021, 1, 10);
    late.beforeDay = QDate(2021, 1, 12);
    // Several gaps: their sum, from the day before the first to the day after the last.
    const SUnreadTrips unread = UnreadTrips({late, early});
    EXPECT_EQ(unread.nCount, 5);
    EXPECT_EQ(unread.from, QDate(2021, 1, 2));
    EXPECT_EQ(unread.to, QDate(2021, 1, 12));

    const CEntryList entries = ClaimFixture();
    SClaimReport report = HeaderReport(entries);
    report.unread = unread;
    const QString text = PdfText(Write(report));
    EXPECT_TRUE(text.contains(QStringLiteral("この期間には読み込まれていない利用が 5 件あります（2021/01/02〜2021/01/12）。")))
        << text.toStdString();
}

} // namespace
