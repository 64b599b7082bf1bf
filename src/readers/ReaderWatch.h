// Waits for a card to be laid on a reader, blocking in the PC/SC service between changes:
// the background watcher's eye. It keeps a context and nothing else, never a connection,
// so any other program can read the card meanwhile.
#pragma once

#include <PCSC/pcsclite.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

class CReaderWatch {
public:
    // onlyReader: the one reader to watch; empty for every reader the service lists.
    explicit CReaderWatch(std::string onlyReader = {});
    ~CReaderWatch();
    CReaderWatch(const CReaderWatch&) = delete;
    CReaderWatch& operator=(const CReaderWatch&) = delete;

    // Waits up to timeoutMs for a card laid on a watched reader: SCARD_S_SUCCESS with its name
    // in reader. A card already there the first time a reader is seen counts as laid; one that
    // stays is not laid again until lifted. Otherwise SCARD_E_TIMEOUT,
    // SCARD_E_NO_READERS_AVAILABLE when there is nothing to wait on, or the service's code
    // when it could not wait (gone, stopped, cancelled); the next call starts from a new context.
    LONG WaitForCard(DWORD timeoutMs, std::string& reader);

private:
    struct SKnown {
        bool cardThere = false;
        DWORD state = 0; // the reader's last event state, as the service gave it
    };

    LONG Wait(DWORD timeoutMs, std::string& reader);
    void Drop();

    std::string m_strOnlyReader;
    std::optional<SCARDCONTEXT> m_context;
    std::map<std::string, SKnown> m_known;
    DWORD m_nPnpState = 0;
    bool m_bPnpWorks = true;
};
