#include "cli/WatchStop.h"

#include "readers/CardReadAttempt.h"

#include <chrono>

#include <pthread.h>

namespace {

sigset_t EndingSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

} // namespace

CWatchStop::CWatchStop()
{
    const sigset_t ending = EndingSignals();
    pthread_sigmask(SIG_BLOCK, &ending, &m_previousMask);
    m_signals = std::thread([this, ending] {
        int signal = 0;
        sigwait(&ending, &signal);
        Stop();
    });
}

CWatchStop::~CWatchStop()
{
    // The signal thread is woken by a signal of its own when none came from outside.
    pthread_kill(m_signals.native_handle(), SIGTERM);
    m_signals.join();
    pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
}

bool CWatchStop::Stopped() const
{
    const std::lock_guard lock(m_mutex);
    return m_bStopped;
}

void CWatchStop::Sleep(int ms)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_bStopped; });
}

void CWatchStop::SetAttempt(CCardReadAttempt* attempt)
{
    const std::lock_guard lock(m_mutex);
    m_pAttempt = attempt;
    if (m_pAttempt && m_bStopped)
        m_pAttempt->Cancel();
}

void CWatchStop::Stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_bStopped = true;
        if (m_pAttempt)
            m_pAttempt->Cancel();
    }
    m_cancel.Cancel();
    m_changed.notify_all();
}
