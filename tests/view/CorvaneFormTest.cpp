#include "settings/AppProfile.h"
#include "view/CardStatusBar.h"
#include "view/CorvaneForm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include "view/HistoryModel.h"

#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct StatusCall {
    QString idm;
    int32_t balance;
};

class CStatusRecorder : public ICardStatusBar {
public:
    void SetCardStatus(const QString& idm, int32_t balance) override { calls.push_back({idm, balance}); }
    void SetNote(const QString& text) override { note = text; }
    std::vector<StatusCall> calls;
    QString note;
};

std::unique_ptr<CEntryInfo> Entry(uint8_t processKind, uint8_t terminalKind, int32_t amount, uint8_t apply = 1)
{
    auto entry = std::make_unique<CEntryInfo>();
    entry->processKind = processKind;
    entry->terminalKind = terminalKind;
    entry->amount = amount;
    entry->balance = 5000;
    entry->apply = apply;
    entry->entryStationName = QStringLiteral("東京");
    entry->exitStationName = QStringLiteral("新宿");
    return entry;
}

constexpr uint8_t kFare = 0x01;
constexpr uint8_t kCharge = 0x02;
constexpr uint8_t kShop = 0x46;
constexpr uint8_t kReissue = 0x11;
constexpr uint8_t kGate = 0x16;
constexpr uint8_t kTicketMachine = 0x08;
constexpr uint8_t kShopTerminal = 0xC7;

class CorvaneFormTest : public testing::Test {
protected:
    CorvaneFormTest()
    {
        profile.m_bGridView = 1;
        form = std::make_unique<CCorvaneForm>(document, profile, &status);
        form->OnInitialUpdate();
    }

    CEntryList& Entries() { return document.m_data.m_entries; }

    void Add(std::unique_ptr<CEntryInfo> entry) { Entries().push_back(std::move(entry)); }

    // A fare, a charge, a shop purchase and a reissue, loaded as a file would be.
    void LoadMixedDocument()
    {
        Add(Entry(kFare, kGate, 1234));
        Add(Entry(kCharge, kTicketMachine, -1000, 0));
        Add(Entry(kShop, kShopTerminal, 480));
        Add(Entry(kReissue, kTicketMachine, 0, 0));
        document.UpdateAllViews(HINT_LOADED);
    }

    void ShowFaresOnly() { form->ShowAllBox()->click(); }

    QString Cell(int row, int column) const { return form->Model()->index(row, column).data().toString(); }
    Qt::CheckState Tick(int row) const
    {
        return form->Model()->index(row, 0).data(Qt::CheckStateRole).value<Qt::CheckState>();
    }

    CAppProfile profile;
    CCorvaneDoc document;
    CStatusRecorder status;
    std::unique_ptr<CCorvaneForm> form;
};

TEST_F(CorvaneFormTest, EmptyDocumentShowsNothingAndBlanksTheStatus)
{
    EXPECT_EQ(form->Model()->rowCount(), 0);
    EXPECT_EQ(form->Model()->columnCount(), 14) << "the twelve, the distance and the times";
    EXPECT_TRUE(form->ShowAllBox()->isChecked());
    EXPECT_FALSE(form->ShowAllBox()->isEnabled());
    EXPECT_TRUE(form->TotalLabel()->isHidden());
    EXPECT_TRUE(form->TotalValue()->isHidden());
    ASSERT_EQ(status.calls.size(), 1u);
    EXPECT_TRUE(status.calls[0].idm.isEmpty());
    EXPECT_EQ(status.calls[0].balance, -1);
}

TEST_F(CorvaneFormTest, AllShowsEveryEntryWithMagnitudesAndTheBalanceColumn)
{
    LoadMixedDocument();
    ASSERT_EQ(form->Model()->rowCount(), 4);
    EXPECT_TRUE(form->ShowAllBox()->isEnabled());
    EXPECT_EQ(Cell(0, 8), QStringLiteral(" 1,234"));
    EXPECT_EQ(Cell(1, 8), QStringLiteral(" 1,000"));
    EXPECT_EQ(Cell(1, 9), QStringLiteral(" 5,000"));
    EXPECT_EQ(Cell(0, 4), QStringLiteral("東京"));
    EXPECT_FALSE(form->List()->isColumnHidden(9));
    EXPECT_EQ(form->List()->columnWidth(9), 80);
    EXPECT_TRUE(form->TotalValue()->isHidden());
    EXPECT_TRUE(form->List()->selectionModel()->isRowSelected(0, QModelIndex()));
    EXPECT_EQ(form->List()->currentIndex().row(), 0);
}

