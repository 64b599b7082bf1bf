// The card read command of the history form.
#include "view/CorvaneForm.h"

#include "card/AppMessage.h"
#include "settings/AppProfile.h"
#include "card/EntryInfo.h"
#include "reading/ArchivedRead.h"
#include "reading/CardReadCommand.h"
#include "readers/dialog/CardReadDlg.h"
#include "resources/StringTable.h"
#include "view/CardStatusBar.h"
#include "view/WavePlayer.h"

#include <QGuiApplication>
#include <QTableView>

#include <optional>

namespace {

// The wait cursor for one scope, restored on every way out.
class CWaitCursor {
public:
    CWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

} // namespace

int CCorvaneForm::OnCardRead()
{
    SetCardStatusText(LoadResString(IDS_CARD_READING));
    ClearAll();
    // A read starts a document of its own: saving it never overwrites the file
    // that was open (the frame asked about unsaved changes before).
    m_pDocument->ClearPathName();
    m_pDocument->SetModifiedFlag(false);
    // Empty at once, while the card is awaited.
    RepaintList();

    std::optional<CWaitCursor> waitCursor;
    SCardReadRequest request;
    request.nPollingTime = m_profile.m_nPollingTime;
    request.wait = CCardReadDlg::WaitFunction(window());
    request.strConnect = m_profile.GetConnectString();
    request.strPassword = m_profile.GetPassword();
    request.destinationFor = m_profile.DestinationLookupFunction();
    request.userNames = FreshUserNames();
    if (m_pArchive)
        UseArchiveForRead(request, *m_pArchive);
    request.onCardRead = [this, &waitCursor] {
        // The sound marks the end of the card contact, before the name lookups.
        PlayWaveFile(m_profile.m_strWavCardReadOK, this);
        waitCursor.emplace();
    };
    CEntryList& entries = m_pDocument->m_data.m_entries;
    const SCardReadOutcome outcome = RunCardRead(entries, m_pDocument->m_data.m_card, request);
    if (!outcome.Succeeded()) {
        // After a bad date the pass appended nothing: the list and the status bar stay empty,
        // and the panes are empty before the message shows.
        SetCardStatusText(QString());
        if (!outcome.strMessage.isEmpty())
            ShowAppMessage(outcome.strMessage, MessageIcon::Stop);
        return 0;
    }
    const CCardRecord& card = m_pDocument->m_data.m_card;
    QString archiveFailure;
    SMergeOutcome merged;
    if (m_pArchive && ArchiveRead(*m_pArchive, card, outcome, entries, &merged)) {
        m_archiveKeys.Assign(entries, merged.ids);
        // Trips read before come back with the ticks and texts given them then.
        if (!m_pArchive->RestoreChoices(entries, merged.ids))
            archiveFailure = m_pArchive->LastError();
    } else if (m_pArchive) {
        archiveFailure = m_pArchive->LastError();
    }
    if (m_pArchive && archiveFailure.isEmpty()) {
        if (const std::optional<QDate> readBy = m_pArchive->ReadBy(card.idm))
            m_strReadByNote = LoadResString(IDS_READ_BY).arg(readBy->toString(QStringLiteral("yyyy/MM/dd")));
    }
    // The balance pane shows the card's balance of this read, whatever the archive holds.
    SetReadBalance(card.idm, outcome.nBalance);
    if (m_pArchive && archiveFailure.isEmpty() && m_profile.m_bHistoryView && ShowArchivedCard(card.idm)) {
        m_pList->setFocus();
        ShowNewGaps(merged.newGaps);
        return 1;
    }
    FillList(entries);
    // A read the archive keeps is not lost by leaving it unsaved.
    if (outcome.nAdded > 0 && (!m_pArchive || !archiveFailure.isEmpty()))
        m_pDocument->SetModifiedFlag();
    m_pList->setFocus();
    if (m_pStatusBar)
        m_pStatusBar->SetCardStatus(IdmText(card.idm), outcome.nBalance);
    UpdateNote();
    // A read is never lost to the archive: it is shown, then the reason why it was not kept.
    if (!archiveFailure.isEmpty())
        ShowFailureWithReason(LoadResString(IDS_HISTORY_NOT_SAVED), archiveFailure);
    else
        ShowNewGaps(merged.newGaps);
    return 1;
}

void CCorvaneForm::ShowNewGaps(const std::vector<SArchiveGap>& gaps)
{
    if (gaps.empty())
        return;
    // Painted first, so the sentence is read beside the list it speaks of.
    RepaintList();
    ShowAppMessage(NewGapsText(gaps), MessageIcon::Information);
}

void CCorvaneForm::SetCardStatusText(const QString& text)
{
    if (m_pStatusBar)
        m_pStatusBar->SetCardStatus(text, -1);
}
