#include "app/HistoryCommands.h"

#include "settings/AppProfile.h"
#include "app/DocumentCommands.h"
#include "app/HistoryCardsDlg.h"
#include "card/AppMessage.h"
#include "document/ArchiveError.h"
#include "document/CorvaneDoc.h"
#include "history/HistoryArchive.h"
#include "resources/StringTable.h"
#include "view/CorvaneForm.h"

#include <exception>

namespace {

bool IsBlank(const IdmBytes& idm)
{
    return idm == IdmBytes{};
}

} // namespace

CHistoryCommands::CHistoryCommands(CCorvaneForm& form, CAppProfile& profile, CDocumentCommands& documentCommands,
                                   QWidget* parent, const SFramePrompts& prompts)
    : m_form(form)
    , m_profile(profile)
    , m_documentCommands(documentCommands)
    , m_pParent(parent)
    , m_prompts(prompts)
{
}

void CHistoryCommands::SetArchive(CHistoryArchive* archive)
{
    m_pArchive = archive;
    m_form.SetHistoryArchive(archive);
}

std::optional<IdmBytes> CHistoryCommands::CurrentCard() const
{
    const IdmBytes shown = m_form.GetDocument()->m_data.m_card.idm;
    if (!IsBlank(shown))
        return shown;
    std::vector<SArchivedCard> cards;
    if (m_pArchive && m_pArchive->Cards(cards) && !cards.empty())
        return cards.front().idm;
    return std::nullopt;
}

bool CHistoryCommands::Show(const IdmBytes& idm)
{
    if (!m_documentCommands.SaveModified())
        return false;
    return m_form.ShowArchivedCard(idm);
}

bool CHistoryCommands::SetHistoryView(bool on)
{
    if (!on || !m_pArchive) {
        m_profile.m_bHistoryView = 0;
        return true;
    }
    const std::optional<IdmBytes> card = CurrentCard();
    if (!card) {
        // Switched on all the same: the next read shows its card's history.
        m_profile.m_bHistoryView = 1;
        ShowAppMessage(LoadResString(IDS_HISTORY_EMPTY), MessageIcon::Information);
        return true;
    }
    if (!Show(*card))
        return false;
    m_profile.m_bHistoryView = 1;
    return true;
}

bool CHistoryCommands::ChooseCard()
{
    if (!m_pArchive)
        return false;
    CHistoryCardsDlg dialog(*m_pArchive, m_pParent);
    if (dialog.exec() != QDialog::Accepted || !dialog.ChosenCard())
        return false;
    if (!Show(*dialog.ChosenCard()))
        return false;
    m_profile.m_bHistoryView = 1;
    return true;
}

bool CHistoryCommands::ImportFile()
{
    const QString path = m_prompts.openFileName(m_pParent, ResStringField(ID_FILE_IMPORT_HISTORY, 1),
                                                DefaultDocumentFolder(),
                                                ResStringField(IDR_MAINFRAME, 3));
    return !path.isEmpty() && ImportPath(path);
}

bool CHistoryCommands::ImportPath(const QString& path)
{
    if (!m_pArchive)
        return false;
    CCorvaneDoc file;
    try {
        file.OnOpenDocument(path);
    } catch (...) {
        ReportDocumentError(std::current_exception(), false);
        return false;
    }
    SMergeOutcome outcome;
    if (!m_pArchive->ImportEntries(file.m_data.m_entries, &outcome)) {
        ShowFailureWithReason(LoadResString(IDS_HISTORY_WRITE_FAILED), m_pArchive->LastError());
        return false;
    }
    const size_t known = file.m_data.m_entries.size() - outcome.nAdded;
    ShowAppMessage(LoadResString(IDS_HISTORY_IMPORTED).arg(outcome.nAdded).arg(known), MessageIcon::Information);
    // The history on screen takes what came in.
    if (m_profile.m_bHistoryView && !IsBlank(m_form.GetDocument()->m_data.m_card.idm))
        Show(m_form.GetDocument()->m_data.m_card.idm);
    return true;
}

bool CHistoryCommands::DeleteShownCard()
{
    if (!m_pArchive)
        return false;
    const IdmBytes idm = m_form.GetDocument()->m_data.m_card.idm;
    if (IsBlank(idm)) {
        ShowAppMessage(LoadResString(IDS_HISTORY_NO_CARD), MessageIcon::Information);
        return false;
    }
    if (!m_prompts.confirm(m_pParent, LoadResString(IDS_HISTORY_DELETE_CONFIRM).arg(IdmText(idm))))
        return false;
    int64_t deleted = 0;
    if (!m_pArchive->DeleteCard(idm, &deleted)) {
        ShowFailureWithReason(LoadResString(IDS_HISTORY_WRITE_FAILED), m_pArchive->LastError());
        return false;
    }
    ShowAppMessage(LoadResString(IDS_HISTORY_DELETED).arg(deleted), MessageIcon::Information);
    if (m_profile.m_bHistoryView)
        m_form.ShowArchivedCard(idm);   // now empty
    else
        m_form.ForgetArchiveKeys();     // the trips shown stay, as the list's own
    return true;
}

bool CHistoryCommands::RecoverArchive()
{
    if (!m_pArchive || !m_prompts.confirm(m_pParent, LoadResString(IDS_HISTORY_RECOVER_CONFIRM)))
        return false;
    // The file is replaced under it; its next call opens the new one.
    m_pArchive->Close();
    SArchiveRecovery outcome;
    QString error;
    if (!CHistoryArchive::Recover(m_pArchive->Path(), outcome, error)) {
        ShowFailureWithReason(LoadResString(IDS_HISTORY_RECOVER_FAILED), error);
        return false;
    }
    ShowAppMessage(LoadResString(IDS_HISTORY_RECOVERED).arg(outcome.nRecords).arg(outcome.strDamagedPath),
                   MessageIcon::Information);
    if (m_profile.m_bHistoryView && !IsBlank(m_form.GetDocument()->m_data.m_card.idm))
        Show(m_form.GetDocument()->m_data.m_card.idm);
    return true;
}
