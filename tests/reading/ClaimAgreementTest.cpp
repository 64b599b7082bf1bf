// One claim rule everywhere: on every entry file and card image of the tests,
// with every entry ticked (as an old file may have ticked purchases and
// charges), the window's total, the PDF report's total and the CSV of the
// ticked rows add up to the same sum.
#include "PdfText.h"
#include "ReadingFixture.h"
#include "app/ClaimCommands.h"
#include "app/MainFrame.h"
#include "document/CorvaneDoc.h"
#include "history/HistoryArchive.h"
#include "resources/StringTable.h"
#include "settings/AppProfile.h"
#include "view/CorvaneForm.h"
#include "view/PeriodChoice.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>

#include <cctype>
#include <memory>
#include <string>

namespace {

// "1,458円" and the like, as whole yen.
int64_t Yen(QString text)
{
    text.remove(QLatin1Char(',')).remove(QStringLiteral("円"));
    bool ok = false;
    const int64_t value = text.trimmed().toLongLong(&ok);
    EXPECT_TRUE(ok) << text.toStdString();
    return value;
}

class ClaimAgreementTest : public ReadingFixture, public testing::WithParamInterface<const char*> {
protected:
    ClaimAgreementTest()
        : m_archive(m_folder.filePath(QStringLiteral("history.sqlite")))
    {
        m_profile.m_strConnect = CAppProfile::ConnectStringFor(QStringLiteral(VOLUNI_BINARY_DIR "/bin/VoluniStn.mdb"));
        m_profile.m_nPollingTime = 0;
        m_profile.m_bCsvApplyOnly = 1;
        m_profile.m_bCsvOutputHeader = 0;
        m_profile.m_strCsvOutputItem = QStringLiteral("9");
        m_pFrame = std::make_unique<CMainFrame>(m_document, m_profile, CMainFrame::ReaderHooks{});
        Form().OnInitialUpdate();
        Form().PeriodBox()->SetChoice(CPeriodChoice::WholePeriod);
        SFramePrompts prompts;
        prompts.openFileName = [this](QWidget*, const QString&, const QString&, const QString&) { return m_strOpen; };
        m_pFrame->SetPrompts(prompts);
        m_pFrame->SetHistoryArchive(&m_archive);
    }

    CCorvaneForm& Form() const { return *m_pFrame->GetActiveView(); }
    void ShowAll(bool all)
    {
        if (Form().ShowAllBox()->isChecked() != all)
            Form().ShowAllBox()->click();
    }

    int64_t WindowTotal()
    {
        ShowAll(false);
        return Yen(Form().TotalValue()->text());
    }
    int64_t PdfTotal()
    {
        ShowAll(true);
        const QString path = m_folder.filePath(QStringLiteral("claim.pdf"));
        EXPECT_TRUE(m_pFrame->ClaimCommands().ExportPdfTo(path));
        const QString text = PdfText(path);
        const QRegularExpressionMatch total =
            QRegularExpression(LoadResString(IDS_REPORT_TOTAL) + QStringLiteral("\\s*([0-9,]+)円")).match(text);
        EXPECT_TRUE(total.hasMatch()) << text.toStdString();
        return Yen(total.captured(1));
    }
    int64_t CsvTotal()
    {
        ShowAll(true);
        const QString path = m_folder.filePath(QStringLiteral("claim.csv"));
        EXPECT_TRUE(m_pFrame->ClaimCommands().ExportCsvTo(path));
        QFile csv(path);
        EXPECT_TRUE(csv.open(QIODevice::ReadOnly));
        int64_t sum = 0;
        for (const QByteArray& line : csv.readAll().split('\n')) {
            if (!line.trimmed().isEmpty())
                sum += Yen(QString::fromLatin1(line));
        }
        return sum;
    }

    QTemporaryDir m_folder;
    CHistoryArchive m_archive;
    CAppProfile m_profile;
    CCorvaneDoc m_document;
    std::unique_ptr<CMainFrame> m_pFrame;
    QString m_strOpen;
};

TEST_P(ClaimAgreementTest, WindowPdfAndCsvAgree)
{
    const QString fixture = QStringLiteral(VOLUNI_SOURCE_DIR "/") + QString::fromUtf8(GetParam());
    if (fixture.endsWith(QStringLiteral(".ent"))) {
        m_strOpen = fixture;
        m_pFrame->OnCommand(ID_FILE_OPEN);
    } else {
        CCardImage image;
        ASSERT_TRUE(image.LoadFile(fixture).isEmpty());
        UseCard(std::move(image));
        m_pFrame->OnCommand(ID_CARD_READ);
    }
    ASSERT_FALSE(m_document.m_data.m_entries.empty());
    for (const auto& entry : m_document.m_data.m_entries)
        entry->apply = 1;
    Form().FillList(m_document.m_data.m_entries);

    const int64_t window = WindowTotal();
    EXPECT_EQ(PdfTotal(), window);
    EXPECT_EQ(CsvTotal(), window);
}

// The viewer's report: the claimer from 精算書の設定, the card by the name it has in 履歴のカード.
TEST_F(ClaimAgreementTest, ViewerReportHasTheClaimerAndTheNamedCard)
{
    CCardImage image;
    ASSERT_TRUE(image.LoadFile(QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/commute.json")).isEmpty());
    UseCard(std::move(image));
    m_pFrame->OnCommand(ID_CARD_READ);
    ASSERT_FALSE(m_document.m_data.m_entries.empty());
    ASSERT_TRUE(m_archive.SetCardName(m_document.m_data.m_card.idm, QStringLiteral("通勤用")));
    m_profile.m_strReportName = QStringLiteral("山田 太郎");
    m_profile.m_strReportDepartment = QStringLiteral("営業部");

    ShowAll(true);
    const QString path = m_folder.filePath(QStringLiteral("claim.pdf"));
    ASSERT_TRUE(m_pFrame->ClaimCommands().ExportPdfTo(path));
    const QString text = PdfText(path);
    for (const QString& expected : {QStringLiteral("山田 太郎"), QStringLiteral("営業部"), QStringLiteral("申請者"),
                                    QStringLiteral("承認者"), QStringLiteral("経理"),
                                    QStringLiteral("カード: 通勤用"), IdmText(m_document.m_data.m_card.idm)})
        EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << "\n" << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ClaimAgreementTest, testing::Values(
    "data/samples/sample.ent",
    "data/samples/commute.json",
    "data/samples/commute-later.json",
    "data/samples/commute-after-gap.json",
    "tests/document/corpus/v1.ent",
    "tests/document/corpus/v2.ent",
    "tests/document/corpus/v3.ent",
    "tests/document/corpus/v3-lone-time.ent",
    "tests/document/corpus/v3-8bit-header.ent",
    "tests/pcscsim/corpus/commute.json",
    "tests/felicausb/twenty.json"),
    [](const testing::TestParamInfo<const char*>& info) {
        std::string name;
        for (const char* c = info.param; *c; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

} // namespace
