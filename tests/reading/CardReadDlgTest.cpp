// The card wait dialog over the real coordinator and reader module, with the
// simulated reader behind the PC/SC seam; the timer is driven by calling its tick.
#include "readers/CardReadAttempt.h"
#include "readers/dialog/CardReadDlg.h"
#include "readers/dialog/CardWaitAnimation.h"
#include "readers/FelicaMod.h"
#include "readers/ReaderMod.h"
#include "ReadingFixture.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <array>
#include <atomic>
#include <chrono>

namespace {

const QString kDetecting = QStringLiteral("カード検出中…");
const QString kReading = QStringLiteral("カード読込中…");
const QString kReadFailed =
    QStringLiteral("カードの読み込みに失敗しました。\n\nカードが正しく置かれていることを確認してください。");

using EFault = CFaultyPcscService::ETransmitFault;
// The transmits of one attempt: two pollings, the read's preparation, then block 0.
constexpr size_t kBlock0 = 3;

class CardReadDlgTest : public ReadingFixture {
protected:
    // The reader is found and opened while the card lies on it, as ReadCard does.
    void Open(CCardImage image)
    {
        UseCard(std::move(image));
        ASSERT_EQ(m_felica.OpenReader(), 0);
        ASSERT_TRUE(m_felica.m_pReader->Open());
        m_pService->ClearFrames();
    }

    void TearDown() override
    {
        if (m_felica.m_pReader)
            m_felica.m_pReader->Close();
    }

    // The system codes of the polling frames (FF 40) received, in order.
    std::vector<uint16_t> PolledSystems() const
    {
        std::vector<uint16_t> systems;
        for (const auto& frame : m_pService->Frames()) {
            if (frame.bytes.size() >= 7 && frame.bytes[0] == 0xFF && frame.bytes[1] == 0x40)
                systems.push_back(static_cast<uint16_t>(frame.bytes[5] << 8 | frame.bytes[6]));
        }
        return systems;
    }

    CFelicaMod m_felica;
    std::array<uint8_t, 8> m_idm{};
    std::array<uint8_t, 8> m_pmm{};
    HistoryBlockList m_blocks;
    CCardReadAttempt m_attempt{&m_felica, m_idm.data(), m_pmm.data(), &m_blocks};
};

TEST_F(CardReadDlgTest, CardAlreadyPresentIsReadDuringInitialisation)
{
    Open(CommuteImage());
    CCardReadDlg dialog(m_attempt, 5);
    EXPECT_EQ(dialog.DoModal(), QDialog::Accepted);
    EXPECT_FALSE(dialog.IsTimerRunning());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.StatusText(), kReading);
    EXPECT_EQ(m_attempt.AnsweredSystemCode(), 0x0003);
    EXPECT_EQ(m_blocks.size(), 10u);
    EXPECT_EQ(m_idm, HexArray<8>("01010312A4B5C6D7"));
}

TEST_F(CardReadDlgTest, CardAnsweringOnly8592IsFoundAfterThreeFailedPollings)
{
    Open(CommuteImageAnswering({0x8592}));
    CCardReadDlg dialog(m_attempt, 5);
    EXPECT_EQ(dialog.DoModal(), QDialog::Accepted);
    EXPECT_EQ(m_attempt.AnsweredSystemCode(), 0x8592);
    // Four system codes (the last one followed by the wildcard that fetches the IDm),
    // then the block read addresses the card with the code that answered.
    EXPECT_EQ(PolledSystems(), (std::vector<uint16_t>{0x0003, 0x865E, 0x80DE, 0x8592, 0xFFFF, 0x8592}));
    EXPECT_EQ(m_blocks.size(), 10u);
}

