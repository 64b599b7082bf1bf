#include "settings/AppProfile.h"
#include "document/CorvaneDoc.h"
#include "view/CorvaneForm.h"
#include "app/MainFrame.h"
#include "card/AppMessage.h"
#include "FaultyPcscService.h"
#include "resources/StringTable.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTableView>
#include "view/HistoryModel.h"
#include <QToolButton>

#include <memory>
#include <ostream>
#include <vector>

namespace {

class CHintRecorder : public IDocumentView {
public:
    void OnUpdate(int hint) override { hints.push_back(hint); }
    std::vector<int> hints;
};

class MainFrameTest : public testing::Test {
protected:
    MainFrameTest()
    {
        profile.m_bGridView = 1;
        profile.m_nAppLook = 32801;
        frame = MakeFrame();
    }

    std::unique_ptr<CMainFrame> MakeFrame()
    {
        CMainFrame::ReaderHooks hooks{[this] { ++probes; }, [this] { ++restores; }, nullptr};
        auto made = std::make_unique<CMainFrame>(document, profile, hooks);
        made->GetActiveView()->OnInitialUpdate();
        return made;
    }

    CAppProfile profile;
    CCorvaneDoc document;
    int probes = 0;
    int restores = 0;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(MainFrameTest, CaptionMinimumSizeAndReaderHooks)
{
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Voluni  Viewer - 非接触ICカード表示システム"));
    EXPECT_EQ(frame->minimumSize(), QSize(520, 380));
    EXPECT_EQ(probes, 1);
    EXPECT_EQ(restores, 0);
    frame.reset();
    EXPECT_EQ(restores, 1);
}

TEST_F(MainFrameTest, MenuHoldsTheResourceTextsAndCtrlR)
{
    QStringList texts;
    for (QAction* menu : frame->menuBar()->actions()) {
        texts << menu->text();
        for (QAction* item : menu->menu()->actions()) {
            if (item->isVisible())
                texts << (item->isSeparator() ? QStringLiteral("-") : item->text());
        }
    }
    const QStringList expected = {
        QStringLiteral("ファイル(&F)"), QStringLiteral("カード読込\tCtrl+R(&R)"), QStringLiteral("-"),
        QStringLiteral("開く(&O)..."), QStringLiteral("上書き保存(&S)"), QStringLiteral("名前を付けて保存(&A)..."),
        QStringLiteral("履歴に取り込む(&I)..."), QStringLiteral("-"), QStringLiteral("CSV出力(&E)..."), QStringLiteral("CSV出力の設定(&T)..."),
        QStringLiteral("-"), QStringLiteral("印刷(&P)..."), QStringLiteral("印刷プレビュー(&V)"),
        QStringLiteral("PDF出力(&D)..."), QStringLiteral("精算書の設定(&H)..."), QStringLiteral("-"),
        QStringLiteral("終了(&X)"),
        QStringLiteral("編集(&E)"), QStringLiteral("コピー(&C)"), QStringLiteral("-"),
        QStringLiteral("訪問先の登録(&D)..."), QStringLiteral("駅名の登録..."), QStringLiteral("-"),
        QStringLiteral("このカードの履歴を削除..."), QStringLiteral("履歴ファイルを修復..."),
        QStringLiteral("表示(&V)"), QStringLiteral("グリッド表示"), QStringLiteral("ゼブラ表示"), QStringLiteral("-"),
        QStringLiteral("申請欄を表示"), QStringLiteral("入場路線名を表示"), QStringLiteral("出場路線名を表示"),
        QStringLiteral("訪問先を表示"), QStringLiteral("距離(km)を表示"), QStringLiteral("時刻を表示"),
        QStringLiteral("-"),
        QStringLiteral("履歴(&H)"), QStringLiteral("履歴のカード(&C)..."),
        QStringLiteral("カードを置いたら読み込む"), QStringLiteral("-"),
        QStringLiteral("ステータス バー(&S)"),
        QStringLiteral("ヘルプ(&H)"), QStringLiteral("Voluni Viewerのバージョン情報(&A)..."),
    };
    EXPECT_EQ(texts, expected);
    const std::vector<std::pair<int, const char*>> shortcuts = {
        {ID_FILE_OPEN, "Ctrl+O"}, {ID_FILE_SAVE, "Ctrl+S"}, {ID_FILE_SAVE_AS, "Ctrl+Shift+S"},
        {ID_FILE_EXPORT_CSV, "Ctrl+E"}, {ID_FILE_PRINT, "Ctrl+P"}, {ID_APP_EXIT, "Ctrl+Q"}, {ID_EDIT_COPY, "Ctrl+C"},
    };
    for (const auto& [id, keys] : shortcuts)
        EXPECT_EQ(frame->CommandAction(id)->shortcut(), QKeySequence(QString::fromLatin1(keys))) << keys;
    EXPECT_EQ(frame->CommandAction(32771)->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
    EXPECT_EQ(frame->CommandAction(32771)->statusTip(), QStringLiteral("カードから交通費情報を読み込みます。"));
    EXPECT_EQ(frame->ViewButton(32792)->toolTip(), QStringLiteral("グリッド表示"));
    EXPECT_EQ(frame->ViewButton(32793)->toolTip(), QStringLiteral("ゼブラ表示"));
    EXPECT_FALSE(frame->ViewButton(32792)->icon().isNull());
}

TEST_F(MainFrameTest, GridToggledTwiceReturnsWithTheSettingAndCheckMarks)
{
    QTableView* list = frame->GetActiveView()->List();
    QAction* grid = frame->CommandAction(32792);
    ASSERT_TRUE(grid->isChecked());
    ASSERT_TRUE(list->showGrid());

    grid->trigger();
    EXPECT_EQ(profile.m_bGridView, 0);
    EXPECT_FALSE(grid->isChecked());
    EXPECT_FALSE(frame->ViewButton(32792)->isChecked());
    EXPECT_FALSE(list->showGrid());

    frame->ViewButton(32792)->click();
    EXPECT_EQ(profile.m_bGridView, 1);
    EXPECT_TRUE(grid->isChecked());
    EXPECT_TRUE(list->showGrid());
}

TEST_F(MainFrameTest, ZebraFlipsItsSettingAndCheckMark)
{
    profile.m_bZebraView = 7;
    frame->OnCommand(32793);
    EXPECT_EQ(profile.m_bZebraView, 0);
    EXPECT_FALSE(frame->CommandAction(32793)->isChecked());
    frame->OnCommand(32793);
    EXPECT_EQ(profile.m_bZebraView, 1);
    EXPECT_TRUE(frame->CommandAction(32793)->isChecked());
}

struct StatusCase {
    int32_t balance;
    const char* text;
    friend std::ostream& operator<<(std::ostream& os, const StatusCase& c) { return os << c.balance; }
};

class SetCardStatusTest : public MainFrameTest, public testing::WithParamInterface<StatusCase> {};

TEST_P(SetCardStatusTest, ShowsIdmAndBalance)
{
    frame->SetCardStatus(QStringLiteral("0123456789ABCDEF"), GetParam().balance);
    EXPECT_EQ(frame->Pane(32788)->text(), QStringLiteral("0123456789ABCDEF"));
    EXPECT_EQ(frame->Pane(32789)->text(), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Balances, SetCardStatusTest, testing::Values(
    StatusCase{0, "     0円"}, StatusCase{-1, ""}, StatusCase{20000, "20,000円"}),
    [](const auto& info) { return info.param.balance < 0 ? std::string("Negative") : std::to_string(info.param.balance); });

TEST_F(MainFrameTest, PanesFitTheirSampleTexts)
{
    for (const auto& [pane, sample] : {std::pair{32788, "9999999999999999 "}, std::pair{32789, "99,999円 "}}) {
        QLabel* label = frame->Pane(pane);
        ASSERT_NE(label, nullptr);
        EXPECT_GE(label->contentsRect().width(), label->fontMetrics().horizontalAdvance(QString::fromUtf8(sample)));
        EXPECT_TRUE(label->text().isEmpty());
    }
}

TEST_F(MainFrameTest, CardReadSendsTheOrderHintFirst)
{
    // The simulated service without a reader, never the machine's pcscd; no vendor library either.
    QTemporaryDir noLibrary;
    qputenv("VOLUNI_COMMON_FILES_DIR", noLibrary.path().toLocal8Bit());
    auto service = std::make_shared<CFaultyPcscService>(std::nullopt);
    service->SetReaderAttached(false);
    SetPcscService(service);
    QStringList messages;
    const MessagePresenter previous = SetMessagePresenter([&](const QString& text, MessageIcon) { messages << text; });
    CHintRecorder recorder;
    document.AddView(&recorder);
    frame->CommandAction(32771)->trigger();
    EXPECT_EQ(recorder.hints, std::vector<int>{HINT_SYNC_ORDER});

    frame->GetActiveView()->ReadButton()->click();
    EXPECT_EQ(recorder.hints.size(), 1u);
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.hints, (std::vector<int>{HINT_SYNC_ORDER, HINT_SYNC_ORDER}));
    EXPECT_EQ(messages, QStringList(2, QStringLiteral("カードリーダーが接続されていません。")));
    document.RemoveView(&recorder);
    SetMessagePresenter(previous);
    SetPcscService(nullptr);
    qunsetenv("VOLUNI_COMMON_FILES_DIR");
}

TEST_F(MainFrameTest, UnknownAppLookGivesTheDefaultLook)
{
    const QColor defaultWindow = QApplication::palette().color(QPalette::Window);
    frame.reset();
    profile.m_nAppLook = 32802;
    frame = MakeFrame();
    EXPECT_EQ(frame->AppliedLook(), EAppLook::Office2007Black);
    EXPECT_NE(QApplication::palette().color(QPalette::Window), defaultWindow);

    frame.reset();
    profile.m_nAppLook = 12345;
    frame = MakeFrame();
    EXPECT_EQ(frame->AppliedLook(), EAppLook::Office2007Blue);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), defaultWindow);
}

} // namespace
