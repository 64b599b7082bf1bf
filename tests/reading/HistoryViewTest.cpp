// Reads kept in the history archive, as the viewer shows them: two overlapping
// demo reads, the oldest fare from the archive, edits that outlive a read, the
// card chooser's work and an archive that cannot be written.
#include "DamagedArchive.h"
#include "ReadingFixture.h"
#include "settings/AppProfile.h"
#include "app/HistoryCardsDlg.h"
#include "app/HistoryCommands.h"
#include "app/MainFrame.h"
#include "app/StationNameDlg.h"
#include "claim/ClaimCsvWriter.h"
#include "document/CorvaneDoc.h"
#include "history/HistoryArchive.h"
#include "usernames/UserNames.h"
#include "resources/StringTable.h"
#include "view/CorvaneForm.h"
#include "view/HistoryModel.h"
#include "view/PeriodChoice.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>


#include <algorithm>
#include <memory>

namespace {

const QString kLaterImage = QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/commute-later.json");

CCardImage LaterImage()
{
    CCardImage image;
    const QString error = image.LoadFile(kLaterImage);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return image;
}

class HistoryViewTest : public ReadingFixture {
protected:
    HistoryViewTest()
        : m_archive(m_folder.filePath(QStringLiteral("history.sqlite")))
    {
        m_profile.LoadProfile();
        m_profile.m_strConnect = CAppProfile::ConnectStringFor(QStringLiteral(VOLUNI_BINARY_DIR "/bin/VoluniStn.mdb"));
        m_profile.m_nPollingTime = 0;
        m_profile.m_strWavCardReadOK.clear();
        m_pFrame = std::make_unique<CMainFrame>(m_document, m_profile, CMainFrame::ReaderHooks{});
        Form().OnInitialUpdate();
        SFramePrompts prompts;
        prompts.askSaveChanges = [this](QWidget*) {
            ++m_nSaveQuestions;
            return SaveAnswer::Discard;
        };
        prompts.confirm = [this](QWidget*, const QString& question) {
            m_questions << question;
            return m_bConfirm;
        };
        prompts.openFileName = [this](QWidget*, const QString&, const QString&, const QString&) { return m_strOpen; };
        m_pFrame->SetPrompts(prompts);
        m_pFrame->SetHistoryArchive(&m_archive);
        m_pFrame->SetUserNames(&m_names);
    }

    CCorvaneForm& Form() const { return *m_pFrame->GetActiveView(); }
    void Read(CCardImage image)
    {
        UseCard(std::move(image));
        m_pFrame->OnCommand(ID_CARD_READ);
    }
    // The entry of the card's counter value sequence in the list; null when none.
    const CEntryInfo* WithSequence(int sequence) const
    {
        for (const CEntryInfo* entry : Form().Model()->Rows()) {
            if ((entry->sequence & 0xFFFFFF) == sequence)
                return entry;
        }
        return nullptr;
    }
    int Rows() const { return Form().Model()->rowCount(); }
    // The list's row of entry (gap rows counted), or the row count when it has none.
    int RowOf(const CEntryInfo* entry) const
    {
        int row = 0;
        while (row < Rows() && Form().Model()->EntryAt(row) != entry)
            ++row;
        return row;
    }
    void Untick(int sequence, const char* destination)
    {
        QAbstractItemModel* model = Form().Model();
        const int row = RowOf(WithSequence(sequence));
        model->setData(model->index(row, 0), Qt::Unchecked, Qt::CheckStateRole);
        model->setData(model->index(row, CHistoryModel::kDestinationColumn), QString::fromUtf8(destination));
    }

    // Runs step on the station name dialog of the selected row once it is shown.
    void NameStation(int row, std::function<void(CStationNameDlg&)> step)
    {
        Form().List()->selectRow(row);
        QTimer::singleShot(0, [step = std::move(step)] {
            if (auto* dialog = qobject_cast<CStationNameDlg*>(QApplication::activeModalWidget()))
                step(*dialog);
        });
        m_pFrame->OnCommand(ID_EDIT_STATION_NAMES);
    }

