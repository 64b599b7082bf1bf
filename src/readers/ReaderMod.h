// The abstract reader module: one object drives one card reader through one back end.
// Every operation answers 1 for success and 0 for failure and never throws; the defaults
// here fail, so a module overrides only what its back end supports.
#pragma once

#include "card/HistoryBlock.h"

#include <QString>

#include <cstdint>

// Why a module's last operation failed beyond the card's own answer.
enum class EReaderFault {
    None,
    TimedOut,    // a call to the reader passed its deadline or was called off
    ServiceLost, // the smart-card service went away
};

class CReaderMod {
public:
    virtual ~CReaderMod() = default;

    // Declared in the order every module keeps.
    virtual int Open() { return 0; }
    virtual int Close() { return 0; }
    // pIDm and pPMm are 8-byte buffers, written only on success. bTimeSlot and nCards are
    // passed as 0; nCards is scratch space for the module.
    virtual int Polling(uint8_t* pIDm, uint8_t* pPMm, uint16_t wSystemCode, uint8_t bTimeSlot, uint8_t nCards);
    // Appends the non-empty blocks 0 .. nBlocks-1 of wServiceCode, stopping with success at an
    // empty block or a card status error; on failure pBlocks is emptied, never left partial.
    virtual int ReadBlocks(const uint8_t* pIDm, uint16_t wServiceCode, uint16_t wSystemCode,
                           HistoryBlockList* pBlocks, uint8_t nBlocks);
    virtual int IsAvailable() { return 0; }
    virtual int IsOpened() { return 0; }
    virtual QString GetVersionText() { return QString(); }
    virtual int GetVersionNumber() { return 0; }
    virtual int IsReaderAlive() { return 0; }
    virtual int SetReaderMode(uint8_t bMode);
    // nIndex 0 writes the module's exit value, 1 its run value.
    virtual int ApplyReaderMode(uint8_t nIndex);
    virtual int GetReaderMode(uint8_t* pMode);

    // Beside the reader operations above: what made the last Polling or ReadBlocks fail, for the
    // wait to tell a card that is not there from a reader or service that is gone.
    virtual EReaderFault LastFault() const { return EReaderFault::None; }

protected:
    CReaderMod() = default;

    // An unused history slot: bytes 0 and 1 both zero.
    static bool IsEmptyBlock(const HistoryBlock& block) { return block[0] == 0 && block[1] == 0; }
};
