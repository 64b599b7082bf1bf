// The card read command in the viewer: main frame, history form and the wait
// dialog over the simulated reader. Modal dialogs are driven from a queued call.
#include "settings/AppProfile.h"
#include "readers/dialog/CardReadDlg.h"
#include "document/CorvaneDoc.h"
#include "view/CorvaneForm.h"
#include "app/DemoMode.h"
#include "app/MainFrame.h"
#include "ModalStep.h"
#include "ReadingFixture.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include "view/HistoryModel.h"
#include <QTest>
#include <QTimer>

#include <functional>
#include <ostream>

namespace {

constexpr int kIdmPane = 32788;
constexpr int kBalancePane = 32789;
constexpr size_t kCommuteEntries = 10;

class CardReadCommandTest : public ReadingFixture {
protected:
    CardReadCommandTest()
    {
        m_profile.LoadProfile();
        m_profile.m_strConnect = CAppProfile::ConnectStringFor(QStringLiteral(VOLUNI_BINARY_DIR "/bin/VoluniStn.mdb"));
        m_profile.m_nPollingTime = 1;
        m_profile.m_strWavCardReadOK.clear();
        // The reader is not probed at start: the tests decide what it holds.
        m_pFrame = std::make_unique<CMainFrame>(m_document, m_profile, CMainFrame::ReaderHooks{});
        Form()->OnInitialUpdate();
    }

    CCorvaneForm* Form() const { return m_pFrame->GetActiveView(); }
    QString IdmPane() const { return m_pFrame->Pane(kIdmPane)->text(); }
    QString BalancePane() const { return m_pFrame->Pane(kBalancePane)->text(); }
    size_t Entries() const { return m_document.m_data.m_entries.size(); }

    // Runs step on the card wait dialog once it waits modally.
    void OnWaitDialog(std::function<void(CCardReadDlg&)> step)
    {
        OnModalWindow(m_pFrame.get(), [this, step = std::move(step)](QWidget& window) {
            auto* dialog = qobject_cast<CCardReadDlg*>(&window);
            m_bDialogSeen = dialog != nullptr;
            ASSERT_NE(dialog, nullptr) << "another modal window";
            step(*dialog);
        });
    }

    void ExpectBlankAndEmpty() const
    {
        EXPECT_EQ(Entries(), 0u);
        EXPECT_EQ(Form()->Model()->rowCount(), 0);
        EXPECT_TRUE(IdmPane().isEmpty());
        EXPECT_TRUE(BalancePane().isEmpty());
    }

