// Circle CIR315: FeliCa commands travel whole through the FF AB pass-through, so the card's
// own response frames (length byte first) come back; escape frames and modes are its own.
#pragma once

#include "readers/PcscMod.h"

class CPcscMrica : public CPcscMod {
public:
    using CPcscMod::CPcscMod;

    int Polling(uint8_t* pIDm, uint8_t* pPMm, uint16_t wSystemCode, uint8_t bTimeSlot, uint8_t nCards) override;
    int ReadBlocks(const uint8_t* pIDm, uint16_t wServiceCode, uint16_t wSystemCode, HistoryBlockList* pBlocks,
                   uint8_t nBlocks) override;
    int SetReaderMode(uint8_t bMode) override;
    int ApplyReaderMode(uint8_t nIndex) override;
    int GetReaderMode(uint8_t* pMode) override;
    int PollSystem(uint16_t wSystemCode) override;

private:
    static Frame PollingFrame(uint16_t wSystemCode);
};