TEST_F(CorvaneFormTest, FaresShowOnlyTheFareWithTheTotalOfTickedRows)
{
    LoadMixedDocument();
    ShowFaresOnly();
    ASSERT_EQ(form->Model()->rowCount(), 1);
    EXPECT_EQ(Cell(0, 8), QStringLiteral(" 1,234"));
    EXPECT_TRUE(form->List()->isColumnHidden(9));
    EXPECT_EQ(form->BuildColumnWidthText().split(QLatin1Char(',')).at(9), QStringLiteral("0"));
    EXPECT_FALSE(form->TotalValue()->isHidden());
    EXPECT_FALSE(form->TotalLabel()->isHidden());
    EXPECT_EQ(form->TotalLabel()->text(), QStringLiteral("合 計"));
    EXPECT_EQ(form->TotalValue()->text(), QStringLiteral(" 1,234円"));

    form->ShowAllBox()->click();
    EXPECT_EQ(form->Model()->rowCount(), 4);
}

TEST_F(CorvaneFormTest, TicksWriteTheEntryAndTheTotalFollows)
{
    Add(Entry(kFare, kGate, 210));
    Add(Entry(kFare, kGate, 1000, 0));
    document.UpdateAllViews(HINT_LOADED);
    ShowFaresOnly();
    ASSERT_EQ(form->Model()->rowCount(), 2);
    EXPECT_EQ(form->TotalValue()->text(), QStringLiteral("   210円"));

    ASSERT_TRUE(form->Model()->setData(form->Model()->index(1, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(Entries()[1]->apply, 1);
    EXPECT_EQ(form->TotalValue()->text(), QStringLiteral(" 1,210円"));
    ASSERT_TRUE(form->Model()->setData(form->Model()->index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_EQ(Entries()[0]->apply, 0);
    EXPECT_EQ(form->TotalValue()->text(), QStringLiteral(" 1,000円"));
    form->FillList(Entries());
    EXPECT_EQ(Tick(0), Qt::Unchecked);
    EXPECT_EQ(Tick(1), Qt::Checked);
}

TEST_F(CorvaneFormTest, FaresWithNonePassingShowAZeroTotalAndDisableTheBox)
{
    Add(Entry(kCharge, kTicketMachine, -3000, 0));
    document.UpdateAllViews(HINT_LOADED);
    ShowFaresOnly();
    EXPECT_EQ(form->Model()->rowCount(), 0);
    EXPECT_FALSE(form->ShowAllBox()->isChecked());
    EXPECT_FALSE(form->ShowAllBox()->isEnabled());
    EXPECT_EQ(form->TotalValue()->text(), QStringLiteral("     0円"));
}

struct FilterCase {
    const char* name;
    uint8_t processKind;
    uint8_t terminalKind;
    int32_t amount;
    bool shown;
    friend std::ostream& operator<<(std::ostream& os, const FilterCase& c) { return os << c.name; }
};

class FareFilterTest : public CorvaneFormTest, public testing::WithParamInterface<FilterCase> {};

TEST_P(FareFilterTest, KeepsOnlyClaimableFares)
{
    const FilterCase& c = GetParam();
    Add(Entry(c.processKind, c.terminalKind, c.amount));
    form->ShowAllBox()->setChecked(false);
    EXPECT_EQ(form->FillList(Entries()), c.shown ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Entries, FareFilterTest, testing::Values(
    FilterCase{"GateFare", kFare, kGate, 210, true},
    FilterCase{"BusFare", 0x0F, 0x05, 220, true},
    FilterCase{"ZeroAmount", kFare, kGate, 0, false},
    FilterCase{"Charge", kCharge, kTicketMachine, -1000, false},
    FilterCase{"FareAtShopTerminal", kFare, 199, 210, false},
    FilterCase{"FareAtVendingMachine", kFare, 200, 150, false},
    FilterCase{"NewIssue", 7, kTicketMachine, 500, false},
    FilterCase{"Reissue", 17, kTicketMachine, 500, false},
    FilterCase{"ShopPurchase", 70, kGate, 480, false},
    FilterCase{"BonusCharge", 72, kGate, 100, false},
    FilterCase{"CashCharge", 73, kGate, 100, false},
    FilterCase{"ShopCancel", 74, kGate, 100, false},
    FilterCase{"ShopInsideGates", 75, kGate, 100, false},
    FilterCase{"ShopWithCash", 198, kGate, 100, false},
    FilterCase{"ShopInsideGatesWithCash", 203, kGate, 100, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct WidthCase {
    const char* name;
    const char* text;
    CCorvaneForm::ColumnWidths widths;
    friend std::ostream& operator<<(std::ostream& os, const WidthCase& c) { return os << c.name; }
};

class ColumnWidthTextTest : public testing::TestWithParam<WidthCase> {};

TEST_P(ColumnWidthTextTest, Parses)
{
    EXPECT_EQ(CCorvaneForm::ParseColumnWidths(QString::fromUtf8(GetParam().text)), GetParam().widths);
}

INSTANTIATE_TEST_SUITE_P(Texts, ColumnWidthTextTest, testing::Values(
    WidthCase{"Empty", "", {-1, 80, 120, -1, 120, 120, -1, 120, 80, 80, -1, 120}},
    WidthCase{"TwelveZeros", "0,0,0,0,0,0,0,0,0,0,0,0", {0, 80, 120, 0, 120, 120, 0, 120, 80, 80, 0, 120}},
    WidthCase{"EmptyFieldsSkipped", "50,,90", {50, 90, 120, -1, 120, 120, -1, 120, 80, 80, -1, 120}},
    WidthCase{"NonNumericIsZero", "abc,7px,33", {0, 7, 33, -1, 120, 120, -1, 120, 80, 80, -1, 120}},
    WidthCase{"SurplusIgnored", "1,2,3,4,5,6,7,8,9,10,11,12,13", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CorvaneFormTest, WidthTextRoundTripsAndHiddenColumnsTakeNoSpace)
{
    EXPECT_EQ(form->BuildColumnWidthText(), QStringLiteral("-1,80,120,-1,120,120,-1,120,80,80,-1,120"))
        << "申請 shows by its switch, and its width of its own stays none";
    EXPECT_FALSE(form->List()->isColumnHidden(0));
    for (const int column : {3, 6, 10}) {
        EXPECT_TRUE(form->List()->isColumnHidden(column)) << column;
    }
    const QString stored = QStringLiteral("30,90,100,0,110,100,0,100,70,80,0,150");
    ASSERT_TRUE(form->InitColumns(stored));
    EXPECT_EQ(form->BuildColumnWidthText(), stored);
    EXPECT_EQ(form->List()->columnWidth(0), 30);
}

TEST_F(CorvaneFormTest, ZebraShadesOddRowsOnly)
{
    for (int i = 0; i < 4; ++i) {
        Add(Entry(kFare, kGate, 210));
    }
    document.UpdateAllViews(HINT_LOADED);
    form->resize(800, 400);
    form->show();
    form->List()->clearSelection();
    profile.m_bGridView = 0;
    form->ApplyGridSetting();

    const QRgb light = form->List()->palette().color(QPalette::Midlight).rgb();
    ASSERT_NE(light, form->List()->palette().color(QPalette::Base).rgb());
    const auto rowColour = [&](int row) {
        QTableView* list = form->List();
        const QImage image = list->viewport()->grab().toImage();
        const int x = list->columnViewportPosition(4) + list->columnWidth(4) - 4;
        const int y = list->rowViewportPosition(row) + list->rowHeight(row) / 2;
        return image.pixel(x, y);
    };
    for (const int zebra : {1, 0}) {
        profile.m_bZebraView = zebra;
        form->RepaintList();
        for (int row = 0; row < 4; ++row) {
            EXPECT_EQ(rowColour(row) == light, zebra == 1 && row % 2 == 1) << "zebra " << zebra << " row " << row;
        }
    }
}

TEST_F(CorvaneFormTest, ResizeMovesTheListEdgesAndTheTotal)
{
    const QPoint totalBefore = form->TotalValue()->pos();
    const QRect listBefore = form->List()->geometry();
    form->show();
    form->resize(600, 400);
    const QRect list = form->List()->geometry();
    EXPECT_EQ(list.x() + list.width(), 590);
    EXPECT_EQ(list.y() + list.height(), 370);
    EXPECT_EQ(list.topLeft(), listBefore.topLeft());
    const int shift = 370 - (listBefore.y() + listBefore.height());
    EXPECT_EQ(form->TotalValue()->pos(), totalBefore + QPoint(0, shift));
}

TEST_F(CorvaneFormTest, SyncOrderKeepsTheEntriesTheFilterHides)
{
    LoadMixedDocument();
    std::vector<const CEntryInfo*> before;
    for (const auto& entry : Entries())
        before.push_back(entry.get());
    ShowFaresOnly();
    document.UpdateAllViews(HINT_SYNC_ORDER);
    ASSERT_EQ(Entries().size(), 4u);
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(Entries()[i].get(), before[i]) << i;
    EXPECT_EQ(form->Model()->rowCount(), 1);
    EXPECT_EQ(form->Model()->EntryAt(0), before[0]);
}

TEST_F(CorvaneFormTest, ClearHintEmptiesListAndDocument)
{
    LoadMixedDocument();
    ShowFaresOnly();
    document.m_data.m_card.kind = 3;
    status.calls.clear();
    document.UpdateAllViews(HINT_CLEAR);
    EXPECT_EQ(form->Model()->rowCount(), 0);
    EXPECT_TRUE(Entries().empty());
    EXPECT_EQ(document.m_data.m_card.kind, 0);
    EXPECT_TRUE(form->ShowAllBox()->isChecked());
    EXPECT_FALSE(form->ShowAllBox()->isEnabled());
    EXPECT_TRUE(form->TotalValue()->isHidden());
    ASSERT_EQ(status.calls.size(), 1u);
    EXPECT_EQ(status.calls[0].balance, -1);
}

TEST(CorvaneFormLifecycleTest, HintsBeforeTheInitialUpdateAreIgnored)
{
    CAppProfile profile;
    CCorvaneDoc document;
    document.m_data.m_entries.push_back(Entry(kFare, kGate, 210));
    CCorvaneForm form(document, profile, nullptr);
    document.UpdateAllViews(HINT_LOADED);
    document.UpdateAllViews(HINT_CLEAR);
    EXPECT_EQ(form.Model()->rowCount(), 0);
    EXPECT_EQ(document.m_data.m_entries.size(), 1u);
}

TEST(CorvaneFormLifecycleTest, ClosingWritesWidthsAndTheShownOrderBack)
{
    CAppProfile profile;
    CCorvaneDoc document;
    document.m_data.m_entries.push_back(Entry(kCharge, kTicketMachine, -1000));
    document.m_data.m_entries.push_back(Entry(kFare, kGate, 210));
    {
        CCorvaneForm form(document, profile, nullptr);
        form.OnInitialUpdate();
        form.ShowAllBox()->setChecked(false);
        form.FillList(document.m_data.m_entries);
    }
    EXPECT_EQ(profile.m_strColumnWidths, QStringLiteral("-1,80,120,-1,120,120,-1,120,80,0,-1,120"));
    // The charge the filter hid is still the document's, in its place.
    ASSERT_EQ(document.m_data.m_entries.size(), 2u);
    EXPECT_EQ(document.m_data.m_entries[0]->amount, -1000);
    EXPECT_EQ(document.m_data.m_entries[1]->amount, 210);
    // The closed form no longer listens.
    document.UpdateAllViews(HINT_CLEAR);
    EXPECT_EQ(document.m_data.m_entries.size(), 2u);
}

TEST_F(CorvaneFormTest, ReadButtonPostsTheCardReadCommand)
{
    QSignalSpy posted(form.get(), &CCorvaneForm::CommandPosted);
    form->ReadButton()->click();
    EXPECT_EQ(posted.count(), 0);
    QCoreApplication::processEvents();
    ASSERT_EQ(posted.count(), 1);
    EXPECT_EQ(posted.at(0).at(0).toInt(), 32771);
}

} // namespace