    CAppProfile m_profile;
    CCorvaneDoc m_document;
    std::unique_ptr<CMainFrame> m_pFrame;
    bool m_bDialogSeen = false;
};

enum class ETrigger { CtrlR, ReadButton, Menu };

class CardReadTriggers : public CardReadCommandTest, public testing::WithParamInterface<ETrigger> {};

TEST_P(CardReadTriggers, StartARead)
{
    UseCard(CommuteImage());
    m_pFrame->show();
    QApplication::setActiveWindow(m_pFrame.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pFrame.get()));
    switch (GetParam()) {
    case ETrigger::CtrlR:
        QTest::keyClick(m_pFrame.get(), Qt::Key_R, Qt::ControlModifier);
        break;
    case ETrigger::ReadButton:
        QTest::mouseClick(Form()->ReadButton(), Qt::LeftButton);
        break;
    case ETrigger::Menu:
        m_pFrame->CommandAction(32771)->trigger();
        break;
    }
    QTRY_COMPARE_WITH_TIMEOUT(Entries(), kCommuteEntries, 2000);
    EXPECT_EQ(IdmPane(), QStringLiteral("01010312A4B5C6D7"));
    EXPECT_FALSE(BalancePane().isEmpty());
    EXPECT_GT(Form()->Model()->rowCount(), 0);
    EXPECT_TRUE(m_messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, CardReadTriggers, testing::Values(ETrigger::CtrlR, ETrigger::ReadButton, ETrigger::Menu),
                         [](const testing::TestParamInfo<ETrigger>& info) {
                             switch (info.param) {
                             case ETrigger::CtrlR:
                                 return "CtrlR";
                             case ETrigger::ReadButton:
                                 return "ReadButton";
                             case ETrigger::Menu:
                                 return "Menu";
                             }
                             return "";
                         });

struct SFailureCase {
    const char* name;
    std::function<void(CardReadCommandTest&)> arrange;
    int pollingTime;
    const char* message;
};

void PrintTo(const SFailureCase& failure, std::ostream* out)
{
    *out << failure.name;
}

class CardReadFailures : public CardReadCommandTest, public testing::WithParamInterface<SFailureCase> {
public:
    using CardReadCommandTest::UseCard;
    void UseUnknownReader()
    {
        m_pService = std::make_shared<CFaultyPcscService>(CommuteImage(), "Generic Contactless Reader 0");
        // Not FeliCa by its ATR (a MIFARE card's), so no module serves the reader.
        m_pService->Card().SetAtr({0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                                   0x03, 0x06, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x6A});
        SetPcscService(m_pService);
    }
};

TEST_P(CardReadFailures, ShowTheirMessageWithTheStopIcon)
{
    m_profile.m_nPollingTime = GetParam().pollingTime;
    GetParam().arrange(*this);
    // The panes are emptied before the message shows.
    QStringList panesAtTheMessage;
    SetMessagePresenter([&](const QString& text, MessageIcon icon) {
        m_messages.push_back({text, icon});
        panesAtTheMessage << IdmPane() << BalancePane();
    });
    EXPECT_EQ(Form()->OnCardRead(), 0);
    EXPECT_EQ(panesAtTheMessage, QStringList({QString(), QString()}));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, QString::fromUtf8(GetParam().message));
    EXPECT_EQ(m_messages[0].icon, MessageIcon::Stop);
    ExpectBlankAndEmpty();
}

INSTANTIATE_TEST_SUITE_P(
    Codes, CardReadFailures,
    testing::Values(
        SFailureCase{"NoReader",
                     [](CardReadCommandTest& t) { static_cast<CardReadFailures&>(t).UseCard(CommuteImage()).SetReaderAttached(false); },
                     1, "カードリーダーが接続されていません。"},
        SFailureCase{"ServiceStopped",
                     [](CardReadCommandTest& t) { static_cast<CardReadFailures&>(t).UseCard(CommuteImage()).SetServiceRunning(false); },
                     1, "SmartCardサービスが停止しています。\n起動するには: sudo systemctl start pcscd"},
        // The service stops during the block read and is still away when the wait ends.
        SFailureCase{"ServiceLostDuringTheWait",
                     [](CardReadCommandTest& t) {
                         static_cast<CardReadFailures&>(t).UseCard(CommuteImage()).SetTransmitFault(
                             3, CFaultyPcscService::ETransmitFault::StopService);
                     },
                     1, "SmartCardサービスが停止しています。\n起動するには: sudo systemctl start pcscd"},
        SFailureCase{"ServiceLostWithoutTheWait",
                     [](CardReadCommandTest& t) {
                         static_cast<CardReadFailures&>(t).UseCard(CommuteImage()).SetTransmitFault(
                             3, CFaultyPcscService::ETransmitFault::StopService);
                     },
                     0, "SmartCardサービスが停止しています。\n起動するには: sudo systemctl start pcscd"},
        // A reader of no known kind with a card that is not FeliCa: nothing to open, and no
        // vendor library either.
        SFailureCase{"ReaderNotOpened",
                     [](CardReadCommandTest& t) { static_cast<CardReadFailures&>(t).UseUnknownReader(); },
                     1, "カードリーダーのオープンに失敗しました。"},
        // Without the dialog only 0x0003 is polled.
        SFailureCase{"NoWaitAndCardOf865E",
                     [](CardReadCommandTest& t) { static_cast<CardReadFailures&>(t).UseCard(CommuteImageAnswering({0x865E})); },
                     0, "カードリーダーが接続されていません。"}),
    [](const testing::TestParamInfo<SFailureCase>& info) { return info.param.name; });