    QTemporaryDir m_folder;
    CHistoryArchive m_archive;
    CUserNames m_names{CUserNames::PathBeside(m_folder.filePath(QStringLiteral("history.sqlite")))};
    CAppProfile m_profile;
    CCorvaneDoc m_document;
    std::unique_ptr<CMainFrame> m_pFrame;
    QStringList m_questions;
    int m_nSaveQuestions = 0;
    bool m_bConfirm = true;
    QString m_strOpen;
};

} // namespace

TEST_F(HistoryViewTest, TwoOverlappingReadsShowEveryTripOnceWithTheRealOldestFare)
{
    Read(CommuteImage());
    ASSERT_EQ(Rows(), 10);
    EXPECT_EQ(m_pFrame->NotePane()->text(), QStringLiteral("次回の読込目安: 2026/03/16")) << "after every read";
    Read(LaterImage());
    ASSERT_EQ(Rows(), 10) << "without the history view a read shows itself";
    ASSERT_NE(WithSequence(0x155), nullptr);
    EXPECT_EQ(WithSequence(0x155)->amount, 208) << "the record before it was archived by the first read";

    m_pFrame->CommandAction(ID_VIEW_HISTORY)->trigger();
    EXPECT_TRUE(m_pFrame->CommandAction(ID_VIEW_HISTORY)->isChecked());
    EXPECT_EQ(m_profile.m_bHistoryView, 1);
    ASSERT_EQ(Rows(), 12);
    for (int sequence = 0x153; sequence <= 0x15E; ++sequence)
        EXPECT_NE(WithSequence(sequence), nullptr) << sequence;
    EXPECT_EQ(m_pFrame->Pane(ID_INDICATOR_IDM)->text(), QStringLiteral("01010312A4B5C6D7"));
    EXPECT_FALSE(m_document.IsModified()) << "the archive keeps it already";
    EXPECT_EQ(m_pFrame->FilePane()->text(), QStringLiteral("履歴"));
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(HistoryViewTest, AReadAfterTooManyRidesSaysSoAndShowsNoFareAfterTheGap)
{
    m_profile.m_bHistoryView = 1;
    // 0x153-0x155, then 0x158-0x15E: 0x156 and 0x157 fell off the card unread.
    CCardImage first = CommuteImage();
    first.m_history.erase(first.m_history.begin(), first.m_history.end() - 3);
    Read(first);
    EXPECT_TRUE(m_messages.empty());
    CCardImage later = LaterImage();
    later.m_history.resize(later.m_history.size() - 3);
    Read(later);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text,
              QStringLiteral("前回の読込以降の利用のうち 2 件は、読み込む前にカードから消えました（2026/03/03〜2026/03/04）。"));
    EXPECT_EQ(m_messages[0].icon, MessageIcon::Information);

    // The first record after the gap: its fare is not known, not 0, and it is not ticked.
    const CEntryInfo* after = WithSequence(0x158);
    ASSERT_NE(after, nullptr);
    EXPECT_FALSE(after->amountKnown);
    EXPECT_EQ(after->apply, 0);
    QAbstractItemModel* model = Form().Model();
    EXPECT_EQ(model->data(model->index(RowOf(after), CHistoryModel::kAmountColumn)).toString(), QStringLiteral("不明"));
    EXPECT_NE(model->data(model->index(RowOf(WithSequence(0x159)), CHistoryModel::kAmountColumn)).toString(),
              QStringLiteral("不明"));
}

