// The installed service behind the deadline of every call.
#include "readers/PcscService.h"

#include "readers/PcscLite.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<std::chrono::milliseconds::rep> g_deadlineMs{kExchangeDeadline.count()};

// One call on its own thread, as the waiting caller and that thread share it.
struct SCall {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    bool cancelled = false; // the caller was told to stop waiting
    bool abandoned = false; // the caller stopped waiting; the thread cleans up after the call
    LONG rc = SCARD_S_SUCCESS;
};

} // namespace

struct CPcscCancel::SState {
    std::mutex mutex;
    bool cancelled = false;
    std::function<void()> stopWaiting; // for the call its thread waits for
};

namespace {

thread_local std::shared_ptr<CPcscCancel::SState> t_pCancel;

enum class ECancel { Yes, No };

struct SOutcome {
    LONG rc;
    bool completed; // false: given up at the deadline or called off
};

class CBoundedPcscService final : public IPcscService {
public:
    using Call = std::function<LONG(IPcscService&)>;
    // What a call given up had made, taken back once it returns.
    using Undo = std::function<void(IPcscService&, LONG)>;

    std::shared_ptr<IPcscService> Install(std::shared_ptr<IPcscService> service)
    {
        const std::lock_guard lock(m_mutex);
        // Its connections are not the new one's; those given up still clean up after themselves.
        m_contextOf.clear();
        return std::exchange(m_pInner, std::move(service));
    }

    size_t Abandoned() const
    {
        const std::lock_guard lock(m_mutex);
        return m_nAbandoned;
    }

    LONG EstablishContext(DWORD scope, SCARDCONTEXT* context) override
    {
        auto made = std::make_shared<SCARDCONTEXT>(context ? *context : 0);
        const SOutcome outcome = Run(
            0, ECancel::Yes, [scope, made](IPcscService& s) { return s.EstablishContext(scope, made.get()); },
            [made](IPcscService& s, LONG rc) {
                if (rc == SCARD_S_SUCCESS)
                    s.ReleaseContext(*made);
            });
        if (outcome.completed && context)
            *context = *made;
        return outcome.rc;
    }

    LONG ReleaseContext(SCARDCONTEXT context) override
    {
        {
            const std::lock_guard lock(m_mutex);
            // Its connections stay known, so that disconnecting them later waits for it too.
            if (IsStuck(context)) {
                m_stuck[context].release = true;
                return SCARD_S_SUCCESS;
            }
        }
        const LONG rc = Run(context, ECancel::No, [context](IPcscService& s) { return s.ReleaseContext(context); }).rc;
        const std::lock_guard lock(m_mutex);
        if (!IsStuck(context))
            std::erase_if(m_contextOf, [context](const auto& entry) { return entry.second == context; });
        return rc;
    }

    LONG ListReaders(SCARDCONTEXT context, const char* group, std::vector<std::string>& readers) override
    {
        auto listed = std::make_shared<std::vector<std::string>>(readers);
        const std::optional<std::string> groupName = group ? std::optional<std::string>(group) : std::nullopt;
        const SOutcome outcome = Run(context, ECancel::Yes, [context, groupName, listed](IPcscService& s) {
            return s.ListReaders(context, groupName ? groupName->c_str() : nullptr, *listed);
        });
        readers = outcome.completed ? std::move(*listed) : std::vector<std::string>();
        return outcome.rc;
    }

    LONG Connect(SCARDCONTEXT context, const std::string& reader, DWORD shareMode, DWORD preferredProtocols,
                 SCARDHANDLE* card, DWORD* activeProtocol) override
    {
        struct SConnection {
            SCARDHANDLE card;
            DWORD protocol;
        };
        auto made = std::make_shared<SConnection>(
            SConnection{card ? *card : 0, activeProtocol ? *activeProtocol : 0});
        const bool wantsProtocol = activeProtocol != nullptr;
        const SOutcome outcome = Run(
            context, ECancel::Yes,
            [=](IPcscService& s) {
                return s.Connect(context, reader, shareMode, preferredProtocols, &made->card,
                                 wantsProtocol ? &made->protocol : nullptr);
            },
            [made](IPcscService& s, LONG rc) {
                if (rc == SCARD_S_SUCCESS)
                    s.Disconnect(made->card, SCARD_LEAVE_CARD);
            });
        if (!outcome.completed)
            return outcome.rc;
        if (card)
            *card = made->card;
        if (activeProtocol)
            *activeProtocol = made->protocol;
        if (outcome.rc == SCARD_S_SUCCESS) {
            const std::lock_guard lock(m_mutex);
            m_contextOf[made->card] = context;
        }
        return outcome.rc;
    }