TEST_F(CardReadDlgTest, CardThatAppearsAfterTwoTicksIsReadOnTheThird)
{
    Open(CommuteImage());
    // Each attempt polls four system codes, each on a refused connection.
    m_pService->SetCardAfterAttempts(3 * 4);
    CCardReadDlg dialog(m_attempt, 5);
    dialog.OnInitDialog();
    EXPECT_TRUE(dialog.IsTimerRunning());
    EXPECT_EQ(dialog.Countdown(), 10);
    EXPECT_EQ(dialog.StatusText(), kDetecting);
    EXPECT_TRUE(dialog.Animation()->IsPlaying());
    for (int tick = 1; tick <= 2; ++tick) {
        dialog.OnTimer();
        EXPECT_EQ(dialog.result(), 0) << "tick " << tick;
        EXPECT_TRUE(dialog.IsTimerRunning());
    }
    EXPECT_TRUE(m_blocks.empty());
    dialog.OnTimer();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.IsTimerRunning());
    EXPECT_EQ(dialog.Countdown(), 7);
    EXPECT_EQ(m_blocks.size(), 10u);
}

TEST_F(CardReadDlgTest, PollingTimeRunsOutIntoTheFailureView)
{
    // A FeliCa card of another system: the reader sees it, no transit code answers.
    Open(CommuteImageAnswering({0xFE00}));
    CCardReadDlg dialog(m_attempt, 1);
    dialog.OnInitDialog();
    dialog.OnTimer();
    EXPECT_TRUE(dialog.IsTimerRunning());
    EXPECT_EQ(dialog.Button()->text(), QStringLiteral("キャンセル"));
    m_pService->ClearFrames();
    dialog.OnTimer();
    // The tick that reaches zero tries nothing.
    EXPECT_TRUE(PolledSystems().empty());
    EXPECT_FALSE(dialog.IsTimerRunning());
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(dialog.Button()->text(), QStringLiteral("OK"));
    EXPECT_EQ(dialog.MessageText(),
              QStringLiteral("カードの読み込みに失敗しました。\n\nカードが正しく置かれていることを確認してください。"));
    EXPECT_TRUE(dialog.StatusText().isEmpty());
    EXPECT_FALSE(dialog.IconLabel()->isHidden());
    EXPECT_FALSE(dialog.IconLabel()->pixmap().isNull());
    EXPECT_TRUE(dialog.Animation()->isHidden());
    EXPECT_FALSE(dialog.Animation()->IsPlaying());
    dialog.Button()->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(CardReadDlgTest, ExchangePastTheDeadlineEndsInTheFailureViewAtOnce)
{
    // Long for every exchange that answers; the stalled one never does.
    const CTestDeadline deadline(std::chrono::seconds(1));
    Open(CommuteImage());
    m_pService->SetTransmitFault(kBlock0, EFault::Stall);
    CCardReadDlg dialog(m_attempt, 5);
    dialog.OnInitDialog();
    EXPECT_FALSE(dialog.IsTimerRunning()) << "a reader past its deadline is not tried again";
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(dialog.Button()->text(), QStringLiteral("OK"));
    EXPECT_EQ(dialog.MessageText(), kReadFailed);
    EXPECT_EQ(m_attempt.Fault(), EReaderFault::TimedOut);
    EXPECT_EQ(m_pService->Stalls(), 1u) << "the stalled exchange is the one that timed out";
    EXPECT_TRUE(m_blocks.empty());
}

// The exchange never returns and the deadline lies beyond the click: the dialog shows,
// animates and takes the click while the attempt waits, and the click calls it off. A
// click that never comes, or a cancel that does not work, ends the test at its bounds.
TEST_F(CardReadDlgTest, CancelCallsOffAStalledExchangeWhileTheDialogRunsOn)
{
    const CTestDeadline deadline(std::chrono::seconds(10));
    Open(CommuteImage());
    m_pService->SetTransmitFault(kBlock0, EFault::Stall);
    CCardReadDlg dialog(m_attempt, 5);
    int frameWhenStalled = -1;
    bool clicked = false;
    QTimer watcher;
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (clicked || !dialog.isVisible() || m_pService->Stalls() == 0)
            return;
        if (frameWhenStalled < 0)
            frameWhenStalled = dialog.Animation()->CurrentFrame();
        if (dialog.Animation()->CurrentFrame() == frameWhenStalled)
            return;
        clicked = true;
        QTest::mouseClick(dialog.Button(), Qt::LeftButton);
    });
    watcher.start();
    bool rescued = false;
    QTimer::singleShot(15000, &dialog, [&] {
        rescued = true;
        m_pService->EndStall();
        dialog.reject();
    });
    EXPECT_EQ(dialog.DoModal(), QDialog::Rejected);
    EXPECT_FALSE(rescued) << "neither the click nor the deadline ended the wait";
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(m_attempt.IsCancelled());
    EXPECT_TRUE(m_blocks.empty());
}