// The commute's 0x153-0x155, then the later read's 0x158-0x15E: two records of 3 and 4 March never read.
TEST_F(HistoryViewTest, AGapHasARowOfItsOwnThatIsNoEntry)
{
    m_profile.m_bHistoryView = 1;
    CCardImage first = CommuteImage();
    first.m_history.erase(first.m_history.begin(), first.m_history.end() - 3);
    Read(first);
    CCardImage later = LaterImage();
    later.m_history.resize(later.m_history.size() - 3);
    Read(later);
    CHistoryModel* model = Form().Model();
    ASSERT_EQ(Rows(), 11) << "ten entries and the gap";
    const int gapRow = RowOf(WithSequence(0x158)) - 1;
    ASSERT_EQ(gapRow, RowOf(WithSequence(0x155)) + 1) << "between the records on either side";
    ASSERT_NE(model->GapAt(gapRow), nullptr);
    EXPECT_EQ(model->EntryAt(gapRow), nullptr);
    EXPECT_EQ(model->data(model->index(gapRow, 1)).toString(), QStringLiteral("2 件未読込"));
    EXPECT_EQ(model->data(model->index(gapRow, 1), Qt::ForegroundRole).value<QBrush>(),
              QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text)) << "greyed";
    EXPECT_EQ(Form().List()->columnSpan(gapRow, 1), CHistoryModel::kColumnCount - 1);
    // Not tickable, not selectable, nothing to edit.
    EXPECT_EQ(model->flags(model->index(gapRow, 0)), Qt::NoItemFlags);
    EXPECT_FALSE(model->data(model->index(gapRow, 0), Qt::CheckStateRole).isValid());
    EXPECT_FALSE(model->setData(model->index(gapRow, 0), Qt::Checked, Qt::CheckStateRole));

    // The note says so, after the day to read the card by: ten records over 2-7 March (six days).
    EXPECT_EQ(m_pFrame->NotePane()->text(),
              QStringLiteral("次回の読込目安: 2026/03/19　この期間には読み込まれていない利用が 2 件あります。"));

    // The fares only: the gap stays where it lies, and the total is the fares'.
    Form().ShowAllBox()->click();
    ASSERT_EQ(Form().Model()->Rows().size() + 1, static_cast<size_t>(Rows()));
    EXPECT_NE(model->GapAt(RowOf(WithSequence(0x159)) - 1), nullptr) << "0x158, of no known fare, is left out";
    // 208 yen each for 0x154, 0x155 and 0x15A-0x15E, 210 for the bus of 0x159.
    EXPECT_EQ(Form().TotalValue()->text(), QStringLiteral(" 1,666円"));
    Form().ShowAllBox()->click();

    // Neither copied nor exported nor saved.
    Form().List()->selectAll();
    const QString copied = Form().SelectedRowsText();
    EXPECT_EQ(copied.count(QLatin1Char('\n')), 1 + 10) << copied.toStdString();
    EXPECT_FALSE(copied.contains(QStringLiteral("未読込")));
    Form().List()->clearSelection();
    Form().List()->selectionModel()->select(model->index(gapRow, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_TRUE(Form().SelectedRowsText().isEmpty());
    EXPECT_EQ(Form().ShownEntries().size(), 10u) << "what the CSV, the report and the export are made of";
    const QString saved = m_folder.filePath(QStringLiteral("saved.ent"));
    m_document.OnSaveDocument(saved);
    CCorvaneDoc reopened;
    reopened.OnOpenDocument(saved);
    EXPECT_EQ(reopened.m_data.m_entries.size(), 10u);

    // A period without the gap has neither its row nor its sentence; one that touches it has both.
    Form().PeriodBox()->SetDates(QDate(2026, 3, 6), QDate(2026, 3, 7));
    Form().PeriodBox()->SetChoice(CPeriodChoice::Dates);
    EXPECT_EQ(Rows(), static_cast<int>(Form().Model()->Rows().size()));
    EXPECT_EQ(m_pFrame->NotePane()->text(), QStringLiteral("次回の読込目安: 2026/03/19"));
    Form().PeriodBox()->SetDates(QDate(2026, 3, 4), QDate(2026, 3, 4));
    EXPECT_NE(model->GapAt(0), nullptr) << "the gap ends on the period's first day";
    EXPECT_TRUE(m_pFrame->NotePane()->text().endsWith(QStringLiteral("この期間には読み込まれていない利用が 2 件あります。")));
    // An entry file shown instead has no gaps and no note.
    Form().PeriodBox()->SetChoice(CPeriodChoice::WholePeriod);
    m_document.OnOpenDocument(saved);
    EXPECT_EQ(Rows(), 10);
    EXPECT_TRUE(m_pFrame->NotePane()->text().isEmpty());
}

TEST_F(HistoryViewTest, TheStartSaysWhenTheDayToReadTheLastCardByHasPassed)
{
    const QString unmade = m_folder.filePath(QStringLiteral("none/history.sqlite"));
    CHistoryArchive missing(unmade);
    m_pFrame->SetHistoryArchive(&missing);
    m_pFrame->NoteReadByPassed(QDate(2030, 1, 1));
    EXPECT_FALSE(QFile::exists(unmade)) << "no archive is made for the question";
    EXPECT_TRUE(m_pFrame->NotePane()->text().isEmpty());
    m_pFrame->SetHistoryArchive(&m_archive);

    Read(CommuteImage());
    ASSERT_TRUE(m_archive.SetCardName({0x01, 0x01, 0x03, 0x12, 0xA4, 0xB5, 0xC6, 0xD7}, QStringLiteral("通勤用")));
    m_pFrame->SetNote(QString());
    m_pFrame->NoteReadByPassed(QDate(2026, 3, 16));
    EXPECT_TRUE(m_pFrame->NotePane()->text().isEmpty()) << "the day itself has not passed";
    m_pFrame->NoteReadByPassed(QDate(2026, 3, 17));
    EXPECT_EQ(m_pFrame->NotePane()->text(),
              QStringLiteral("前回読み込んだカード（通勤用）の次回の読込目安 2026/03/16 を過ぎています。カードを読み込んでください。"));
}

TEST_F(HistoryViewTest, TicksAndTextsOutliveALaterRead)
{
    m_profile.m_bHistoryView = 1;
    Read(CommuteImage());
    const int row = static_cast<int>(std::find(Form().Model()->Rows().begin(), Form().Model()->Rows().end(),
                                               WithSequence(0x158)) - Form().Model()->Rows().begin());
    QAbstractItemModel* model = Form().Model();
    model->setData(model->index(row, 0), Qt::Unchecked, Qt::CheckStateRole);
    model->setData(model->index(row, CHistoryModel::kDestinationColumn), QStringLiteral("本社"));

    Read(LaterImage());
    ASSERT_EQ(Rows(), 12);
    EXPECT_EQ(WithSequence(0x158)->apply, 0);
    EXPECT_EQ(WithSequence(0x158)->destination, QStringLiteral("本社"));

    m_profile.m_bHistoryView = 0;
    Read(LaterImage());
    EXPECT_EQ(WithSequence(0x158)->destination, QStringLiteral("本社")) << "a plain read shows the person's texts too";
}

TEST_F(HistoryViewTest, EditsOfAnOpenedEntryFileReachTheArchiveToo)
{
    Read(CommuteImage());
    const QString file = m_folder.filePath(QStringLiteral("march.ent"));
    m_document.OnSaveDocument(file);
    m_strOpen = file;
    m_pFrame->OnCommand(ID_FILE_OPEN);
    ASSERT_EQ(m_document.GetPathName(), file);
    Untick(0x158, "本社");
    EXPECT_TRUE(m_document.IsModified()) << "the file has changes of its own";
    EXPECT_TRUE(m_messages.empty());

    Read(CommuteImage());
    ASSERT_NE(WithSequence(0x158), nullptr);
    EXPECT_EQ(WithSequence(0x158)->apply, 0) << "the next read brings back the corrected tick";
    EXPECT_EQ(WithSequence(0x158)->destination, QStringLiteral("本社"));
}

TEST_F(HistoryViewTest, SwitchingToTheHistoryRightAfterAReadAsksNothing)
{
    Read(CommuteImage());
    EXPECT_FALSE(m_document.IsModified()) << "the archive keeps the read";
    Untick(0x158, "本社");
    EXPECT_FALSE(m_document.IsModified()) << "and the edit of an archived trip";
    m_pFrame->CommandAction(ID_VIEW_HISTORY)->trigger();
    EXPECT_EQ(m_nSaveQuestions, 0);
    ASSERT_NE(WithSequence(0x158), nullptr);
    EXPECT_EQ(WithSequence(0x158)->apply, 0);
    EXPECT_EQ(WithSequence(0x158)->destination, QStringLiteral("本社"));
}

TEST_F(HistoryViewTest, AnArchiveThatCannotBeWrittenNeverStopsARead)
{
    QFile broken(m_archive.Path());
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(4096, 'x'));
    broken.close();
    Read(CommuteImage());
    EXPECT_EQ(Rows(), 10) << "the read is shown";
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_TRUE(m_messages[0].text.startsWith(QStringLiteral("読み込んだ利用履歴を履歴に保存できませんでした。\n")))
        << m_messages[0].text.toStdString();
    EXPECT_GT(m_messages[0].text.size(), QStringLiteral("読み込んだ利用履歴を履歴に保存できませんでした。\n").size());
    QFile after(m_archive.Path());
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), QByteArray(4096, 'x')) << "nothing is written over it";
}

