// The card access coordinator: finds the reader, picks the module for it, prepares the
// reader and owns the module for one operation.
#pragma once

#include "readers/ReaderMod.h"

#include <PCSC/wintypes.h>

#include <QString>

#include <memory>

class CFelicaMod {
public:
    CFelicaMod() = default;
    virtual ~CFelicaMod() = default;

    CFelicaMod(const CFelicaMod&) = delete;
    CFelicaMod& operator=(const CFelicaMod&) = delete;

    // 0 when a known PC/SC reader accepted a connection (m_strReader and m_nReaderType then
    // name it), else the PC/SC result code.
    LONG FindReader();
    // CARD_READ_OK with a module in m_pReader; else CARD_READ_OPEN_FAILED,
    // CARD_READ_NO_READER or CARD_READ_SERVICE_STOPPED (CardReadResult.h).
    int OpenReader();
    // Writes the exit mode into the known PC/SC reader attached, if any.
    void RestoreReaderMode();

    QString m_strReader;
    int m_nReaderType = 0; // 1-based position in the known-reader table
    std::unique_ptr<CReaderMod> m_pReader;
};

// Opens the reader once, so the reader is in its run mode before the first read.
void ProbeReader();
