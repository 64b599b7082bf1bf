// How the card watcher ends: SIGTERM and SIGINT, taken by a thread of their own rather than
// a handler, call off the wait or the read under way and wake every pause. The watcher
// itself looks at Stopped() between its steps, so an archive merge is never cut short.
#pragma once

#include "readers/PcscService.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include <signal.h>

class CCardReadAttempt;

class CWatchStop {
public:
    // Blocks the two signals in the calling thread and every thread it starts from now on.
    CWatchStop();
    ~CWatchStop();
    CWatchStop(const CWatchStop&) = delete;
    CWatchStop& operator=(const CWatchStop&) = delete;

    bool Stopped() const;
    // Waits ms, or less when the stop comes.
    void Sleep(int ms);
    // For a CPcscCancelScope on the watching thread.
    CPcscCancel& PcscCancel() { return m_cancel; }
    // The read's attempt, called off at the stop too; nullptr once the read is over.
    void SetAttempt(CCardReadAttempt* attempt);
    // From any thread.
    void Stop();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bStopped = false;
    CCardReadAttempt* m_pAttempt = nullptr;
    CPcscCancel m_cancel;
    sigset_t m_previousMask{};
    std::thread m_signals;
};
