// The main window's claim workflow: save, open, the question about unsaved
// changes, the recent files, and the exports, through answers given in place
// of the dialogs.
#include "settings/AppProfile.h"
#include "app/ClaimCommands.h"
#include "app/DestinationDlg.h"
#include "app/DocumentCommands.h"
#include "app/MainFrame.h"
#include "app/RecentFileList.h"
#include "card/AppMessage.h"
#include "document/CorvaneDoc.h"
#include "resources/StringTable.h"
#include "view/CorvaneForm.h"
#include "view/HistoryModel.h"
#include "view/PeriodChoice.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QHeaderView>
#include <QScrollBar>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <memory>

namespace {

int64_t At(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(9, 0)).toSecsSinceEpoch();
}

std::unique_ptr<CEntryInfo> Entry(int64_t when, uint8_t processKind, int32_t amount, const char* exit)
{
    auto entry = MakeBlankEntry();
    entry->processKind = processKind;
    entry->terminalKind = processKind == 0x02 ? 0x08 : 0x16;
    entry->dateTime = when;
    entry->amount = amount;
    entry->apply = processKind == 0x01 ? 1 : 0;
    entry->entryStationName = QStringLiteral("東京");
    entry->exitStationName = QString::fromUtf8(exit);
    return entry;
}

class ClaimWorkflowTest : public testing::Test {
protected:
    ClaimWorkflowTest()
    {
        frame = std::make_unique<CMainFrame>(document, profile, CMainFrame::ReaderHooks{});
        frame->GetActiveView()->OnInitialUpdate();
        SFramePrompts prompts;
        prompts.openFileName = [this](QWidget*, const QString&, const QString&, const QString&) { return openAnswer; };
        prompts.saveFileName = [this](QWidget*, const QString&, const QString& proposed, const QString&) {
            proposedPaths << proposed;
            return saveAnswer;
        };
        prompts.askSaveChanges = [this](QWidget*) {
            ++questions;
            return saveChanges;
        };
        frame->SetPrompts(prompts);
        frame->SetRecentFiles(&recent);
        previous = SetMessagePresenter([this](const QString& text, MessageIcon) { messages << text; });
    }
    ~ClaimWorkflowTest() override { SetMessagePresenter(previous); }

