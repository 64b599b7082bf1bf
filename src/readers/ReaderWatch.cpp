#include "readers/ReaderWatch.h"

#include "readers/PcscService.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// pcsc-lite counts a reader's card events in the high half of its state: a card lifted and
// laid again within one wait changes the count though the reader looks the same.
DWORD EventCount(DWORD state)
{
    return state >> 16;
}

bool CardThere(DWORD state)
{
    return (state & SCARD_STATE_PRESENT) && !(state & SCARD_STATE_MUTE);
}

} // namespace

CReaderWatch::CReaderWatch(std::string onlyReader)
    : m_strOnlyReader(std::move(onlyReader))
{
}

CReaderWatch::~CReaderWatch()
{
    Drop();
}

void CReaderWatch::Drop()
{
    if (m_context)
        PcscService().ReleaseContext(*m_context);
    m_context.reset();
    // A service started anew has forgotten its cards: what lies there now is laid again.
    m_known.clear();
    m_nPnpState = 0;
}

LONG CReaderWatch::WaitForCard(DWORD timeoutMs, std::string& reader)
{
    const LONG rc = Wait(timeoutMs, reader);
    // A wait called off is still blocked in the service, holding its context: it is ended
    // there too, so that nothing waits for it.
    if (rc == SCARD_E_CANCELLED && m_context)
        PcscService().Cancel(*m_context);
    if (rc != SCARD_S_SUCCESS && rc != SCARD_E_TIMEOUT)
        Drop();
    return rc;
}

LONG CReaderWatch::Wait(DWORD timeoutMs, std::string& reader)
{
    IPcscService& service = PcscService();
    if (!m_context) {
        SCARDCONTEXT context = 0;
        if (const LONG rc = service.EstablishContext(SCARD_SCOPE_USER, &context); rc != SCARD_S_SUCCESS)
            return rc;
        m_context = context;
    }
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::vector<std::string> names;
        LONG rc = service.ListReaders(*m_context, nullptr, names);
        if (rc != SCARD_S_SUCCESS && rc != SCARD_E_NO_READERS_AVAILABLE)
            return rc;
        std::vector<SReaderWatch> watched;
        for (const std::string& name : names) {
            if (!m_strOnlyReader.empty() && name != m_strOnlyReader)
                continue;
            const auto known = m_known.find(name);
            watched.push_back({name, known == m_known.end() ? DWORD(SCARD_STATE_UNAWARE) : known->second.state, 0});
        }
        std::erase_if(m_known, [&watched](const auto& entry) {
            return std::none_of(watched.begin(), watched.end(), [&entry](const SReaderWatch& w) { return w.name == entry.first; });
        });
        if (m_bPnpWorks)
            watched.push_back({kPnpNotificationReader, m_nPnpState, 0});

        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0)
            return SCARD_E_TIMEOUT;
        // Nothing to wait on where the service cannot tell of new readers: the caller
        // looks again after a pause of its own.
        if (watched.empty())
            return SCARD_E_NO_READERS_AVAILABLE;
        rc = service.AwaitStatusChange(*m_context, static_cast<DWORD>(left), watched);
        if (rc == SCARD_E_UNKNOWN_READER)
            continue; // a reader went between the listing and the wait
        if (rc != SCARD_S_SUCCESS)
            return rc;

        std::optional<std::string> laid;
        for (const SReaderWatch& w : watched) {
            if (w.name == kPnpNotificationReader) {
                if (w.eventState & SCARD_STATE_UNKNOWN)
                    m_bPnpWorks = false;
                m_nPnpState = w.eventState;
                continue;
            }
            const auto known = m_known.find(w.name);
            const bool there = CardThere(w.eventState);
            const bool wasThere = known != m_known.end() && known->second.cardThere;
            const bool laidAgain = wasThere && EventCount(w.eventState) != EventCount(known->second.state);
            if (there && (!wasThere || laidAgain) && !laid)
                laid = w.name;
            m_known[w.name] = {there, w.eventState & ~DWORD(SCARD_STATE_CHANGED)};
        }
        if (laid) {
            reader = *laid;
            return SCARD_S_SUCCESS;
        }
    }
}
