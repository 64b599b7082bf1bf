// The card read command of the history form.
#include "view/CorvaneForm.h"

#include "card/AppMessage.h"
#include "app/AppProfile.h"
#include "readers/dialog/CardReadDlg.h"
#include "card/CardSession.h"
#include "view/CardStatusBar.h"
#include "card/HistoryDecoder.h"
#include "resources/StringTable.h"
#include "view/WavePlayer.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QTableWidget>

namespace {

// The wait cursor for one scope, restored on every way out.
class CWaitCursor {
public:
    CWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

QString ReadFailureText(int code)
{
    switch (code) {
    case -3:
        return LoadResString(IDS_SMARTCARD_SERVICE_STOPPED);
    case -2:
        return LoadResString(IDS_READER_NOT_CONNECTED);
    case -1:
        return LoadResString(IDS_READER_OPEN_FAILED);
    default:
        // -5: the wait was cancelled or its failure already shown.
        return QString();
    }
}

} // namespace

int CCorvaneForm::OnCardRead()
{
    SetCardStatusText(LoadResString(IDS_CARD_READING));
    ClearAll();
    // Empty at once, while the card is awaited.
    RepaintList();

    CEntryList& entries = m_pDocument->m_data.m_entries;
    CCardSession session(&entries, &m_pDocument->m_data.m_card);
    const size_t countBefore = entries.size();

    const int rc = session.ReadCard(m_profile.m_nPollingTime, CCardReadDlg::WaitFunction(window()));
    if (rc != 0) {
        SetCardStatusText(QString());
        if (const QString text = ReadFailureText(rc); !text.isEmpty())
            ShowAppMessage(text, MessageIcon::Stop);
        return 0;
    }

    // The sound marks the end of the card contact, before the name lookups.
    PlayWaveFile(m_profile.m_strWavCardReadOK, this);
    CWaitCursor waitCursor;
    const auto& idm = m_pDocument->m_data.m_card.idm;
    const QString idmText =
        QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(idm.data()), int(idm.size())).toHex().toUpper());

    int32_t balance = -1;
    try {
        balance = session.ImportHistory(m_profile.GetConnectString(), m_profile.GetPassword(), m_profile);
    } catch (const CInvalidDateError& error) {
        // The pass appended nothing: the list and the status bar stay empty.
        ShowAppMessage(LoadResString(IDS_CARD_INVALID_DATE).arg(QString::fromStdString(error.DateText())),
                       MessageIcon::Stop);
        SetCardStatusText(QString());
        return 0;
    }
    const size_t countAfter = entries.size();
    FillList(entries);
    if (countAfter > countBefore)
        m_pDocument->SetModifiedFlag();
    m_pList->setFocus();
    if (m_pStatusBar)
        m_pStatusBar->SetCardStatus(idmText, balance);
    return 1;
}

void CCorvaneForm::SetCardStatusText(const QString& text)
{
    if (m_pStatusBar)
        m_pStatusBar->SetCardStatus(text, -1);
}
