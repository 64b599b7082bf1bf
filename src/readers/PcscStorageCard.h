// Readers that reach a FeliCa card through the PC/SC storage-card commands: the Sony
// RC-S300 and RC-S660 (CCID) and any contactless reader whose ATR announces FeliCa in the
// storage-card form. GET DATA gives the IDm, SELECT FILE picks the service, READ BINARY
// reads its blocks. The commands poll no system code: the card's first system is read.
#pragma once

#include "readers/PcscDialectMod.h"

class CPcscStorageCard : public CPcscDialectMod {
public:
    using CPcscDialectMod::CPcscDialectMod;

    // Any system code answers while a card lies on the reader; the PMm is not reported, so
    // pPMm is zeroed.
    int Polling(uint8_t* pIDm, uint8_t* pPMm, uint16_t wSystemCode, uint8_t bTimeSlot, uint8_t nCards) override;
    int ReadBlocks(const uint8_t* pIDm, uint16_t wServiceCode, uint16_t wSystemCode, HistoryBlockList* pBlocks,
                   uint8_t nBlocks) override;

private:
    RunResult ReadRun(uint8_t first, unsigned count, HistoryBlockList& blocks);
};