// The service stops during the first attempt's block read: the wait goes on, since it may
// come back.
TEST_F(CardReadDlgTest, ServiceThatComesBackDuringTheWaitIsReadFrom)
{
    Open(CommuteImage());
    m_pService->SetTransmitFault(kBlock0, EFault::StopService);
    CCardReadDlg dialog(m_attempt, 1);
    dialog.OnInitDialog();
    EXPECT_TRUE(dialog.IsTimerRunning());
    EXPECT_EQ(m_attempt.Fault(), EReaderFault::ServiceLost);
    EXPECT_TRUE(m_blocks.empty());
    m_pService->SetServiceRunning(true);
    dialog.OnTimer();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(m_blocks.size(), 10u);
}

// The polling time is a time, kept on the test's clock: a reader slow to say that no card
// is there shortens the wait instead of stretching it.
class CardReadDlgClockTest : public CardReadDlgTest {
protected:
    // Every transmit takes this long of the test's clock.
    void SlowReader(std::chrono::milliseconds exchange)
    {
        m_pService->SetTransmitDelay([this, exchange] { Pass(exchange); });
    }
    void Pass(std::chrono::milliseconds time) { m_skew += std::chrono::steady_clock::duration(time).count(); }
    WaitClock Clock()
    {
        return [this] { return std::chrono::steady_clock::now() + std::chrono::steady_clock::duration(m_skew.load()); };
    }

    std::atomic<std::chrono::steady_clock::rep> m_skew{0};
};

TEST_F(CardReadDlgClockTest, AttemptPastThePollingTimeTriesNoFurtherCodeAndEndsTheWait)
{
    Open(CommuteImageAnswering({0xFE00}));
    SlowReader(std::chrono::milliseconds(400));
    CCardReadDlg dialog(m_attempt, 1);
    dialog.SetClock(Clock());
    dialog.OnInitDialog();
    // Three pollings take 1.2 s of the 1 s.
    EXPECT_EQ(PolledSystems(), (std::vector<uint16_t>{0x0003, 0x865E, 0x80DE}));
    EXPECT_FALSE(dialog.IsTimerRunning());
    EXPECT_EQ(dialog.Button()->text(), QStringLiteral("OK"));
    EXPECT_EQ(dialog.MessageText(), kReadFailed);
}

TEST_F(CardReadDlgClockTest, TickWhoseAttemptRunsPastThePollingTimeIsTheLast)
{
    Open(CommuteImageAnswering({0xFE00}));
    SlowReader(std::chrono::milliseconds(200));
    CCardReadDlg dialog(m_attempt, 2);
    dialog.SetClock(Clock());
    dialog.OnInitDialog();
    EXPECT_TRUE(dialog.IsTimerRunning());
    Pass(std::chrono::milliseconds(CCardReadDlg::kTimerMs));
    dialog.OnTimer();
    // At 1.3 s the attempt polls until 2.1 s: ticks are left, the time is not.
    EXPECT_EQ(dialog.Countdown(), 3);
    EXPECT_FALSE(dialog.IsTimerRunning());
    EXPECT_EQ(dialog.Button()->text(), QStringLiteral("OK"));
    EXPECT_EQ(PolledSystems().size(), 8u);
}

