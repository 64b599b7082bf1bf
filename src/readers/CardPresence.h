// One look at the readers, for the automatic read: is a card lying on one?
#pragma once

#include <memory>

enum class ECardPresence { Absent, Present, Unknown };

class CCardPresenceProbe {
public:
    CCardPresenceProbe();
    ~CCardPresenceProbe();
    CCardPresenceProbe(const CCardPresenceProbe&) = delete;
    CCardPresenceProbe& operator=(const CCardPresenceProbe&) = delete;

    // SCardGetStatusChange with a zero timeout over every reader the service
    // lists: Present when one holds a card, Unknown when no reader or service
    // answers. The context is kept between looks and made anew once the
    // service has gone away.
    ECardPresence Look();

private:
    struct SContext;
    void Drop();

    std::unique_ptr<SContext> m_pContext;
};