TEST_F(CardReadCommandTest, NoCardWithinThePollingTimeThenOkGivesNoMessage)
{
    // An empty reader is taken, and the wait for a card begins.
    UseCard(std::nullopt);
    OnWaitDialog([](CCardReadDlg& dialog) {
        dialog.OnTimer();
        dialog.OnTimer();
        EXPECT_EQ(dialog.Button()->text(), QStringLiteral("OK"));
        dialog.Button()->click();
    });
    EXPECT_EQ(Form()->OnCardRead(), 0);
    EXPECT_TRUE(m_bDialogSeen);
    EXPECT_TRUE(m_messages.empty());
    ExpectBlankAndEmpty();
}

TEST_F(CardReadCommandTest, CancelAfterAReadLeavesAnEmptyListAndBlankStatusBar)
{
    UseCard(CommuteImage());
    ASSERT_EQ(Form()->OnCardRead(), 1);
    ASSERT_EQ(Entries(), kCommuteEntries);

    UseCard(CommuteImageAnswering({0xFE00}));
    OnWaitDialog([](CCardReadDlg& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); });
    EXPECT_EQ(Form()->OnCardRead(), 0);
    EXPECT_TRUE(m_bDialogSeen);
    EXPECT_TRUE(m_messages.empty());
    ExpectBlankAndEmpty();
}

TEST_F(CardReadCommandTest, CancelAfterTheServiceWentAwayStaysSilent)
{
    // The service goes away during the first attempt; the person cancels the wait.
    UseCard(CommuteImage()).SetTransmitFault(3, CFaultyPcscService::ETransmitFault::StopService);
    OnWaitDialog([](CCardReadDlg& dialog) { dialog.Button()->click(); });
    EXPECT_EQ(Form()->OnCardRead(), 0);
    EXPECT_TRUE(m_bDialogSeen);
    EXPECT_TRUE(m_messages.empty());
    ExpectBlankAndEmpty();
}

TEST_F(CardReadCommandTest, CardPresentIsReadWithoutWaitingForATick)
{
    UseCard(CommuteImage());
    OnWaitDialog([](CCardReadDlg& dialog) { dialog.reject(); });
    EXPECT_EQ(Form()->OnCardRead(), 1);
    EXPECT_FALSE(m_bDialogSeen);
    EXPECT_EQ(Entries(), kCommuteEntries);
    QCoreApplication::processEvents();
}

TEST_F(CardReadCommandTest, TwoReadsOfTheSameCardShowItsEntriesOnce)
{
    UseCard(CommuteImage());
    ASSERT_EQ(Form()->OnCardRead(), 1);
    const int rows = Form()->Model()->rowCount();
    const QString balance = BalancePane();
    ASSERT_EQ(Form()->OnCardRead(), 1);
    EXPECT_EQ(Entries(), kCommuteEntries);
    EXPECT_EQ(Form()->Model()->rowCount(), rows);
    EXPECT_EQ(BalancePane(), balance);
}