    LONG Disconnect(SCARDHANDLE card, DWORD disposition) override
    {
        SCARDCONTEXT context = 0;
        {
            const std::lock_guard lock(m_mutex);
            if (const auto known = m_contextOf.find(card); known != m_contextOf.end()) {
                context = known->second;
                m_contextOf.erase(known);
            }
            if (IsStuck(context)) {
                m_stuck[context].disconnects.emplace_back(card, disposition);
                return SCARD_S_SUCCESS;
            }
        }
        return Run(context, ECancel::No, [card, disposition](IPcscService& s) { return s.Disconnect(card, disposition); })
            .rc;
    }

    LONG Status(SCARDHANDLE card, std::vector<uint8_t>& atr) override
    {
        auto read = std::make_shared<std::vector<uint8_t>>(atr);
        const SOutcome outcome =
            Run(ContextOf(card), ECancel::Yes, [card, read](IPcscService& s) { return s.Status(card, *read); });
        atr = outcome.completed ? std::move(*read) : std::vector<uint8_t>();
        return outcome.rc;
    }

    LONG ReaderStates(SCARDCONTEXT context, DWORD timeoutMs, const std::vector<std::string>& readers,
                      std::vector<SReaderState>& result) override
    {
        auto states = std::make_shared<std::vector<SReaderState>>();
        const SOutcome outcome = Run(context, ECancel::Yes, [context, timeoutMs, readers, states](IPcscService& s) {
            return s.ReaderStates(context, timeoutMs, readers, *states);
        });
        result = outcome.completed ? std::move(*states) : std::vector<SReaderState>();
        return outcome.rc;
    }

    LONG AwaitStatusChange(SCARDCONTEXT context, DWORD timeoutMs, std::vector<SReaderWatch>& readers) override
    {
        auto watched = std::make_shared<std::vector<SReaderWatch>>(readers);
        // The wait is the call's work: the deadline counts from its end.
        const SOutcome outcome = Run(
            context, ECancel::Yes,
            [context, timeoutMs, watched](IPcscService& s) { return s.AwaitStatusChange(context, timeoutMs, *watched); },
            {}, std::chrono::milliseconds(timeoutMs));
        if (outcome.completed)
            readers = std::move(*watched);
        return outcome.rc;
    }

    LONG Cancel(SCARDCONTEXT context) override
    {
        // Made to end a call that holds the context: it must not queue behind that call.
        return Run(0, ECancel::No, [context](IPcscService& s) { return s.Cancel(context); }).rc;
    }

    LONG BeginTransaction(SCARDHANDLE card) override
    {
        return Run(ContextOf(card), ECancel::Yes, [card](IPcscService& s) { return s.BeginTransaction(card); }).rc;
    }

    LONG EndTransaction(SCARDHANDLE card, DWORD disposition) override
    {
        return Run(ContextOf(card), ECancel::No,
                   [card, disposition](IPcscService& s) { return s.EndTransaction(card, disposition); })
            .rc;
    }

    LONG Transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, const uint8_t* send, DWORD sendLength,
                  uint8_t* receive, DWORD* receiveLength) override
    {
        // The buffers live with the call: one given up may still write into them later.
        struct SExchange {
            SCARD_IO_REQUEST pci;
            std::vector<uint8_t> send;
            std::vector<uint8_t> receive;
            DWORD length;
        };
        const DWORD size = receiveLength ? *receiveLength : 0;
        auto exchange = std::make_shared<SExchange>(SExchange{
            sendPci ? *sendPci : SCARD_IO_REQUEST{},
            send ? std::vector<uint8_t>(send, send + sendLength) : std::vector<uint8_t>(),
            receive ? std::vector<uint8_t>(receive, receive + size) : std::vector<uint8_t>(), size});
        // The protocol headers of pcsc-lite are handed on as they are; others by a copy.
        const SCARD_IO_REQUEST* pci = sendPci;
        const bool copyPci = sendPci && sendPci != SCARD_PCI_T0 && sendPci != SCARD_PCI_T1 && sendPci != SCARD_PCI_RAW;
        const bool hasSend = send != nullptr;
        const bool hasReceive = receive != nullptr;
        const bool hasLength = receiveLength != nullptr;
        const SOutcome outcome = Run(ContextOf(card), ECancel::Yes, [=](IPcscService& s) {
            return s.Transmit(card, copyPci ? &exchange->pci : pci, hasSend ? exchange->send.data() : nullptr,
                              sendLength, hasReceive ? exchange->receive.data() : nullptr,
                              hasLength ? &exchange->length : nullptr);
        });
        if (outcome.completed) {
            if (receive)
                std::copy(exchange->receive.begin(), exchange->receive.end(), receive);
            if (receiveLength)
                *receiveLength = exchange->length;
        }
        return outcome.rc;
    }