    void LoadTrips()
    {
        auto& entries = document.m_data.m_entries;
        entries.push_back(Entry(At(2024, 4, 30), 0x01, 170, "新宿"));
        entries.push_back(Entry(At(2024, 5, 1), 0x02, -2000, ""));
        entries.push_back(Entry(At(2024, 5, 7), 0x01, 210, "渋谷"));
        entries.push_back(Entry(At(2024, 5, 20), 0x01, 320, "品川"));
        document.UpdateAllViews(HINT_LOADED);
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    CCorvaneForm& Form() const { return *frame->GetActiveView(); }
    void Tick(int row, bool on)
    {
        Form().Model()->setData(Form().Model()->index(row, 0), on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    }
    bool Close()
    {
        QCloseEvent event;
        QCoreApplication::sendEvent(frame.get(), &event);
        return event.isAccepted();
    }
    size_t EntriesIn(const QString& path)
    {
        CCorvaneDoc other;
        other.OnOpenDocument(path);
        return other.m_data.m_entries.size();
    }

    QTemporaryDir dir;
    CAppProfile profile;
    CCorvaneDoc document;
    CRecentFileList recent{3};
    std::unique_ptr<CMainFrame> frame;
    QString openAnswer;
    QString saveAnswer;
    QStringList proposedPaths;
    SaveAnswer saveChanges = SaveAnswer::Cancel;
    int questions = 0;
    QStringList messages;
    MessagePresenter previous;
};

} // namespace

TEST_F(ClaimWorkflowTest, SaveAsNamesTheFileAndAnEditMarksItModified)
{
    LoadTrips();
    EXPECT_EQ(frame->FilePane()->text(), QStringLiteral("無題"));
    saveAnswer = Path("may");
    frame->OnCommand(ID_FILE_SAVE);  // no file yet: asks for one
    EXPECT_EQ(document.GetPathName(), Path("may.ent")) << "the suffix is added";
    EXPECT_EQ(frame->FilePane()->text(), QStringLiteral("may.ent"));
    EXPECT_EQ(recent.Files(), QStringList{Path("may.ent")});

    Tick(0, false);
    EXPECT_TRUE(document.IsModified());
    EXPECT_EQ(frame->FilePane()->text(), QStringLiteral("may.ent *"));
    QAbstractItemModel* model = Form().Model();
    model->setData(model->index(2, CHistoryModel::kDestinationColumn), QStringLiteral("渋谷営業所"));
    model->setData(model->index(2, CHistoryModel::kRemarksColumn), QStringLiteral("打合せ"));
    saveAnswer = QStringLiteral("never asked");
    frame->OnCommand(ID_FILE_SAVE);
    EXPECT_FALSE(document.IsModified());
    CCorvaneDoc reopened;
    reopened.OnOpenDocument(Path("may.ent"));
    EXPECT_EQ(reopened.m_data.m_entries[0]->apply, 0) << "the tick was saved";
    EXPECT_EQ(reopened.m_data.m_entries[2]->destination, QStringLiteral("渋谷営業所"));
    EXPECT_EQ(reopened.m_data.m_entries[2]->remarks, QStringLiteral("打合せ"));
    EXPECT_EQ(proposedPaths.size(), 1);
}

TEST_F(ClaimWorkflowTest, SavingInTheFaresViewWithAPeriodKeepsEveryEntry)
{
    LoadTrips();
    Form().ShowAllBox()->click();
    Form().PeriodBox()->SetDates(QDate(2024, 5, 1), QDate(2024, 5, 10));
    Form().PeriodBox()->SetChoice(CPeriodChoice::Dates);
    ASSERT_EQ(Form().Model()->rowCount(), 1);
    saveAnswer = Path("kept.ent");
    frame->OnCommand(ID_FILE_SAVE_AS);
    EXPECT_EQ(EntriesIn(Path("kept.ent")), 4u) << "the charge and the trips outside the period stay";
}

struct QuestionCase {
    SaveAnswer answer;
    bool closes;
    bool saved;
};

class SaveQuestionTest : public ClaimWorkflowTest, public testing::WithParamInterface<QuestionCase> {};

TEST_P(SaveQuestionTest, ClosingOverChangesAsks)
{
    LoadTrips();
    saveAnswer = Path("asked.ent");
    EXPECT_TRUE(Close()) << "nothing changed: no question";
    EXPECT_EQ(questions, 0);
    Tick(0, false);
    saveChanges = GetParam().answer;
    EXPECT_EQ(Close(), GetParam().closes);
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(QFile::exists(Path("asked.ent")), GetParam().saved);
}

INSTANTIATE_TEST_SUITE_P(Answers, SaveQuestionTest, testing::Values(
    QuestionCase{SaveAnswer::Save, true, true},
    QuestionCase{SaveAnswer::Discard, true, false},
    QuestionCase{SaveAnswer::Cancel, false, false}));

TEST_F(ClaimWorkflowTest, AFailedSaveKeepsTheWindowOpenAndSaysWhy)
{
    LoadTrips();
    Tick(0, false);
    saveAnswer = Path("no-such-folder/claim.ent");
    saveChanges = SaveAnswer::Save;
    EXPECT_FALSE(Close()) << "the changes would be lost";
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("ドキュメントの保存に失敗しました。\n"))) << messages[0].toStdString();
    EXPECT_TRUE(document.IsModified());
}

