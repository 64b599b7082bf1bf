// The list as a person claims with it: the period, ticks by key, copied rows,
// the column switches and the empty destinations filled from the pairs.
#include "settings/AppProfile.h"
#include "view/CorvaneForm.h"
#include "view/HistoryModel.h"
#include "view/PeriodChoice.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <memory>

namespace {

int64_t At(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(8, 30)).toSecsSinceEpoch();
}

std::unique_ptr<CEntryInfo> Fare(int64_t when, int32_t amount, const char* exit, uint8_t apply = 1)
{
    auto entry = MakeBlankEntry();
    entry->processKind = 0x01;
    entry->terminalKind = 0x16;
    entry->dateTime = when;
    entry->amount = amount;
    entry->balance = 3000;
    entry->apply = apply;
    entry->entryStationName = QStringLiteral("東京");
    entry->exitStationName = QString::fromUtf8(exit);
    entry->distance = 6100;
    return entry;
}

std::unique_ptr<CEntryInfo> Charge(int64_t when)
{
    auto entry = MakeBlankEntry();
    entry->processKind = 0x02;
    entry->terminalKind = 0x08;
    entry->dateTime = when;
    entry->amount = -2000;
    entry->apply = 0;
    return entry;
}

class ClaimListTest : public testing::Test {
protected:
    ClaimListTest()
    {
        auto& entries = document.m_data.m_entries;
        entries.push_back(Fare(At(2024, 4, 30), 170, "新宿"));
        entries.push_back(Charge(At(2024, 5, 1)));
        entries.push_back(Fare(At(2024, 5, 7), 210, "渋谷"));
        entries.push_back(Fare(At(2024, 5, 8), 480, "横浜", 0));
        entries.push_back(Fare(At(2024, 6, 3), 320, "品川"));
        form = std::make_unique<CCorvaneForm>(document, profile, nullptr);
        form->OnInitialUpdate();
        document.UpdateAllViews(HINT_LOADED);
    }

