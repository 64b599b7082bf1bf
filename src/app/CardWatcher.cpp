#include "app/CardWatcher.h"

#include <QMetaObject>

#include <mutex>
#include <thread>
#include <utility>

// The watcher as a look's thread may reach it: null once the watcher is gone, so that a
// look that returns late (a service that hung) has nobody to tell.
struct CCardWatcher::SLink {
    std::mutex mutex;
    CCardWatcher* watcher = nullptr;
};

CCardWatcher::CCardWatcher(std::function<ECardPresence()> probe, int intervalMs, QObject* parent)
    : QObject(parent)
    , m_probe(std::move(probe))
    , m_pLink(std::make_shared<SLink>())
{
    m_pLink->watcher = this;
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &CCardWatcher::Look);
}

CCardWatcher::~CCardWatcher()
{
    // A look still under way is not waited for: it may never return.
    const std::lock_guard lock(m_pLink->mutex);
    m_pLink->watcher = nullptr;
}

void CCardWatcher::SetWatching(bool on)
{
    if (on == IsWatching())
        return;
    if (on) {
        m_bCardThere = true;
        m_timer.start();
    } else {
        m_timer.stop();
    }
}

void CCardWatcher::Look()
{
    if (m_bPaused || !m_probe || m_bLooking)
        return;
    m_bLooking = true;
    std::thread([probe = m_probe, link = m_pLink] {
        const ECardPresence presence = probe();
        const std::lock_guard lock(link->mutex);
        if (link->watcher)
            QMetaObject::invokeMethod(link->watcher, [watcher = link->watcher, presence] { watcher->Took(presence); },
                                      Qt::QueuedConnection);
    }).detach();
}

void CCardWatcher::Took(ECardPresence presence)
{
    m_bLooking = false;
    // A reader that cannot be asked tells nothing: neither laid nor lifted; nor does a look
    // that ended while a read ran or after the watch was switched off.
    if (m_bPaused || !IsWatching() || presence == ECardPresence::Unknown)
        return;
    const bool there = presence == ECardPresence::Present;
    const bool laid = there && !m_bCardThere;
    m_bCardThere = there;
    if (laid)
        emit CardLaid();
}
