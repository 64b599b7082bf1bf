// The ACS ACR122U: a PN532 behind CCID. FeliCa goes through the reader's direct-transmit
// pseudo-command FF 00 00 00 Lc, which carries PN532 commands: InListPassiveTarget at
// 212 kbps polls for a system code, InDataExchange carries Read Without Encryption. Some
// firmware answers a direct transmit with 61 nn; GET RESPONSE then fetches the nn bytes.
#pragma once

#include "readers/PcscDialectMod.h"

class CPcscPn532 : public CPcscDialectMod {
public:
    using CPcscDialectMod::CPcscDialectMod;

    int Polling(uint8_t* pIDm, uint8_t* pPMm, uint16_t wSystemCode, uint8_t bTimeSlot, uint8_t nCards) override;
    // Addressed to the IDm that Polling returned, which names the system that answered.
    int ReadBlocks(const uint8_t* pIDm, uint16_t wServiceCode, uint16_t wSystemCode, HistoryBlockList* pBlocks,
                   uint8_t nBlocks) override;

private:
    // One PN532 command through direct transmit, inside the caller's transaction; answer is
    // the PN532's answer without the status word. False for a failed exchange.
    bool DirectTransmit(const Frame& command, Frame& answer);
    RunResult ReadRun(const uint8_t* pIDm, uint16_t wServiceCode, uint8_t first, unsigned count,
                      HistoryBlockList& blocks);
};
