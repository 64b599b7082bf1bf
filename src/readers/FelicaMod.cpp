#include "readers/FelicaMod.h"

#include "readers/CardReadResult.h"

#include "readers/PasoriMod.h"
#include "readers/PcscCloud.h"
#include "readers/PcscMod.h"
#include "readers/PcscMrica.h"
#include "readers/PcscService.h"

#include <PCSC/winscard.h>

#include <string>
#include <vector>

namespace {

enum class ModuleKind { Pcsc, Cloud, Mrica };

struct KnownReader {
    const char* name;
    ModuleKind kind;
};

// A reader matches the first entry whose text occurs in its name, so the position is the
// reader type; keep the order, the reader types are the positions.
constexpr KnownReader kKnownReaders[] = {
    {"SCR331CL-NTTCom", ModuleKind::Pcsc},
    {"Identiv uTrust 4701 F CT_CL Reader", ModuleKind::Cloud},
    {"Identive CLOUD 4700 F Contactless Reader", ModuleKind::Cloud},
    {"Identiv CLOUD 3701 F Contactless Reader", ModuleKind::Cloud},
    {"Identiv uTrust 4701 F CL Reader", ModuleKind::Cloud},
    {"ACS ACR1251 CL Reader PICC", ModuleKind::Pcsc},
    {"ACS ACR1252 1S CL Reader PICC", ModuleKind::Pcsc},
    {"Circle CIR315 CL", ModuleKind::Mrica},
};

constexpr int kKnownReaderCount = static_cast<int>(std::size(kKnownReaders));

// 1-based type of the first entry occurring in name; 0 when none does.
int MatchKnownReader(const std::string& name)
{
    for (int type = 1; type <= kKnownReaderCount; ++type) {
        if (name.find(kKnownReaders[type - 1].name) != std::string::npos)
            return type;
    }
    return 0;
}

// Unknown types get the generic module.
std::unique_ptr<CReaderMod> CreatePcscModule(int nReaderType, const QString& strReader)
{
    const ModuleKind kind = nReaderType >= 1 && nReaderType <= kKnownReaderCount
        ? kKnownReaders[nReaderType - 1].kind
        : ModuleKind::Pcsc;
    switch (kind) {
    case ModuleKind::Cloud:
        return std::make_unique<CPcscCloud>(strReader);
    case ModuleKind::Mrica:
        return std::make_unique<CPcscMrica>(strReader);
    case ModuleKind::Pcsc:
        break;
    }
    return std::make_unique<CPcscMod>(strReader);
}

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
    for (const std::string& name : readers) {
        const int type = MatchKnownReader(name);
        if (type == 0)
            continue;
        SCARDHANDLE hCard = 0;
        DWORD protocol = 0;
        rc = pcsc.Connect(hContext, name, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &hCard,
                          &protocol);
        if (hCard)
            pcsc.Disconnect(hCard, SCARD_LEAVE_CARD);
        // A card taken away during the probe still proves the reader is there.
        if (rc == SCARD_S_SUCCESS || rc == SCARD_W_REMOVED_CARD) {
            m_strReader = QString::fromStdString(name);
            m_nReaderType = type;
            rc = SCARD_S_SUCCESS;
            break;
        }
    }
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