TEST_F(ClaimWorkflowTest, OpeningABadFileKeepsTheOpenDocument)
{
    LoadTrips();
    Tick(0, false);
    QFile bad(Path("bad.ent"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not an entry file");
    bad.close();
    openAnswer = Path("bad.ent");
    saveChanges = SaveAnswer::Discard;
    frame->OnCommand(ID_FILE_OPEN);
    EXPECT_EQ(messages, QStringList{QStringLiteral("予期しないファイル形式です。")});
    EXPECT_EQ(Form().Model()->rowCount(), 4) << "the trips stay on screen";
    EXPECT_EQ(document.m_data.m_entries.size(), 4u);
    EXPECT_TRUE(document.IsModified()) << "the changes kept are still unsaved";
    EXPECT_TRUE(recent.Files().isEmpty());
}

TEST_F(ClaimWorkflowTest, RecentFilesAreListedAndOpenAgain)
{
    LoadTrips();
    saveAnswer = Path("first.ent");
    frame->OnCommand(ID_FILE_SAVE_AS);
    document.OnNewDocument();
    ASSERT_EQ(Form().Model()->rowCount(), 0);
    frame->OnCommand(ID_FILE_OPEN);  // cancelled: no file chosen
    ASSERT_EQ(frame->RecentFileActions().size(), 1);
    EXPECT_EQ(frame->RecentFileActions()[0]->text(), QStringLiteral("&1 ") + Path("first.ent"));
    frame->RecentFileActions()[0]->trigger();
    EXPECT_EQ(Form().Model()->rowCount(), 4);
    EXPECT_EQ(frame->FilePane()->text(), QStringLiteral("first.ent"));

    QFile::remove(Path("first.ent"));
    document.OnNewDocument();
    frame->RecentFileActions()[0]->trigger();
    EXPECT_EQ(messages.size(), 1) << "the missing file is reported";
    EXPECT_TRUE(recent.Files().isEmpty()) << "and leaves the list";
}

TEST_F(ClaimWorkflowTest, CsvOfThePeriodGoesWhereAskedAndTheFolderIsOfferedAgain)
{
    LoadTrips();
    profile.m_strCsvOutputItem = QStringLiteral("2,8,9");
    profile.m_nCsvEncoding = 1;
    profile.m_bCsvOutputHeader = 1;
    Form().PeriodBox()->SetDates(QDate(2024, 5, 1), QDate(2024, 5, 31));
    Form().PeriodBox()->SetChoice(CPeriodChoice::Dates);
    saveAnswer = Path("claim");
    frame->OnCommand(ID_FILE_EXPORT_CSV);
    QFile csv(Path("claim.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll(), QByteArray("\xEF\xBB\xBF" "日付,出場駅名,料金/入金額\r\n"
                                        "2024/05/01,,2000\r\n2024/05/07,渋谷,210\r\n2024/05/20,品川,320\r\n"));
    EXPECT_EQ(profile.m_strCsvSavePath, dir.path());
    frame->OnCommand(ID_FILE_EXPORT_CSV);
    EXPECT_EQ(proposedPaths.last(), dir.filePath(QStringLiteral("交通費情報.csv")));
}

TEST_F(ClaimWorkflowTest, ExportsStartInTheFolderOfTheOpenFile)
{
    LoadTrips();
    const QString file = Path("week.ent");
    document.OnSaveDocument(file);
    profile.m_strCsvSavePath = QStringLiteral("/elsewhere");
    frame->OnCommand(ID_FILE_EXPORT_CSV);
    frame->OnCommand(ID_FILE_EXPORT_PDF);
    frame->OnCommand(ID_FILE_SAVE_AS);
    EXPECT_EQ(proposedPaths, (QStringList{Path("week.csv"), Path("week.pdf"), file}));
}

TEST_F(ClaimWorkflowTest, TheFirstWindowShowsEveryDefaultColumnAtA1366By768Screen)
{
    LoadTrips();
    CCorvaneForm& form = Form();
    EXPECT_LE(form.WidthForColumns(), 1366);
    // What FitColumns gives on a screen wide enough.
    frame->resize(form.WidthForColumns(), 560);
    frame->show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(form.IsColumnShown(0));
    EXPECT_FALSE(form.List()->horizontalScrollBar()->isVisible()) << frame->width();
    EXPECT_GE(form.List()->viewport()->width(), form.List()->horizontalHeader()->length());
}

TEST_F(ClaimWorkflowTest, FailedExportsSayWhy)
{
    LoadTrips();
    saveAnswer = Path("missing/claim.csv");
    frame->OnCommand(ID_FILE_EXPORT_CSV);
    saveAnswer = Path("missing/claim.pdf");
    frame->OnCommand(ID_FILE_EXPORT_PDF);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("CSVファイルの出力に失敗しました。\n")));
    EXPECT_TRUE(messages[1].startsWith(QStringLiteral("PDFファイルの出力に失敗しました。\n")));
    EXPECT_GT(messages[1].size(), QStringLiteral("PDFファイルの出力に失敗しました。\n").size());
}

