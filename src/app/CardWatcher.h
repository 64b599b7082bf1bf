// Watches the reader while "カードを置いたら読み込む" is on: a short look at each
// tick of the event loop's timer, never a wait that holds the window, and one
// signal when a card is laid where there was none.
#pragma once

#include "readers/CardPresence.h"

#include <QObject>
#include <QTimer>

#include <functional>

class CCardWatcher : public QObject {
    Q_OBJECT

public:
    // probe: one look at the reader that returns at once (a zero timeout).
    CCardWatcher(std::function<ECardPresence()> probe, int intervalMs, QObject* parent = nullptr);

    void SetWatching(bool on);
    bool IsWatching() const { return m_timer.isActive(); }
    // While paused (a read running) ticks look at nothing.
    void SetPaused(bool paused) { m_bPaused = paused; }
    // One tick, as the timer runs it.
    void Look();

signals:
    void CardLaid();

private:
    std::function<ECardPresence()> m_probe;
    QTimer m_timer;
    bool m_bPaused = false;
    // A card already there when the watch begins was not just laid.
    bool m_bCardThere = true;
};
