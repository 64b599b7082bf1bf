// One session of the FeliCa library: the reader it opened, the card it polled, the blocks it
// read ahead, and the last error, which outlives the session so that a caller can ask why
// opening failed after it disposed of the library.
#pragma once

#include "felicausb/FelicaChip.h"
#include "felicausb/SupportedReaders.h"

#include <array>
#include <map>
#include <memory>
#include <string>

// Second values of the last error types, beside the two the module relies on
// (kFelicaNoReaderError, kFelicaReadError).
enum EFelicaReason : int {
    kReasonNone = 0x00,
    kReasonBusy = 0x02,         // a supported reader is attached but held by a driver or program
    kReasonNoPermission = 0x03, // a supported reader is attached but this user may not open it
    kReasonNoAnswer = 0x04,     // the reader does not answer its commands
    kReasonNoCard = 0x10,       // no card answered the polling
    kReasonBadAnswer = 0x11,    // the card's answer does not fit the command
    kReasonNotOpened = 0x20,    // called before a reader was opened, or with a request it cannot take
};

// First values: where the error arose.
enum EFelicaLayer : int { kLayerNone = 0, kLayerUsb = 1, kLayerReader = 2, kLayerCard = 3, kLayerCall = 4 };

struct SFelicaBlock {
    uint8_t statusFlag1 = 0;
    uint8_t statusFlag2 = 0;
    std::array<uint8_t, 16> data{};
};

class CFelicaUsbReader {
public:
    using CardId = std::array<uint8_t, 8>;

    // Blocks asked for in one Read Without Encryption when the card takes several.
    static constexpr unsigned kBlocksPerRead = 10;

    void Initialize(std::unique_ptr<IUsbBus> bus);
    void Dispose();
    bool IsInitialized() const { return m_pBus != nullptr; }

    // Opens the first supported reader that opens and answers.
    bool Open();
    bool Poll(uint16_t systemCode, uint8_t timeSlot, CardId& idm, CardId& pmm);
    // One block of one service (service code low byte first); true when the card answered,
    // with its status flags in block (the data only when status flag 1 is 0).
    bool ReadBlock(const CardId& idm, uint16_t serviceCode, uint8_t blockNumber, SFelicaBlock& block);
    // "<model>, firmware <version>"; empty when no reader is open or it does not answer.
    std::string VersionText();
    bool IsAlive();

    int ErrorType1() const { return m_nErrorType1; }
    int ErrorType2() const { return m_nErrorType2; }

private:
    bool Fail(int layer, int reason);
    void Close();
    // One Read Without Encryption for count blocks from first; blocks are appended on success.
    EChipResult ReadBlocks(const CardId& idm, uint16_t serviceCode, uint8_t first, unsigned count,
                           uint8_t& statusFlag1, uint8_t& statusFlag2, std::vector<SFelicaBlock>& blocks);

    std::unique_ptr<IUsbBus> m_pBus;
    std::unique_ptr<IUsbDevice> m_pDevice;
    std::unique_ptr<CFelicaChip> m_pChip;
    const SSupportedReader* m_pModel = nullptr;

    // The PMm of the card last polled, whose read timing bounds every read; a card never
    // polled gets the slowest time a PMm can give.
    CardId m_pmm{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    // Blocks read ahead for the card last polled; a polling empties it.
    CardId m_cacheIdm{};
    uint16_t m_wCacheService = 0;
    std::map<uint8_t, SFelicaBlock> m_cache;
    bool m_bSingleBlocks = false; // the card refused several blocks at once

    int m_nErrorType1 = 0;
    int m_nErrorType2 = 0;
};