    LONG Control(SCARDHANDLE card, DWORD controlCode, const uint8_t* send, DWORD sendLength, uint8_t* receive,
                 DWORD receiveSize, DWORD* bytesReturned) override
    {
        struct SEscape {
            std::vector<uint8_t> send;
            std::vector<uint8_t> receive;
            DWORD returned;
        };
        auto escape = std::make_shared<SEscape>(SEscape{
            send ? std::vector<uint8_t>(send, send + sendLength) : std::vector<uint8_t>(),
            receive ? std::vector<uint8_t>(receive, receive + receiveSize) : std::vector<uint8_t>(),
            bytesReturned ? *bytesReturned : 0});
        const bool hasSend = send != nullptr;
        const bool hasReceive = receive != nullptr;
        const bool hasReturned = bytesReturned != nullptr;
        const SOutcome outcome = Run(ContextOf(card), ECancel::Yes, [=](IPcscService& s) {
            return s.Control(card, controlCode, hasSend ? escape->send.data() : nullptr, sendLength,
                             hasReceive ? escape->receive.data() : nullptr, receiveSize,
                             hasReturned ? &escape->returned : nullptr);
        });
        if (outcome.completed) {
            if (receive)
                std::copy(escape->receive.begin(), escape->receive.end(), receive);
            if (bytesReturned)
                *bytesReturned = escape->returned;
        }
        return outcome.rc;
    }

private:
    // A context with calls given up that have not returned yet.
    struct SStuck {
        int calls = 0;
        std::shared_ptr<IPcscService> service;
        std::vector<std::pair<SCARDHANDLE, DWORD>> disconnects; // asked for meanwhile
        bool release = false;
    };

    // Under m_mutex. A context of a service installed before is not this one's.
    bool IsStuck(SCARDCONTEXT context) const
    {
        const auto stuck = m_stuck.find(context);
        return context && stuck != m_stuck.end() && stuck->second.service == m_pInner;
    }

    SCARDCONTEXT ContextOf(SCARDHANDLE card) const
    {
        const std::lock_guard lock(m_mutex);
        const auto known = m_contextOf.find(card);
        return known == m_contextOf.end() ? 0 : known->second;
    }

    // Runs call for context (0 before there is one) on a thread of its own and waits for
    // it until the deadline (and extra), or until the calling thread's cancel is called.
    SOutcome Run(SCARDCONTEXT context, ECancel cancellable, Call call, Undo undo = {},
                 std::chrono::milliseconds extra = {})
    {
        const std::shared_ptr<CPcscCancel::SState> cancel = cancellable == ECancel::Yes ? t_pCancel : nullptr;
        std::shared_ptr<IPcscService> service;
        {
            const std::lock_guard lock(m_mutex);
            // The context's lock is held by the call given up: this one would wait behind it.
            if (IsStuck(context))
                return {SCARD_E_TIMEOUT, false};
            service = m_pInner;
        }
        auto state = std::make_shared<SCall>();
        if (cancel) {
            const std::lock_guard lock(cancel->mutex);
            if (cancel->cancelled)
                return {SCARD_E_CANCELLED, false};
            cancel->stopWaiting = [state] {
                {
                    const std::lock_guard lock(state->mutex);
                    state->cancelled = true;
                }
                state->changed.notify_all();
            };
        }

        std::thread worker;
        try {
            worker = std::thread([this, state, service, context, call = std::move(call), undo = std::move(undo)] {
                const LONG rc = call(*service);
                bool late = false;
                {
                    const std::lock_guard lock(state->mutex);
                    state->rc = rc;
                    state->done = true;
                    late = state->abandoned;
                }
                state->changed.notify_all();
                if (late)
                    ReturnedLate(context, *service, rc, undo);
            });
        } catch (const std::system_error&) {
            // No thread to be had: the call is not made.
            if (cancel) {
                const std::lock_guard lock(cancel->mutex);
                cancel->stopWaiting = nullptr;
            }
            return {SCARD_E_NO_MEMORY, false};
        }

        bool gaveUp = false;
        bool cancelled = false;
        {
            std::unique_lock lock(state->mutex);
            const auto deadline = Clock::now() + std::chrono::milliseconds(g_deadlineMs.load()) + extra;
            state->changed.wait_until(lock, deadline, [&state] { return state->done || state->cancelled; });
            gaveUp = !state->done;
            cancelled = state->cancelled;
            if (gaveUp) {
                state->abandoned = true;
                const std::lock_guard facade(m_mutex);
                ++m_nAbandoned;
                if (context) {
                    SStuck& stuck = m_stuck[context];
                    ++stuck.calls;
                    stuck.service = service;
                }
            }
        }
        if (cancel) {
            const std::lock_guard lock(cancel->mutex);
            cancel->stopWaiting = nullptr;
        }
        if (gaveUp) {
            worker.detach();
            return {cancelled ? SCARD_E_CANCELLED : SCARD_E_TIMEOUT, false};
        }
        worker.join();
        return {state->rc, true};
    }

