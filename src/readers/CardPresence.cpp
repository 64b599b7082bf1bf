#include "readers/CardPresence.h"

#include "readers/PcscService.h"

#include <string>
#include <vector>

struct CCardPresenceProbe::SContext {
    SCARDCONTEXT handle = 0;
};

CCardPresenceProbe::CCardPresenceProbe() = default;

CCardPresenceProbe::~CCardPresenceProbe()
{
    Drop();
}

void CCardPresenceProbe::Drop()
{
    if (m_pContext)
        PcscService().ReleaseContext(m_pContext->handle);
    m_pContext.reset();
}

ECardPresence CCardPresenceProbe::Look()
{
    IPcscService& service = PcscService();
    if (!m_pContext) {
        auto made = std::make_unique<SContext>();
        if (service.EstablishContext(SCARD_SCOPE_USER, &made->handle) != SCARD_S_SUCCESS)
            return ECardPresence::Unknown;
        m_pContext = std::move(made);
    }
    std::vector<std::string> readers;
    LONG rc = service.ListReaders(m_pContext->handle, nullptr, readers);
    if (rc == SCARD_E_NO_READERS_AVAILABLE)
        return ECardPresence::Unknown;
    std::vector<SReaderState> states;
    if (rc == SCARD_S_SUCCESS)
        rc = service.ReaderStates(m_pContext->handle, 0, readers, states);
    if (rc != SCARD_S_SUCCESS) {
        // A reader pulled out between the two calls, or a service that went
        // away: the next look starts from a new context.
        Drop();
        return ECardPresence::Unknown;
    }
    for (const SReaderState& state : states) {
        if ((state.eventState & SCARD_STATE_PRESENT) && !(state.eventState & SCARD_STATE_MUTE))
            return ECardPresence::Present;
    }
    return ECardPresence::Absent;
}
