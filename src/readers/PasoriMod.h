// Reader module over the vendor FeliCa library, the fallback when no known PC/SC reader
// answers. The library is loaded when the module is made and unloaded when it goes.
#pragma once

#include "readers/FelicaLibrary.h"
#include "readers/ReaderMod.h"

class CPasoriMod : public CReaderMod {
public:
    CPasoriMod();
    ~CPasoriMod() override;

    CPasoriMod(const CPasoriMod&) = delete;
    CPasoriMod& operator=(const CPasoriMod&) = delete;

    int Open() override;
    int Close() override;
    int Polling(uint8_t* pIDm, uint8_t* pPMm, uint16_t wSystemCode, uint8_t bTimeSlot, uint8_t nCards) override;
    int ReadBlocks(const uint8_t* pIDm, uint16_t wServiceCode, uint16_t wSystemCode, HistoryBlockList* pBlocks,
                   uint8_t nBlocks) override;
    int IsAvailable() override;
    int IsOpened() override;
    QString GetVersionText() override;
    int GetVersionNumber() override;
    int IsReaderAlive() override;
    // After a failed Open: the library found no reader/writer attached at all.
    bool FoundNoReader();

    FelicaEntryPoints m_entries; // set only when the library loaded
    void* m_hLibrary = nullptr;
    int m_bOpened = 0;
};
