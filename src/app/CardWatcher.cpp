#include "app/CardWatcher.h"

#include <utility>

CCardWatcher::CCardWatcher(std::function<ECardPresence()> probe, int intervalMs, QObject* parent)
    : QObject(parent)
    , m_probe(std::move(probe))
{
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &CCardWatcher::Look);
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
    if (m_bPaused || !m_probe)
        return;
    const ECardPresence presence = m_probe();
    // A reader that cannot be asked tells nothing: neither laid nor lifted.
    if (presence == ECardPresence::Unknown)
        return;
    const bool there = presence == ECardPresence::Present;
    const bool laid = there && !m_bCardThere;
    m_bCardThere = there;
    if (laid)
        emit CardLaid();
}