TEST_F(HistoryViewTest, DeletingACardsHistoryAsksAndEmptiesTheView)
{
    m_profile.m_bHistoryView = 1;
    Read(CommuteImage());
    m_bConfirm = false;
    m_pFrame->OnCommand(ID_EDIT_DELETE_HISTORY);
    ASSERT_EQ(m_questions.size(), 1);
    EXPECT_TRUE(m_questions[0].contains(QStringLiteral("01010312A4B5C6D7")));
    EXPECT_EQ(Rows(), 10) << "No keeps everything";
    m_bConfirm = true;
    m_pFrame->OnCommand(ID_EDIT_DELETE_HISTORY);
    EXPECT_EQ(Rows(), 0);
    std::vector<SArchivedCard> cards;
    ASSERT_TRUE(m_archive.Cards(cards));
    EXPECT_TRUE(cards.empty());
}

TEST_F(HistoryViewTest, AnEntryFileTakenInJoinsTheCardsHistory)
{
    Read(LaterImage());
    const QString file = m_folder.filePath(QStringLiteral("march.ent"));
    {
        CCorvaneDoc earlier;
        UseCard(CommuteImage());
        CMainFrame other(earlier, m_profile, CMainFrame::ReaderHooks{});
        other.GetActiveView()->OnInitialUpdate();
        other.OnCommand(ID_CARD_READ);   // not archived: this frame has no archive
        earlier.OnSaveDocument(file);
    }
    m_strOpen = file;
    m_messages.clear();
    m_pFrame->OnCommand(ID_FILE_IMPORT_HISTORY);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, QStringLiteral("2件を履歴に取り込みました（8件は取り込み済み）。"));
    m_pFrame->CommandAction(ID_VIEW_HISTORY)->trigger();
    EXPECT_EQ(Rows(), 12);
}

