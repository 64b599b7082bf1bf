// What the card watcher tells where there is no notification service.
#include "cli/WatchReport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>

namespace {

class WatchReportTest : public testing::Test {
protected:
    void SetUp() override
    {
        // No session bus: every message takes the standard streams.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QDir::temp().filePath(QStringLiteral("no-such-bus")).toLocal8Bit());
        m_out.open(QIODevice::WriteOnly);
        m_err.open(QIODevice::WriteOnly);
    }

    QString Out() const { return QString::fromUtf8(m_out.data()); }
    QString Err() const { return QString::fromUtf8(m_err.data()); }

    QBuffer m_out;
    QBuffer m_err;
};

const QString kGap = QStringLiteral("前回の読込以降の利用のうち 2 件は、読み込む前にカードから消えました（2026/11/02〜2026/11/05）。");

struct SSavedCase {
    const char* name;
    bool quiet;
    SWatchSaved saved;
    const char* printed;
};

void PrintTo(const SSavedCase& savedCase, std::ostream* out)
{
    *out << savedCase.name;
}

class WatchReportSaved : public WatchReportTest, public testing::WithParamInterface<SSavedCase> {};

TEST_P(WatchReportSaved, PrintsTheReadOnStandardOutput)
{
    CWatchReport report(m_out, m_err, GetParam().quiet);
    report.Saved(GetParam().saved);
    EXPECT_EQ(Out(), QString::fromUtf8(GetParam().printed));
    EXPECT_TRUE(Err().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Reads, WatchReportSaved, testing::Values(
    SSavedCase{"CountAndBalance", false, {3, 1500, {}, {}}, "3 件の利用履歴を保存しました\n残高 1,500円\n"},
    SSavedCase{"NothingNewBalanceUnknown", false, {0, -1, {}, {}}, "0 件の利用履歴を保存しました\n"},
    SSavedCase{"GapAndReadBy", false, {20, 12345, kGap, QDate(2026, 12, 24)},
               "20 件の利用履歴を保存しました\n残高 12,345円\n"
               "前回の読込以降の利用のうち 2 件は、読み込む前にカードから消えました（2026/11/02〜2026/11/05）。\n"
               "次回の読込目安: 2026/12/24\n"},
    SSavedCase{"QuietWithoutGap", true, {3, 1500, {}, QDate(2026, 12, 24)}, ""},
    SSavedCase{"QuietKeepsTheGap", true, {3, 1500, kGap, {}},
               "前回の読込以降の利用のうち 2 件は、読み込む前にカードから消えました（2026/11/02〜2026/11/05）。\n"}),
    [](const testing::TestParamInfo<SSavedCase>& info) { return std::string(info.param.name); });

TEST_F(WatchReportTest, AFailureIsToldOnceUntilSomethingWorks)
{
    CWatchReport report(m_out, m_err, true);
    report.Failure(QStringLiteral("A"));
    report.Failure(QStringLiteral("A"));
    report.Failure(QStringLiteral("A"));
    EXPECT_EQ(Err(), QStringLiteral("voluni: A\n"));
    report.Failure(QStringLiteral("B"));
    report.Failure(QStringLiteral("A"));
    EXPECT_EQ(Err(), QStringLiteral("voluni: A\nvoluni: B\nvoluni: A\n"));
    report.Recovered();
    report.Failure(QStringLiteral("A"));
    report.Saved({1, 10, {}, {}});
    report.Failure(QStringLiteral("A"));
    EXPECT_EQ(Err(), QStringLiteral("voluni: A\nvoluni: B\nvoluni: A\nvoluni: A\nvoluni: A\n"));
    EXPECT_TRUE(Out().isEmpty());
}

} // namespace
