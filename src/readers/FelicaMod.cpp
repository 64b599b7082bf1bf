#include "readers/FelicaMod.h"

#include "readers/CardReadResult.h"

#include "readers/PasoriMod.h"
#include "readers/PcscService.h"
#include "readers/ReaderTable.h"

#include <PCSC/winscard.h>

#include <string>
#include <vector>

namespace {

int CodeForUnavailableLibrary(LONG rc)
{
    switch (rc) {
    case SCARD_E_UNKNOWN_READER:
    case SCARD_E_NO_READERS_AVAILABLE:
        return CARD_READ_NO_READER;
    case SCARD_E_NO_SERVICE:
        return CARD_READ_SERVICE_STOPPED;
    default:
        return CARD_READ_OPEN_FAILED;
    }
}

// Connects to the reader shared and lets go; true when it is there, with or without a card
// (a card taken away during the probe still proves the reader is there). rc becomes the
// connect code; atr, when given, receives the card's ATR.
bool ProbeConnection(IPcscService& pcsc, SCARDCONTEXT hContext, const std::string& name, LONG& rc,
                 std::vector<uint8_t>* atr = nullptr)
{
    SCARDHANDLE hCard = 0;
    DWORD protocol = 0;
    rc = pcsc.Connect(hContext, name, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &hCard, &protocol);
    if (hCard) {
        if (atr && rc == SCARD_S_SUCCESS && pcsc.Status(hCard, *atr) != SCARD_S_SUCCESS)
            atr->clear();
        pcsc.Disconnect(hCard, SCARD_LEAVE_CARD);
    }
    return rc == SCARD_S_SUCCESS || rc == SCARD_W_REMOVED_CARD;
}

} // namespace

LONG CFelicaMod::FindReader()
{
    IPcscService& pcsc = PcscService();
    SCARDCONTEXT hContext = 0;
    LONG rc = pcsc.EstablishContext(SCARD_SCOPE_USER, &hContext);
    if (rc != SCARD_S_SUCCESS)
        return rc;

    // pcsc-lite ignores reader groups; the group is named all the same.
    std::vector<std::string> readers;
    rc = pcsc.ListReaders(hContext, "SCard$AllReaders", readers);
    if (rc != SCARD_S_SUCCESS) {
        pcsc.ReleaseContext(hContext);
        return rc;
    }

    rc = SCARD_E_NO_SMARTCARD;
    // The known readers first, then the readers of the other dialects: a known reader is
    // always preferred, wherever it is listed.
    for (const bool known : {true, false}) {
        for (const std::string& name : readers) {
            const int knownType = MatchKnownReader(name);
            if (known != (knownType != 0))
                continue;
            std::vector<uint8_t> atr;
            const bool present = ProbeConnection(pcsc, hContext, name, rc, known ? nullptr : &atr);
            const int type = known ? knownType : MatchOtherReader(name, rc, atr);
            if (!present || type == 0)
                continue;
            m_strReader = QString::fromStdString(name);
            m_nReaderType = type;
            pcsc.ReleaseContext(hContext);
            return SCARD_S_SUCCESS;
        }
    }
    // A card that answered but is no FeliCa card leaves no reader to take.
    if (rc == SCARD_S_SUCCESS)
        rc = SCARD_E_NO_SMARTCARD;
    pcsc.ReleaseContext(hContext);
    return rc;
}

int CFelicaMod::OpenReader()
{
    const LONG rc = FindReader();
    if (rc != SCARD_S_SUCCESS) {
        auto pasori = std::make_unique<CPasoriMod>();
        CPasoriMod& library = *pasori;
        m_pReader = std::move(pasori);
        if (!m_pReader->IsAvailable())
            return CodeForUnavailableLibrary(rc);
        // A library without any reader of its own leaves the PC/SC answer to speak, as if
        // it were not installed.
        if (!m_pReader->Open())
            return library.FoundNoReader() ? CodeForUnavailableLibrary(rc) : CARD_READ_OPEN_FAILED;
        if (!m_pReader->IsReaderAlive())
            return CARD_READ_NO_READER;
        m_strReader = m_pReader->GetVersionText();
        return CARD_READ_OK;
    }

    // The reader keeps its mode byte; set the run value through a connection of its own.
    CreatePcscModule(m_nReaderType, m_strReader)->ApplyReaderMode(1);
    m_pReader = CreatePcscModule(m_nReaderType, m_strReader);
    return CARD_READ_OK;
}

void CFelicaMod::RestoreReaderMode()
{
    if (FindReader() != SCARD_S_SUCCESS)
        return;
    CreatePcscModule(m_nReaderType, m_strReader)->ApplyReaderMode(0);
}

void ProbeReader()
{
    auto pFelica = std::make_unique<CFelicaMod>();
    pFelica->OpenReader();
}
