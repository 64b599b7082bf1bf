#include "readers/PcscMrica.h"

#include "readers/PcscService.h"

#include <algorithm>

namespace {

// Polling response: length, response code, IDm, PMm.
constexpr size_t kIdmAt = 2;
constexpr size_t kPmmEnd = 18;
constexpr size_t kIdLength = 8;

} // namespace

int CPcscMrica::Polling(uint8_t* pIDm, uint8_t* pPMm, uint16_t wSystemCode, uint8_t, uint8_t)
{
    Frame answer;
    if (!ConnectCard() || !ExchangeInTransaction(PollingFrame(wSystemCode), kShortAnswer, answer)
        || !HasData(answer, kPmmEnd))
        return 0;
    CopyCardIds(answer, kIdmAt, pIDm, pPMm);
    return 1;
}

int CPcscMrica::ReadBlocks(const uint8_t* pIDm, uint16_t wServiceCode, uint16_t, HistoryBlockList* pBlocks,
                           uint8_t nBlocks)
{
    if (!pIDm || !pBlocks || BeginTransaction() != SCARD_S_SUCCESS)
        return 0;

    // Readies the reader for the pass-through reads; only a failed call stops here, the answer
    // itself is not examined.
    const Frame prepare = {0xFF, 0x00, 0x41, 0x81, 0x01, 0x0C};
    Frame answer;
    if (Transmit(prepare, kLongAnswer, answer) != SCARD_S_SUCCESS) {
        EndTransaction();
        return 1;
    }

    // Read without encryption, one service, one block element 80 n.
    Frame read = {0xFF, 0xAB, 0x00, 0x00, 0x0F, 0x06};
    read.insert(read.end(), pIDm, pIDm + kIdLength);
    read.insert(read.end(), {0x01, Low(wServiceCode), High(wServiceCode), 0x01, 0x80, 0x00});
    // Response: length, response code, IDm, status flag 1, status flag 2, number of blocks,
    // block data. Here either status flag ends the read.
    static constexpr BlockAnswerLayout kBlockAnswer = {10, 11, 13};
    return ReadEachBlock(read, kBlockAnswer, pBlocks, nBlocks);
}

int CPcscMrica::SetReaderMode(uint8_t bMode)
{
    Frame answer;
    return Escape(Frame{0xFF, 0x00, 0x41, 0x01, 0x01, bMode}, kLongAnswer, answer) ? 1 : 0;
}

int CPcscMrica::ApplyReaderMode(uint8_t nIndex)
{
    static constexpr ReaderModes kModes = {0x01, 0x0C};
    return ApplyModeFrom(kModes, nIndex);
}

int CPcscMrica::GetReaderMode(uint8_t* pMode)
{
    return QueryReaderMode(Frame{0xFF, 0x00, 0x41, 0x01, 0x00}, pMode);
}

int CPcscMrica::PollSystem(uint16_t wSystemCode)
{
    Frame answer;
    return ExchangeInTransaction(PollingFrame(wSystemCode), kLongAnswer, answer) ? 1 : 0;
}

CPcscMod::Frame CPcscMrica::PollingFrame(uint16_t wSystemCode)
{
    // FeliCa polling without its length byte: command 00, system code, request code 01, time slot 00.
    return {0xFF, 0xAB, 0x00, 0x00, 0x05, 0x00, High(wSystemCode), Low(wSystemCode), 0x01, 0x00};
}