TEST_F(CardReadCommandTest, CardWithoutHistoryShowsItsIdmAndNoBalance)
{
    CCardImage image = CommuteImage();
    image.m_idm = HexArray<8>("012E4C0012ABCDEF");
    image.m_history.clear();
    UseCard(image);
    // A sound file that is not there stays silent and reports nothing.
    m_profile.m_strWavCardReadOK = m_commonFiles.filePath(QStringLiteral("missing.wav"));
    EXPECT_EQ(Form()->OnCardRead(), 1);
    EXPECT_EQ(IdmPane(), QStringLiteral("012E4C0012ABCDEF"));
    EXPECT_TRUE(BalancePane().isEmpty());
    EXPECT_EQ(Entries(), 0u);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(CardReadCommandTest, InvalidDateEndsTheReadWithAMessageAndAnEmptyList)
{
    CCardImage image = CommuteImage();
    // Block 3 dated month 15.
    image.m_history[3] = HexArray<16>("050D000035E60C4A0000FA0D00015900");
    UseCard(image);
    EXPECT_EQ(Form()->OnCardRead(), 0);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_TRUE(m_messages[0].text.contains(QStringLiteral("正しくない日付"))) << m_messages[0].text.toStdString();
    EXPECT_EQ(m_messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    ExpectBlankAndEmpty();
}

class DemoOptions : public ReadingFixture {};

TEST_F(DemoOptions, DemoReadsTheBundledCardAndLeavesOtherArguments)
{
    QStringList arguments = {QStringLiteral("voluni-viewer"), QStringLiteral("--demo"), QStringLiteral("week.ent")};
    ASSERT_TRUE(ApplyDemoOptions(arguments));
    EXPECT_EQ(arguments, (QStringList{QStringLiteral("voluni-viewer"), QStringLiteral("week.ent")}));

    CAppProfile profile;
    profile.LoadProfile();
    profile.m_strConnect = CAppProfile::ConnectStringFor(QStringLiteral(VOLUNI_BINARY_DIR "/bin/VoluniStn.mdb"));
    CCorvaneDoc document;
    CMainFrame frame(document, profile, CMainFrame::ReaderHooks{});
    frame.GetActiveView()->OnInitialUpdate();
    frame.resize(900, 520);
    frame.show();
    EXPECT_EQ(frame.GetActiveView()->OnCardRead(), 1);
    EXPECT_EQ(document.m_data.m_entries.size(), kCommuteEntries);
    EXPECT_EQ(frame.Pane(kIdmPane)->text(), QStringLiteral("01010312A4B5C6D7"));
    // Station names come from the database, so no connection failure was reported.
    EXPECT_TRUE(m_messages.empty());
    // The demo card's gate log gives its newest trip both times.
    CCorvaneForm* form = frame.GetActiveView();
    form->ShowColumn(CHistoryModel::kTimeColumn, true);
    const int newest = form->Model()->rowCount() - 1;
    EXPECT_EQ(form->Model()->index(newest, CHistoryModel::kTimeColumn).data().toString(), QStringLiteral("08:12–08:41"));
    frame.resize(1100, 520);

    const QString folder = QStringLiteral(VOLUNI_BINARY_DIR "/screenshots");
    ASSERT_TRUE(QDir().mkpath(folder));
    QCoreApplication::processEvents();
    EXPECT_TRUE(frame.grab().save(folder + QStringLiteral("/main-after-demo-read.png")));
}

struct SBadOption {
    const char* name;
    QStringList arguments;
};

void PrintTo(const SBadOption& option, std::ostream* out)
{
    *out << option.name;
}

class DemoBadOptions : public ReadingFixture, public testing::WithParamInterface<SBadOption> {};

TEST_P(DemoBadOptions, AreReportedAndEndTheProgram)
{
    QStringList arguments = GetParam().arguments;
    EXPECT_FALSE(ApplyDemoOptions(arguments));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_TRUE(m_messages[0].text.startsWith(QStringLiteral("カードイメージを読み込めません。"))) << m_messages[0].text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Images, DemoBadOptions,
    testing::Values(
        SBadOption{"MissingFile", {QStringLiteral("v"), QStringLiteral("--card-image"), QStringLiteral("/nonexistent/card.json")}},
        SBadOption{"NotAnImage", {QStringLiteral("v"), QStringLiteral("--card-image"), QStringLiteral(VOLUNI_SOURCE_DIR "/README.md")}},
        SBadOption{"NoFileGiven", {QStringLiteral("v"), QStringLiteral("--card-image")}}),
    [](const testing::TestParamInfo<SBadOption>& info) { return info.param.name; });

} // namespace