TEST_F(ClaimWorkflowTest, PdfReportHoldsTheShownRowsAndTheTickedTotal)
{
    LoadTrips();
    Form().ShowAllBox()->click();
    Tick(2, false);  // 320 not claimed
    const SClaimReport report = frame->ClaimCommands().Report();
    ASSERT_EQ(report.rows.size(), 3u);
    EXPECT_EQ(ClaimTotal(report.rows), 380);
    saveAnswer = Path("claim.pdf");
    frame->OnCommand(ID_FILE_EXPORT_PDF);
    QFile pdf(Path("claim.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
}

TEST_F(ClaimWorkflowTest, CommandsThatNeedRowsWaitForThem)
{
    EXPECT_FALSE(frame->CommandAction(ID_FILE_SAVE)->isEnabled());
    EXPECT_FALSE(frame->CommandAction(ID_FILE_EXPORT_CSV)->isEnabled());
    EXPECT_FALSE(frame->CommandAction(ID_FILE_PRINT)->isEnabled());
    LoadTrips();
    EXPECT_TRUE(frame->CommandAction(ID_FILE_SAVE)->isEnabled());
    EXPECT_TRUE(frame->CommandAction(ID_FILE_EXPORT_PDF)->isEnabled());
    EXPECT_TRUE(frame->CommandAction(ID_EDIT_COPY)->isEnabled()) << "the first row is selected";
}

TEST_F(ClaimWorkflowTest, ColumnSwitchesOfTheViewMenuFollowTheList)
{
    QAction* apply = frame->CommandAction(ID_VIEW_APPLY_COLUMN);
    EXPECT_TRUE(apply->isChecked()) << "the claim ticks show by default";
    apply->trigger();
    EXPECT_FALSE(Form().IsColumnShown(0));
    EXPECT_EQ(profile.m_nShowApplyColumn, 0);
    EXPECT_FALSE(apply->isChecked());
    frame->CommandAction(ID_VIEW_DISTANCE)->trigger();
    EXPECT_TRUE(Form().IsColumnShown(CHistoryModel::kDistanceColumn));
}

TEST(DestinationDlgTest, PairsStayTheSameLengthAndApplyFillsEmptyDestinations)
{
    QStringList asked;
    CDestinationDlg dialog({QStringLiteral("新宿"), QString()}, {QStringLiteral("本社")},
                           [&](const CDestinationDlg::Lookup& lookup) {
                               asked << lookup(QStringLiteral("新宿")) << lookup(QStringLiteral("渋谷"));
                               return 2;
                           });
    QTableWidget* table = dialog.Table();
    ASSERT_EQ(table->rowCount(), 2);
    table->setItem(1, 0, new QTableWidgetItem(QStringLiteral(" 渋谷 ")));
    table->setItem(1, 1, new QTableWidgetItem(QStringLiteral("渋谷営業所")));
    dialog.ApplyButton()->click();
    EXPECT_EQ(asked, (QStringList{QStringLiteral("本社"), QStringLiteral("渋谷営業所")}));
    EXPECT_EQ(dialog.ResultLabel()->text(), QStringLiteral("2件の訪問先を設定しました。"));
    table->insertRow(2);  // an empty row is left out
    EXPECT_EQ(dialog.Stations(), (QStringList{QStringLiteral("新宿"), QStringLiteral("渋谷")}));
    EXPECT_EQ(dialog.Destinations(), (QStringList{QStringLiteral("本社"), QStringLiteral("渋谷営業所")}));
}

TEST_F(ClaimWorkflowTest, ACardReadOverChangesAsksFirstAndCancelKeepsThem)
{
    LoadTrips();
    Tick(0, false);
    saveChanges = SaveAnswer::Cancel;
    frame->OnCommand(ID_CARD_READ);
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(document.m_data.m_entries.size(), 4u) << "no reader was asked, nothing was cleared";
    EXPECT_TRUE(document.IsModified());
}