    void ChooseMay()
    {
        form->PeriodBox()->SetDates(QDate(2024, 5, 1), QDate(2024, 5, 31));
        form->PeriodBox()->SetChoice(CPeriodChoice::Dates);
    }
    void SelectRows(std::initializer_list<int> rows)
    {
        QItemSelectionModel* selection = form->List()->selectionModel();
        selection->clearSelection();
        for (const int row : rows)
            selection->select(form->Model()->index(row, 1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QString Exit(int row) const { return form->Model()->EntryAt(row)->exitStationName; }

    CAppProfile profile;
    CCorvaneDoc document;
    std::unique_ptr<CCorvaneForm> form;
};

} // namespace

TEST_F(ClaimListTest, PeriodShowsItsDaysAndTheTotalCountsTheirTickedFares)
{
    ChooseMay();
    ASSERT_EQ(form->Model()->rowCount(), 3);
    EXPECT_EQ(Exit(0), QString());  // the charge
    EXPECT_EQ(Exit(2), QStringLiteral("横浜"));
    form->ShowAllBox()->click();
    ASSERT_EQ(form->Model()->rowCount(), 2) << "fares of May";
    EXPECT_EQ(form->TotalValue()->text().trimmed(), QStringLiteral("210円")) << "the unticked 480 does not count";

    form->PeriodBox()->SetChoice(CPeriodChoice::WholePeriod);
    EXPECT_EQ(form->Model()->rowCount(), 4);
    EXPECT_EQ(form->TotalValue()->text().trimmed(), QStringLiteral("700円"));
    EXPECT_EQ(document.m_data.m_entries.size(), 5u) << "a period hides, never deletes";
}

TEST_F(ClaimListTest, OnlyFaresHaveABoxAndATickedChargeCountsNothing)
{
    // As an old file may hold it: the charge ticked.
    document.m_data.m_entries[1]->apply = 1;
    document.UpdateAllViews(HINT_LOADED);
    CHistoryModel* model = form->Model();
    ASSERT_EQ(model->rowCount(), 5) << "all shown";
    EXPECT_FALSE(model->flags(model->index(1, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model->data(model->index(1, 0), Qt::CheckStateRole).isValid()) << "no box is drawn";
    EXPECT_TRUE(model->flags(model->index(0, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model->setData(model->index(1, 0), Qt::Unchecked, Qt::CheckStateRole));

    // Ctrl+A and Space untick every fare and leave the charge alone.
    form->List()->setFocus();
    form->List()->selectAll();
    QTest::keyClick(form->List(), Qt::Key_Space);
    EXPECT_EQ(model->EntryAt(1)->apply, 1);
    for (const int row : {0, 2, 3, 4})
        EXPECT_EQ(model->EntryAt(row)->apply, 1) << row << ": the unticked 480 was ticked, the charge did not hold it back";
    QTest::keyClick(form->List(), Qt::Key_Space);
    for (const int row : {0, 2, 3, 4})
        EXPECT_EQ(model->EntryAt(row)->apply, 0) << row;
    QTest::keyClick(form->List(), Qt::Key_Space);
    SelectRows({1});
    EXPECT_TRUE(form->SelectedRowsText().contains(QStringLiteral("\n0\t2024/05/01")))
        << "copied, the ticked charge is no claim: " << form->SelectedRowsText().toStdString();
    form->ShowAllBox()->click();
    EXPECT_EQ(form->TotalValue()->text().trimmed(), QStringLiteral("1,180円")) << "the ticked charge counts nothing";
}

TEST_F(ClaimListTest, SyncOrderWithAPeriodKeepsEveryEntryInPlace)
{
    ChooseMay();
    form->ShowAllBox()->click();
    form->SyncEntryOrder();
    const auto& entries = document.m_data.m_entries;
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0]->exitStationName, QStringLiteral("新宿"));
    EXPECT_EQ(entries[1]->processKind, 0x02);
    EXPECT_EQ(entries[4]->exitStationName, QStringLiteral("品川"));
}

TEST(PeriodChoiceTest, MonthsCountFromTodayAndDatesMayComeEitherWay)
{
    CPeriodChoice choice(nullptr, [] { return QDate(2024, 3, 15); });
    EXPECT_TRUE(choice.Period().IsWhole());
    EXPECT_FALSE(choice.FromEdit()->isEnabled());
    choice.SetChoice(CPeriodChoice::ThisMonth);
    EXPECT_EQ(choice.Period().m_from, QDate(2024, 3, 1));
    EXPECT_EQ(choice.Period().m_to, QDate(2024, 3, 31));
    choice.SetChoice(CPeriodChoice::LastMonth);
    EXPECT_EQ(choice.Period().m_from, QDate(2024, 2, 1));
    EXPECT_EQ(choice.Period().m_to, QDate(2024, 2, 29));
    EXPECT_EQ(choice.FromEdit()->date(), QDate(2024, 2, 1)) << "the month's days are shown";
    choice.SetChoice(CPeriodChoice::Dates);
    EXPECT_TRUE(choice.FromEdit()->isEnabled());
    choice.SetDates(QDate(2024, 1, 31), QDate(2024, 1, 10));
    EXPECT_EQ(choice.Period().m_from, QDate(2024, 1, 10));
    EXPECT_EQ(choice.Period().m_to, QDate(2024, 1, 31));
}

TEST_F(ClaimListTest, SpaceTicksTheSelectedRowsOrUnticksThemWhenAllAreTicked)
{
    form->ShowColumn(0, true);
    form->ShowAllBox()->click();  // fares: 170, 210, 480 (unticked), 320
    SelectRows({1, 2});
    QTest::keyClick(form->List(), Qt::Key_Space);
    EXPECT_EQ(form->Model()->EntryAt(2)->apply, 1);
    EXPECT_EQ(form->TotalValue()->text().trimmed(), QStringLiteral("1,180円"));
    EXPECT_TRUE(document.IsModified());
    QTest::keyClick(form->List(), Qt::Key_Space);
    EXPECT_EQ(form->Model()->EntryAt(1)->apply, 0);
    EXPECT_EQ(form->Model()->EntryAt(2)->apply, 0);
    EXPECT_EQ(form->TotalValue()->text().trimmed(), QStringLiteral("490円"));

    form->ShowColumn(0, false);
    QTest::keyClick(form->List(), Qt::Key_Space);
    EXPECT_EQ(form->Model()->EntryAt(1)->apply, 0) << "no ticks change where none are shown";
}

TEST_F(ClaimListTest, CopyGivesTheSelectedRowsAsTabSeparatedTextWithTitles)
{
    document.m_data.m_entries[2]->remarks = QStringLiteral("打合せ\t午後");
    document.UpdateAllViews(HINT_LOADED);
    form->ShowColumn(0, false);
    SelectRows({2, 0});
    const QString expected = QStringLiteral("日付\t入場会社名\t入場駅名\t出場会社名\t出場駅名\t料金/入金額\t残高\t備考\n"
                                            "2024/04/30\t\t東京\t\t新宿\t170\t3000\t\n"
                                            "2024/05/07\t\t東京\t\t渋谷\t210\t3000\t打合せ 午後\n");
    EXPECT_EQ(form->SelectedRowsText(), expected);
    QTest::keyClick(form->List(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), expected);

    form->ShowColumn(CHistoryModel::kDistanceColumn, true);
    form->ShowColumn(0, true);
    SelectRows({0});
    EXPECT_EQ(form->SelectedRowsText().section(QLatin1Char('\n'), 0, 1),
              QStringLiteral("申請\t日付\t入場会社名\t入場駅名\t出場会社名\t出場駅名\t料金/入金額\t残高\t備考\t距離(km)\n"
                             "1\t2024/04/30\t\t東京\t\t新宿\t170\t3000\t\t6.1"));

    document.m_data.m_entries[0]->exitTime = 8 * 60 + 40;
    form->ShowColumn(CHistoryModel::kTimeColumn, true);
    EXPECT_EQ(form->Model()->headerData(CHistoryModel::kTimeColumn, Qt::Horizontal).toString().trimmed(),
              QStringLiteral("時刻"));
    EXPECT_EQ(form->Model()->index(0, CHistoryModel::kTimeColumn).data().toString(), QStringLiteral("–08:40"));
    EXPECT_TRUE(form->SelectedRowsText().section(QLatin1Char('\n'), 1, 1).endsWith(QStringLiteral("\t6.1\t–08:40")))
        << form->SelectedRowsText().toStdString();
}

struct SwitchCase {
    int column;
    int CAppProfile::*setting;
    bool shownByDefault;
};

class ColumnSwitchTest : public ClaimListTest, public testing::WithParamInterface<SwitchCase> {};

TEST_P(ColumnSwitchTest, ShowsAndHidesAndKeepsTheChoice)
{
    const SwitchCase& c = GetParam();
    EXPECT_EQ(form->IsColumnShown(c.column), c.shownByDefault);
    form->ShowColumn(c.column, true);
    EXPECT_TRUE(form->IsColumnShown(c.column));
    EXPECT_GT(form->List()->columnWidth(c.column), 0);
    EXPECT_EQ(profile.*c.setting, 1);
    form->ShowColumn(c.column, false);
    EXPECT_FALSE(form->IsColumnShown(c.column));
    EXPECT_EQ(profile.*c.setting, 0);
    EXPECT_EQ(form->BuildColumnWidthText(), QStringLiteral("-1,80,120,-1,120,120,-1,120,80,80,-1,120"))
        << "the switches leave the width text as it was";
}

INSTANTIATE_TEST_SUITE_P(Columns, ColumnSwitchTest, testing::Values(
    SwitchCase{0, &CAppProfile::m_nShowApplyColumn, true},
    SwitchCase{3, &CAppProfile::m_nShowEntryLine, false},
    SwitchCase{6, &CAppProfile::m_nShowExitLine, false},
    SwitchCase{10, &CAppProfile::m_nShowDestination, false},
    SwitchCase{12, &CAppProfile::m_nShowDistance, false},
    SwitchCase{13, &CAppProfile::m_nShowTime, false}));

TEST(ColumnSwitchStartTest, AStoredChoiceWinsOverTheWidth)
{
    CAppProfile profile;
    profile.m_nShowApplyColumn = 1;
    profile.m_nShowEntryLine = 0;
    profile.m_strColumnWidths = QStringLiteral("-1,80,120,90");
    CCorvaneDoc document;
    CCorvaneForm form(document, profile, nullptr);
    form.OnInitialUpdate();
    EXPECT_TRUE(form.IsColumnShown(0));
    EXPECT_FALSE(form.IsColumnShown(3)) << "hidden by choice though it has a width";
    EXPECT_FALSE(form.IsColumnShown(CHistoryModel::kDistanceColumn));
}

TEST(EmptyListTest, SaysHowToFillItUntilThereAreRows)
{
    CAppProfile profile;
    CCorvaneDoc document;
    CCorvaneForm form(document, profile, nullptr);
    form.OnInitialUpdate();
    document.OnNewDocument();
    EXPECT_TRUE(form.EmptyHint()->isVisibleTo(&form));
    EXPECT_TRUE(form.EmptyHint()->text().contains(QStringLiteral("Ctrl+R")));
    EXPECT_TRUE(form.ReadButton()->toolTip().contains(QStringLiteral("カード読込")));
    document.m_data.m_entries.push_back(Fare(At(2024, 5, 7), 210, "渋谷"));
    document.UpdateAllViews(HINT_LOADED);
    EXPECT_FALSE(form.EmptyHint()->isVisibleTo(&form));
    document.OnNewDocument();
    EXPECT_TRUE(form.EmptyHint()->isVisibleTo(&form));
}

TEST_F(ClaimListTest, EditedDestinationGoesIntoTheEntryAndTheRecentList)
{
    profile.m_nVisMaxCount = 5;
    QAbstractItemModel* model = form->Model();
    EXPECT_TRUE(model->setData(model->index(2, CHistoryModel::kDestinationColumn), QStringLiteral("渋谷営業所")));
    EXPECT_EQ(document.m_data.m_entries[2]->destination, QStringLiteral("渋谷営業所"));
    EXPECT_EQ(profile.m_arrVisRecent, QStringList{QStringLiteral("渋谷営業所")});
    EXPECT_TRUE(document.IsModified());
    EXPECT_TRUE(model->flags(model->index(2, CHistoryModel::kRemarksColumn)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model->flags(model->index(2, 4)) & Qt::ItemIsEditable) << "station names are the card's";
}

TEST_F(ClaimListTest, EmptyDestinationsOfTheListAreFilledFromTheLookup)
{
    document.m_data.m_entries[0]->destination = QStringLiteral("既定");
    document.UpdateAllViews(HINT_LOADED);
    const int filled = form->FillEmptyDestinations([](const QString& station) {
        return station == QStringLiteral("新宿") || station == QStringLiteral("渋谷") ? station + QStringLiteral("支店")
                                                                                       : QString();
    });
    EXPECT_EQ(filled, 1);
    EXPECT_EQ(document.m_data.m_entries[0]->destination, QStringLiteral("既定")) << "a set destination stays";
    EXPECT_EQ(document.m_data.m_entries[2]->destination, QStringLiteral("渋谷支店"));
    EXPECT_TRUE(document.m_data.m_entries[3]->destination.isEmpty());
}
