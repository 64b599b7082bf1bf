#include "readers/PcscStorageCard.h"

#include "readers/PcscService.h"

#include <algorithm>

namespace {

constexpr size_t kIdLength = 8;

} // namespace

int CPcscStorageCard::Polling(uint8_t* pIDm, uint8_t* pPMm, uint16_t, uint8_t, uint8_t)
{
    // GET DATA with P1 00: the card's identifier, for FeliCa its IDm.
    const Frame getData = {0xFF, 0xCA, 0x00, 0x00, 0x00};
    Frame answer;
    if (!ConnectCard() || !ExchangeInTransaction(getData, kLongAnswer, answer) || !HasData(answer, kIdLength))
        return 0;
    if (pIDm)
        std::copy_n(answer.begin(), kIdLength, pIDm);
    if (pPMm)
        std::fill_n(pPMm, kIdLength, 0);
    return 1;
}

int CPcscStorageCard::ReadBlocks(const uint8_t*, uint16_t wServiceCode, uint16_t, HistoryBlockList* pBlocks,
                                 uint8_t nBlocks)
{
    if (!pBlocks || BeginTransaction() != SCARD_S_SUCCESS)
        return 0;
    // SELECT FILE of the service, its code low byte first; a card without it has nothing to read.
    const Frame select = {0xFF, 0xA4, 0x00, 0x01, 0x02, Low(wServiceCode), High(wServiceCode)};
    Frame answer;
    if (Transmit(select, kLongAnswer, answer) != SCARD_S_SUCCESS || !IsStatusOk(answer)) {
        EndTransaction();
        return 1;
    }
    const int result = ReadInRuns(pBlocks, nBlocks, [this](uint8_t first, unsigned count, HistoryBlockList& blocks) {
        return ReadRun(first, count, blocks);
    });
    EndTransaction();
    return result;
}

CPcscDialectMod::RunResult CPcscStorageCard::ReadRun(uint8_t first, unsigned count, HistoryBlockList& blocks)
{
    // READ BINARY of block `first`; Le 00 reads one block, 16 x count bytes that many blocks.
    const uint8_t le = count == 1 ? 0x00 : static_cast<uint8_t>(count * sizeof(HistoryBlock));
    const Frame read = {0xFF, 0xB0, 0x00, first, le};
    Frame answer;
    const size_t length = count * sizeof(HistoryBlock);
    const bool answered = Transmit(read, kLongAnswer, answer) == SCARD_S_SUCCESS && IsStatusOk(answer)
        && answer.size() == length + 2;
    if (!answered)
        return count > 1 ? RunResult::Refused : RunResult::Failed;
    for (unsigned i = 0; i < count; ++i) {
        HistoryBlock block;
        std::copy_n(answer.begin() + static_cast<std::ptrdiff_t>(i * block.size()), block.size(), block.begin());
        blocks.push_back(block);
    }
    return RunResult::Read;
}
