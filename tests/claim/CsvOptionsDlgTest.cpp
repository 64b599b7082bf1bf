// The CSV options dialog: choosing and ordering columns, the switches, OK and Cancel.
#include "settings/AppProfile.h"
#include "claim/dialog/ClaimPrint.h"
#include "claim/dialog/CsvOptionsDlg.h"
#include "ClaimFixture.h"
#include "ModalStep.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

std::vector<int> ListedColumns(const QListWidget& list)
{
    std::vector<int> columns;
    for (int row = 0; row < list.count(); ++row)
        columns.push_back(list.item(row)->data(Qt::UserRole).toInt());
    return columns;
}

void SaveScreenshot(QWidget& widget, const char* name)
{
    const QString folder = QStringLiteral(VOLUNI_BINARY_DIR "/screenshots");
    QDir().mkpath(folder);
    EXPECT_TRUE(widget.grab().save(folder + QLatin1Char('/') + QLatin1String(name)));
}

TEST(CsvOptionsDlgTest, ChosenColumnsComeFirstAndMoveWithTheButtons)
{
    SClaimCsvOptions options;
    options.columns = {2, 9};
    CCsvOptionsDlg dialog(options);
    dialog.show();
    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("columns"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ListedColumns(*list), (std::vector<int>{2, 9, 1, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14}));
    EXPECT_EQ(dialog.Options().columns, (std::vector<int>{2, 9}));
    SaveScreenshot(dialog, "csv_options.png");

    auto* up = dialog.findChild<QPushButton*>(QStringLiteral("up"));
    auto* down = dialog.findChild<QPushButton*>(QStringLiteral("down"));
    EXPECT_FALSE(up->isEnabled()); // the first row is current
    list->setCurrentRow(1);
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(list->currentRow(), 0);
    list->item(13)->setCheckState(Qt::Checked); // 時刻
    list->setCurrentRow(13);
    EXPECT_FALSE(down->isEnabled());
    QTest::mouseClick(up, Qt::LeftButton);
    dialog.findChild<QCheckBox*>(QStringLiteral("applyOnly"))->click();
    dialog.findChild<QCheckBox*>(QStringLiteral("titleRow"))->click();
    dialog.findChild<QComboBox*>(QStringLiteral("encoding"))->setCurrentIndex(1);

    const SClaimCsvOptions chosen = dialog.Options();
    EXPECT_EQ(chosen.columns, (std::vector<int>{9, 2, 14}));
    EXPECT_TRUE(chosen.applyOnly);
    EXPECT_FALSE(chosen.titleRow);
    EXPECT_EQ(chosen.encoding, CsvEncoding::Utf8Bom);

    // No column, no export.
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("ok"));
    for (int row = 0; row < list->count(); ++row)
        list->item(row)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(ok->isEnabled());
    list->item(4)->setCheckState(Qt::Checked);
    EXPECT_TRUE(ok->isEnabled());
}

// Answers the modal dialog once it runs: ticks the last column (時刻), then OK or Cancel.
void AnswerDialog(bool accept)
{
    OnModalWindow(qApp, [accept](QWidget& window) {
        auto* dialog = qobject_cast<CCsvOptionsDlg*>(&window);
        ASSERT_NE(dialog, nullptr);
        auto* list = dialog->findChild<QListWidget*>(QStringLiteral("columns"));
        list->item(list->count() - 1)->setCheckState(Qt::Checked);
        accept ? dialog->accept() : dialog->reject();
    });
}

TEST(CsvOptionsDlgTest, OkStoresTheChoiceInTheSettingsAndCancelDoesNot)
{
    CAppProfile profile;
    profile.m_strCsvOutputItem = QStringLiteral("2,5,8,9,11,12");
    profile.m_bCsvOutputHeader = 1;
    AnswerDialog(false);
    EXPECT_FALSE(EditCsvOptions(nullptr, profile));
    EXPECT_EQ(profile.m_strCsvOutputItem, QStringLiteral("2,5,8,9,11,12"));

    AnswerDialog(true);
    EXPECT_TRUE(EditCsvOptions(nullptr, profile));
    EXPECT_EQ(profile.m_strCsvOutputItem, QStringLiteral("2,5,8,9,11,12,14"));
    EXPECT_EQ(profile.m_bCsvOutputHeader, 1);
    EXPECT_EQ(profile.m_nCsvEncoding, 0);
}

TEST(ClaimPrintTest, PreviewShowsTheReport)
{
    const CEntryList entries = ClaimFixture();
    SClaimReport report;
    report.idm = QStringLiteral("012E4C0012ABCDEF");
    report.rows = Rows(entries);
    report.printDate = QDate(2021, 2, 5);
    QPrinter printer(QPrinter::HighResolution);
    std::unique_ptr<QPrintPreviewDialog> preview(MakeClaimPreview(printer, report, nullptr));
    preview->resize(700, 900);
    preview->show();
    // The preview's pages are what the report drew: none when nothing was painted.
    const auto* pages = preview->findChild<QPrintPreviewWidget*>();
    ASSERT_NE(pages, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([pages] { return pages->pageCount() > 0; }, 5000));
    EXPECT_EQ(pages->pageCount(), 1);
    EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A4);
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);
    SaveScreenshot(*preview, "claim_preview.png");
}

} // namespace
