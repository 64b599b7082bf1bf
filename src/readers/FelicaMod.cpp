#include "readers/FelicaMod.h"

#include "readers/CardReadResult.h"

#include "readers/PasoriMod.h"
#include "readers/PcscService.h"
#include "readers/ReaderTable.h"

#include <PCSC/winscard.h>

#include <map>
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
// connect code.
bool ProbeConnection(IPcscService& pcsc, SCARDCONTEXT hContext, const std::string& name, LONG& rc)
{
    SCARDHANDLE hCard = 0;
    DWORD protocol = 0;
    rc = pcsc.Connect(hContext, name, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &hCard, &protocol);
    if (hCard)
        pcsc.Disconnect(hCard, SCARD_LEAVE_CARD);
    return rc == SCARD_S_SUCCESS || rc == SCARD_W_REMOVED_CARD;
}

// The ATR of each reader outside the tables that may be a contactless slot, as the service
// reports the reader's state: no connection, so a card in a contact slot is never powered
// for the look. A failed look leaves the map empty and rc its code.
std::map<std::string, std::vector<uint8_t>> OtherReadersAtrs(IPcscService& pcsc, SCARDCONTEXT hContext,
                                                             const std::vector<std::string>& readers, LONG& rc)
{
    std::vector<std::string> others;
    for (const std::string& name : readers) {
        if (!MatchKnownReader(name) && !MatchDialectReader(name) && MayBeContactlessSlot(name))
            others.push_back(name);
    }
    std::map<std::string, std::vector<uint8_t>> atrs;
    if (others.empty())
        return atrs;
    std::vector<SReaderState> states;
    const LONG statesRc = pcsc.ReaderStates(hContext, 0, others, states);
    if (statesRc != SCARD_S_SUCCESS) {
        rc = statesRc;
        return atrs;
    }
    for (size_t i = 0; i < others.size() && i < states.size(); ++i)
        atrs[others[i]] = std::move(states[i].atr);
    return atrs;
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
    std::map<std::string, std::vector<uint8_t>> otherAtrs;
    for (const bool known : {true, false}) {
        if (!known)
            otherAtrs = OtherReadersAtrs(pcsc, hContext, readers, rc);
        for (const std::string& name : readers) {
            const int knownType = MatchKnownReader(name);
            if (known != (knownType != 0))
                continue;
            // Beside the dialects' readers, only a reader whose card says it is a contactless
            // storage card is connected to.
            const auto atr = otherAtrs.find(name);
            if (!known && !MatchDialectReader(name)
                && (atr == otherAtrs.end() || !AtrAnnouncesStorageCard(atr->second)))
                continue;
            const bool present = ProbeConnection(pcsc, hContext, name, rc);
            const int type = known ? knownType
                                   : MatchOtherReader(name, rc, atr == otherAtrs.end() ? std::vector<uint8_t>()
                                                                                        : atr->second);
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