TEST_F(HistoryViewTest, TheCardChooserNamesCardsAndShowsTheChosenOne)
{
    Read(CommuteImage());
    m_document.OnNewDocument();
    CHistoryCardsDlg dialog(m_archive);
    QTableWidget* table = dialog.Table();
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("01010312A4B5C6D7"));
    EXPECT_EQ(table->item(0, 2)->text(), QStringLiteral("10"));
    EXPECT_EQ(table->item(0, 3)->text(), QStringLiteral("2026/03/02"));
    EXPECT_EQ(table->item(0, 5)->text(), QStringLiteral("2026/03/16")) << "ten records over 2-6 March: 20 in ten days";
    table->item(0, 1)->setText(QStringLiteral(" 通勤用 "));
    dialog.ShowButton()->click();
    ASSERT_TRUE(dialog.ChosenCard().has_value());
    EXPECT_EQ(IdmText(*dialog.ChosenCard()), QStringLiteral("01010312A4B5C6D7"));
    std::vector<SArchivedCard> cards;
    ASSERT_TRUE(m_archive.Cards(cards));
    EXPECT_EQ(cards.at(0).strName, QStringLiteral("通勤用"));
}

TEST_F(HistoryViewTest, APeriodAsksTheArchiveForItsDaysAndKeepsTheFareFilter)
{
    m_profile.m_bHistoryView = 1;
    Read(CommuteImage());
    Read(LaterImage());
    Form().ShowAllBox()->click();
    const int fares = Rows();
    Form().PeriodBox()->SetDates(QDate(2026, 3, 6), QDate(2026, 3, 7));
    Form().PeriodBox()->SetChoice(CPeriodChoice::Dates);
    EXPECT_FALSE(Form().ShowAllBox()->isChecked()) << "still the fares";
    EXPECT_EQ(Rows(), 3) << "one trip on the 6th, two on the 7th";
    EXPECT_EQ(m_document.m_data.m_entries.size(), 3u) << "only the period was asked for";
    Form().PeriodBox()->SetChoice(CPeriodChoice::WholePeriod);
    EXPECT_EQ(Rows(), fares);
}