TEST_F(CardReadDlgTest, ServiceStillAwayWhenTheTimeRunsOutEndsWithoutTheFailureView)
{
    Open(CommuteImage());
    m_pService->SetTransmitFault(kBlock0, EFault::StopService);
    CCardReadDlg dialog(m_attempt, 1);
    dialog.OnInitDialog();
    dialog.OnTimer();
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(m_attempt.Fault(), EReaderFault::ServiceLost);
    dialog.OnTimer();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(dialog.EndedForLostService());
    EXPECT_TRUE(dialog.IconLabel()->isHidden()) << "the card read command names the service instead";
    EXPECT_FALSE(m_attempt.IsCancelled());
    EXPECT_TRUE(m_blocks.empty());
}

enum class ECancel { Button, Escape, Close };

class CardReadDlgCancel : public CardReadDlgTest, public testing::WithParamInterface<ECancel> {};

TEST_P(CardReadDlgCancel, EndsTheWaitAndKillsTheTimer)
{
    Open(CommuteImageAnswering({0xFE00}));
    CCardReadDlg dialog(m_attempt, 5);
    dialog.OnInitDialog();
    dialog.show();
    ASSERT_TRUE(dialog.IsTimerRunning());
    switch (GetParam()) {
    case ECancel::Button:
        QTest::mouseClick(dialog.Button(), Qt::LeftButton);
        break;
    case ECancel::Escape:
        QTest::keyClick(&dialog, Qt::Key_Escape);
        break;
    case ECancel::Close:
        dialog.close();
        break;
    }
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.IsTimerRunning());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.Animation()->IsPlaying());
}

INSTANTIATE_TEST_SUITE_P(Ways, CardReadDlgCancel, testing::Values(ECancel::Button, ECancel::Escape, ECancel::Close),
                         [](const testing::TestParamInfo<ECancel>& info) {
                             switch (info.param) {
                             case ECancel::Button:
                                 return "Button";
                             case ECancel::Escape:
                                 return "Escape";
                             case ECancel::Close:
                                 return "Close";
                             }
                             return "";
                         });

TEST_F(CardReadDlgTest, AnimationPlaysElevenFramesInTurnOnTheLightBackground)
{
    Open(CommuteImageAnswering({0xFE00}));
    CCardReadDlg dialog(m_attempt, 5);
    dialog.OnInitDialog();
    CCardWaitAnimation* animation = dialog.Animation();
    EXPECT_EQ(animation->CurrentFrame(), 0);
    EXPECT_EQ(animation->pixmap().size(), QSize(144, 56));
    // Waiting for the frame timer, not a timing check: the frames follow each other.
    QTRY_COMPARE_WITH_TIMEOUT(animation->CurrentFrame(), 2, 2000);
    EXPECT_EQ(dialog.palette().color(QPalette::Window), dialog.palette().color(QPalette::Midlight));
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
}

// Pictures for a person to look at: waiting, and the failure view.
TEST_F(CardReadDlgTest, Screenshots)
{
    const QString folder = QStringLiteral(VOLUNI_BINARY_DIR "/screenshots");
    ASSERT_TRUE(QDir().mkpath(folder));
    Open(CommuteImageAnswering({0xFE00}));
    CCardReadDlg dialog(m_attempt, 5);
    dialog.OnInitDialog();
    dialog.show();
    QTRY_COMPARE_WITH_TIMEOUT(dialog.Animation()->CurrentFrame(), 7, 3000);
    ASSERT_TRUE(dialog.IsTimerRunning());
    EXPECT_TRUE(dialog.grab().save(folder + QStringLiteral("/card-wait.png")));
    while (dialog.IsTimerRunning())
        dialog.OnTimer();
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialog.grab().save(folder + QStringLiteral("/card-wait-failure.png")));
}

} // namespace
