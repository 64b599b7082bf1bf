// Watches the reader while "カードを置いたら読み込む" is on: a look at each tick of the
// event loop's timer, run on a thread of its own so that a service that hangs never
// holds the window, and one signal when a card is laid where there was none.
#pragma once

#include "readers/CardPresence.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class CCardWatcher : public QObject {
    Q_OBJECT

public:
    // probe: one look at the reader. It runs on a thread of its own, one look at a time.
    CCardWatcher(std::function<ECardPresence()> probe, int intervalMs, QObject* parent = nullptr);
    ~CCardWatcher() override;

    void SetWatching(bool on);
    bool IsWatching() const { return m_timer.isActive(); }
    // While paused (a read running) ticks look at nothing, and a look under way tells nothing.
    void SetPaused(bool paused) { m_bPaused = paused; }
    // One tick, as the timer runs it: starts a look unless one is under way. Its answer
    // comes back through the event loop.
    void Look();
    // A look has started and its answer has not been taken yet.
    bool IsLooking() const { return m_bLooking; }

signals:
    void CardLaid();

private:
    struct SLink;
    // The answer of a look, on the window's thread.
    void Took(ECardPresence presence);

    std::function<ECardPresence()> m_probe;
    // Shared with the looks under way; cut when the watcher goes.
    std::shared_ptr<SLink> m_pLink;
    QTimer m_timer;
    bool m_bPaused = false;
    bool m_bLooking = false;
    // A card already there when the watch begins was not just laid.
    bool m_bCardThere = true;
};