TEST_F(HistoryViewTest, TheBalancePaneShowsTheReadsBalanceWhateverThePeriod)
{
    m_profile.m_bHistoryView = 1;
    Read(CommuteImage());
    Read(LaterImage());
    const QLabel* balance = m_pFrame->Pane(ID_INDICATOR_BALANCE);
    EXPECT_EQ(balance->text(), QStringLiteral(" 2,538円")) << "block 0 of the later read";
    // The 6th's last trip left 2,954 on the card; the 7th's trips came after it.
    Form().PeriodBox()->SetDates(QDate(2026, 3, 6), QDate(2026, 3, 6));
    Form().PeriodBox()->SetChoice(CPeriodChoice::Dates);
    ASSERT_GT(Rows(), 0);
    EXPECT_EQ(balance->text(), QStringLiteral(" 2,538円"));
    Form().PeriodBox()->SetDates(QDate(2025, 1, 1), QDate(2025, 1, 31));
    ASSERT_EQ(Rows(), 0);
    EXPECT_EQ(balance->text(), QStringLiteral(" 2,538円"));
}

TEST_F(HistoryViewTest, ALaidCardIsReadWhenTheSwitchIsOn)
{
    ECardPresence presence = ECardPresence::Absent;
    CCorvaneDoc document;
    CMainFrame::ReaderHooks hooks;
    hooks.presence = [&] { return presence; };
    CMainFrame frame(document, m_profile, hooks);
    frame.GetActiveView()->OnInitialUpdate();
    UseCard(CommuteImage());
    EXPECT_FALSE(frame.CardWatcher()->IsWatching()) << "off by default";
    frame.CommandAction(ID_VIEW_AUTO_READ)->trigger();
    ASSERT_TRUE(frame.CardWatcher()->IsWatching());
    EXPECT_EQ(m_profile.m_bAutoRead, 1);
    const auto lookAndWait = [&frame] {
        frame.CardWatcher()->Look();
        return QTest::qWaitFor([&frame] { return !frame.CardWatcher()->IsLooking(); }, 5000);
    };
    ASSERT_TRUE(lookAndWait());
    EXPECT_TRUE(document.m_data.m_entries.empty());
    presence = ECardPresence::Present;
    ASSERT_TRUE(lookAndWait());
    EXPECT_EQ(document.m_data.m_entries.size(), 10u);
    frame.CommandAction(ID_VIEW_AUTO_READ)->trigger();
    EXPECT_FALSE(frame.CardWatcher()->IsWatching());
}