    // On the thread of a call given up, once it returned: takes back what it made and, when
    // it was the context's last, does the disconnects and the release asked for meanwhile.
    void ReturnedLate(SCARDCONTEXT context, IPcscService& service, LONG rc, const Undo& undo)
    {
        if (undo)
            undo(service, rc);
        SStuck finished;
        bool last = false;
        {
            const std::lock_guard lock(m_mutex);
            if (const auto stuck = m_stuck.find(context); context && stuck != m_stuck.end() && --stuck->second.calls == 0) {
                finished = std::move(stuck->second);
                m_stuck.erase(stuck);
                last = true;
                if (finished.release)
                    std::erase_if(m_contextOf, [context](const auto& entry) { return entry.second == context; });
            }
        }
        if (last) {
            for (const auto& [card, disposition] : finished.disconnects)
                finished.service->Disconnect(card, disposition);
            if (finished.release)
                finished.service->ReleaseContext(context);
        }
        const std::lock_guard lock(m_mutex);
        --m_nAbandoned;
    }

    mutable std::mutex m_mutex;
    std::shared_ptr<IPcscService> m_pInner = MakePcscLiteService();
    std::map<SCARDHANDLE, SCARDCONTEXT> m_contextOf; // connections made through here
    std::map<SCARDCONTEXT, SStuck> m_stuck;
    size_t m_nAbandoned = 0;
};

// Never destroyed: a call given up may return while the process exits.
CBoundedPcscService& Bounded()
{
    static auto* service = new CBoundedPcscService;
    return *service;
}

} // namespace

IPcscService& PcscService()
{
    return Bounded();
}

std::shared_ptr<IPcscService> SetPcscService(std::shared_ptr<IPcscService> service)
{
    return Bounded().Install(service ? std::move(service) : MakePcscLiteService());
}

std::chrono::milliseconds SetExchangeDeadline(std::chrono::milliseconds deadline)
{
    return std::chrono::milliseconds(g_deadlineMs.exchange(std::max<std::chrono::milliseconds::rep>(deadline.count(), 0)));
}

size_t PendingAbandonedCalls()
{
    return Bounded().Abandoned();
}

CPcscCancel::CPcscCancel()
    : m_pState(std::make_shared<SState>())
{
}

CPcscCancel::~CPcscCancel() = default;

void CPcscCancel::Cancel()
{
    const std::lock_guard lock(m_pState->mutex);
    m_pState->cancelled = true;
    if (m_pState->stopWaiting)
        m_pState->stopWaiting();
}

bool CPcscCancel::IsCancelled() const
{
    const std::lock_guard lock(m_pState->mutex);
    return m_pState->cancelled;
}

CPcscCancelScope::CPcscCancelScope(CPcscCancel& cancel)
    : m_pPrevious(std::exchange(t_pCancel, cancel.m_pState))
{
}

CPcscCancelScope::~CPcscCancelScope()
{
    t_pCancel = std::move(m_pPrevious);
}
