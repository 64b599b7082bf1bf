#include "app/ClaimCommands.h"

#include "settings/AppProfile.h"
#include "card/AppMessage.h"
#include "claim/ClaimArchiveFacts.h"
#include "claim/ClaimCsvWriter.h"
#include "claim/ClaimReportPainter.h"
#include "claim/dialog/ClaimPrint.h"
#include "claim/dialog/CsvOptionsDlg.h"
#include "claim/dialog/ReportSettingsDlg.h"
#include "document/CorvaneDoc.h"
#include "resources/StringTable.h"
#include "view/CorvaneForm.h"
#include "view/HistoryModel.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>

#include <utility>

namespace {

QString WithSuffix(QString path, const QString& suffix)
{
    if (QFileInfo(path).suffix().isEmpty())
        path += suffix;
    return path;
}

} // namespace

CClaimCommands::CClaimCommands(CCorvaneForm& form, CAppProfile& profile, QWidget* parent,
                               const SFramePrompts& prompts, std::function<void(const QString&)> showStatus)
    : m_form(form)
    , m_profile(profile)
    , m_pParent(parent)
    , m_prompts(prompts)
    , m_showStatus(std::move(showStatus))
{
}

bool CClaimCommands::HasRows() const
{
    return !m_form.ShownEntries().empty();
}

QString CClaimCommands::ProposedPath(const QString& folder, const QString& suffix) const
{
    // The claim goes beside the entry file it comes from; else where the last one went.
    const QString open = m_form.GetDocument()->GetPathName();
    QString dir = folder.isEmpty() ? DefaultDocumentFolder() : folder;
    if (!open.isEmpty())
        dir = QFileInfo(open).absolutePath();
    const QString base = open.isEmpty() ? ResStringField(IDR_MAINFRAME, 1) : QFileInfo(open).completeBaseName();
    return QDir(dir).filePath(base + suffix);
}

bool CClaimCommands::ExportCsv()
{
    const QString chosen = m_prompts.saveFileName(m_pParent, ResStringField(ID_FILE_EXPORT_CSV, 1),
                                                  ProposedPath(m_profile.m_strCsvSavePath, QStringLiteral(".csv")),
                                                  LoadResString(IDS_FILTER_CSV));
    return !chosen.isEmpty() && ExportCsvTo(WithSuffix(chosen, QStringLiteral(".csv")));
}

bool CClaimCommands::ExportCsvTo(const QString& path)
{
    QString error;
    if (!WriteClaimCsv(path, m_form.ShownEntries(), ClaimCsvOptionsFrom(m_profile), error)) {
        ShowFailureWithReason(LoadResString(IDS_CSV_EXPORT_FAILED), error);
        return false;
    }
    // Offered again for the next export of this run.
    m_profile.m_strCsvSavePath = QFileInfo(path).absolutePath();
    if (m_showStatus)
        m_showStatus(LoadResString(IDS_EXPORTED).arg(QDir::toNativeSeparators(path)));
    return true;
}

bool CClaimCommands::EditCsvOptions()
{
    return ::EditCsvOptions(m_pParent, m_profile);
}

SClaimReport CClaimCommands::Report() const
{
    SClaimReport report = MakeClaimReport(m_form.ShownEntries(), ClaimCsvOptionsFrom(m_profile).applyOnly,
                                          m_form.Period(), m_form.GetDocument()->m_data.m_card, QDate::currentDate(),
                                          ClaimHeaderFrom(m_profile));
    // An archive that cannot be read costs the report the card's name and the
    // line about unread trips; the archive's own commands say why.
    if (m_pArchive)
        AddArchiveFacts(*m_pArchive, report);
    report.bShowTime = m_form.IsColumnShown(CHistoryModel::kTimeColumn);
    return report;
}

bool CClaimCommands::EditReportSettings()
{
    return ::EditReportSettings(m_pParent, m_profile);
}

bool CClaimCommands::Print()
{
    return PrintClaimReport(m_pParent, Report());
}

void CClaimCommands::Preview()
{
    PreviewClaimReport(m_pParent, Report());
}

bool CClaimCommands::ExportPdf()
{
    const QString chosen = m_prompts.saveFileName(m_pParent, ResStringField(ID_FILE_EXPORT_PDF, 1),
                                                  ProposedPath(m_strPdfFolder, QStringLiteral(".pdf")),
                                                  LoadResString(IDS_FILTER_PDF));
    return !chosen.isEmpty() && ExportPdfTo(WithSuffix(chosen, QStringLiteral(".pdf")));
}

bool CClaimCommands::ExportPdfTo(const QString& path)
{
    QString error;
    if (!WriteClaimReportPdf(path, Report(), error)) {
        ShowFailureWithReason(LoadResString(IDS_PDF_EXPORT_FAILED), error);
        return false;
    }
    m_strPdfFolder = QFileInfo(path).absolutePath();
    if (m_showStatus)
        m_showStatus(LoadResString(IDS_EXPORTED).arg(QDir::toNativeSeparators(path)));
    return true;
}