TEST_F(HistoryViewTest, TheListOfAReadOutlivesItsDeletedHistory)
{
    Read(CommuteImage());
    m_pFrame->OnCommand(ID_EDIT_DELETE_HISTORY);
    EXPECT_EQ(Rows(), 10) << "outside the history view the read stays on screen";
    m_messages.clear();
    QAbstractItemModel* model = Form().Model();
    // Row 0 is the oldest trip, whose fare the card no longer holds: no box.
    ASSERT_TRUE(model->setData(model->index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_TRUE(m_messages.empty()) << "no archive to write the tick to, and nothing to say about it";
    EXPECT_TRUE(m_document.IsModified());
}

TEST_F(HistoryViewTest, ADamagedArchiveIsRecoveredFromTheMenu)
{
    Read(CommuteImage());
    m_archive.Close();
    ASSERT_TRUE(DamageTheDayIndex(m_archive.Path()));
    m_messages.clear();
    Read(LaterImage());
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_TRUE(m_messages[0].text.contains(QStringLiteral("履歴ファイルが壊れています: ") + m_archive.Path()))
        << m_messages[0].text.toStdString();

    m_messages.clear();
    m_pFrame->OnCommand(ID_EDIT_RECOVER_HISTORY);
    ASSERT_EQ(m_questions.size(), 1);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_TRUE(m_messages[0].text.startsWith(QStringLiteral("10件の記録を新しい履歴ファイルに移しました。")))
        << m_messages[0].text.toStdString();
    // The read made while it was damaged comes in as well.
    m_pFrame->CommandAction(ID_VIEW_HISTORY)->trigger();
    EXPECT_EQ(Rows(), 12);
}

namespace {

TEST_F(HistoryViewTest, AStationNamedOnceKeepsItsNameInLaterReadsTheHistoryAndTheCsv)
{
    Read(CommuteImage());
    // 東京 -> 新宿: the dialog offers both sides and starts on the exit.
    QStringList shown;
    NameStation(RowOf(WithSequence(0x157)), [&shown](CStationNameDlg& dialog) {
        shown = {dialog.SideBox()->currentText(), dialog.CodeLabel()->text(), dialog.CompanyEdit()->text(),
                 dialog.LineEdit()->text(), dialog.StationEdit()->text()};
        EXPECT_EQ(dialog.SideBox()->count(), 2);
        EXPECT_FALSE(dialog.RemoveButton()->isEnabled());
        dialog.StationEdit()->setText(QStringLiteral("  "));
        dialog.accept();
        EXPECT_EQ(dialog.ProblemLabel()->text(), QStringLiteral("駅名を入力してください。")) << "refused, still open";
        dialog.StationEdit()->setText(QStringLiteral("新宿（南口）"));
        dialog.accept();
    });
    EXPECT_EQ(shown, (QStringList{QStringLiteral("出場"), QStringLiteral("鉄道 0-3-13"), QStringLiteral("JR東日本"),
                                  QStringLiteral("中央本線"), QStringLiteral("新宿")}));
    ASSERT_NE(m_names.Find(SStationKey::Rail(0, 3, 13)), nullptr);
    // Every row of that code, on either side, takes it at once.
    EXPECT_EQ(WithSequence(0x157)->exitStationName, QStringLiteral("新宿（南口）"));
    EXPECT_EQ(WithSequence(0x157)->exitLineName, QStringLiteral("中央本線"));
    EXPECT_EQ(WithSequence(0x15A)->entryStationName, QStringLiteral("新宿（南口）"));
    EXPECT_TRUE(m_document.IsModified());

    m_document.SetModifiedFlag(false);
    Read(LaterImage());
    EXPECT_EQ(WithSequence(0x15E)->exitStationName, QStringLiteral("新宿（南口）"));
    SClaimCsvOptions csv = ClaimCsvOptionsFrom(m_profile);
    csv.encoding = CsvEncoding::Utf8Bom;
    EXPECT_TRUE(ClaimEntriesToCsv(Form().ShownEntries(), csv).contains(QStringLiteral("新宿（南口）").toUtf8()));
    m_pFrame->CommandAction(ID_VIEW_HISTORY)->trigger();
    ASSERT_EQ(Rows(), 12);
    EXPECT_EQ(WithSequence(0x153)->entryStationName, QStringLiteral("新宿（南口）")) << "read before it was named";

    // Removing it brings the database's name back, in the history too.
    NameStation(RowOf(WithSequence(0x157)), [](CStationNameDlg& dialog) {
        EXPECT_TRUE(dialog.RemoveButton()->isEnabled());
        dialog.RemoveButton()->click();
    });
    EXPECT_EQ(m_names.Find(SStationKey::Rail(0, 3, 13)), nullptr);
    EXPECT_EQ(WithSequence(0x157)->exitStationName, QStringLiteral("新宿"));
    m_pFrame->CommandAction(ID_VIEW_HISTORY)->trigger();
    m_pFrame->CommandAction(ID_VIEW_HISTORY)->trigger();
    EXPECT_EQ(WithSequence(0x153)->entryStationName, QStringLiteral("新宿"));
    EXPECT_TRUE(m_messages.empty());
}

} // namespace
