#include "readers/PcscPn532.h"

#include "readers/PcscService.h"

#include <algorithm>

namespace {

constexpr size_t kIdLength = 8;

// PN532 commands (D4 from the host, D5 + command + 1 back).
constexpr uint8_t kHostToPn532 = 0xD4;
constexpr uint8_t kPn532ToHost = 0xD5;
constexpr uint8_t kInListPassiveTarget = 0x4A;
constexpr uint8_t kInDataExchange = 0x40;
constexpr uint8_t kBaudRate212 = 0x01;

// FeliCa command and response codes.
constexpr uint8_t kFelicaPolling = 0x00;
constexpr uint8_t kFelicaPollingResponse = 0x01;
constexpr uint8_t kFelicaRead = 0x06;
constexpr uint8_t kFelicaReadResponse = 0x07;

// InListPassiveTarget answer: D5 4B, targets found, target number, then the polling
// response: its length, response code, IDm, PMm.
constexpr size_t kPollingCodeAt = 5;
constexpr size_t kPollingIdmAt = 6;
// InDataExchange answer: D5 41, PN532 status, then the read response: length, response
// code, IDm, status flag 1, status flag 2, number of blocks, block data.
constexpr size_t kReadStatusAt = 2;
constexpr size_t kReadCodeAt = 4;
constexpr size_t kReadFlag1At = 13;
constexpr size_t kReadDataAt = 16;

bool IsAnswerTo(const std::vector<uint8_t>& answer, uint8_t command)
{
    return answer.size() >= 2 && answer[0] == kPn532ToHost && answer[1] == command + 1;
}

} // namespace

int CPcscPn532::Polling(uint8_t* pIDm, uint8_t* pPMm, uint16_t wSystemCode, uint8_t, uint8_t)
{
    // One target at 212 kbps; the payload is a FeliCa polling for the system code, no
    // request code, time slot 0.
    const Frame command = {kHostToPn532,  kInListPassiveTarget, 0x01, kBaudRate212, kFelicaPolling,
                           High(wSystemCode), Low(wSystemCode), 0x00, 0x00};
    if (!ConnectCard() || BeginTransaction() != SCARD_S_SUCCESS)
        return 0;
    Frame answer;
    const bool answered = DirectTransmit(command, answer);
    EndTransaction();
    if (!answered || !IsAnswerTo(answer, kInListPassiveTarget) || answer.size() < kPollingIdmAt + 2 * kIdLength
        || answer[2] == 0 || answer[kPollingCodeAt] != kFelicaPollingResponse)
        return 0;
    if (pIDm)
        std::copy_n(answer.begin() + kPollingIdmAt, kIdLength, pIDm);
    if (pPMm)
        std::copy_n(answer.begin() + kPollingIdmAt + kIdLength, kIdLength, pPMm);
    return 1;
}

int CPcscPn532::ReadBlocks(const uint8_t* pIDm, uint16_t wServiceCode, uint16_t, HistoryBlockList* pBlocks,
                           uint8_t nBlocks)
{
    if (!pIDm || !pBlocks || BeginTransaction() != SCARD_S_SUCCESS)
        return 0;
    const int result = ReadInRuns(pBlocks, nBlocks, [&](uint8_t first, unsigned count, HistoryBlockList& blocks) {
        return ReadRun(pIDm, wServiceCode, first, count, blocks);
    });
    EndTransaction();
    return result;
}

bool CPcscPn532::DirectTransmit(const Frame& command, Frame& answer)
{
    static constexpr uint8_t kHeader[] = {0xFF, 0x00, 0x00, 0x00};
    Frame apdu(std::size(kHeader) + 1 + command.size());
    std::copy(std::begin(kHeader), std::end(kHeader), apdu.begin());
    apdu[std::size(kHeader)] = static_cast<uint8_t>(command.size());
    std::copy(command.begin(), command.end(), apdu.begin() + std::size(kHeader) + 1);
    if (Transmit(apdu, kLongAnswer, answer) != SCARD_S_SUCCESS || answer.size() < 2)
        return false;
    if (answer.size() == 2 && answer[0] == 0x61) {
        // 61 nn: nn bytes wait; GET RESPONSE fetches them.
        const Frame getResponse = {0xFF, 0xC0, 0x00, 0x00, answer[1]};
        if (Transmit(getResponse, kLongAnswer, answer) != SCARD_S_SUCCESS)
            return false;
    }
    if (!IsStatusOk(answer))
        return false;
    answer.resize(answer.size() - 2);
    return true;
}

CPcscDialectMod::RunResult CPcscPn532::ReadRun(const uint8_t* pIDm, uint16_t wServiceCode, uint8_t first,
                                               unsigned count, HistoryBlockList& blocks)
{
    // Target 1, then Read Without Encryption with its length byte: IDm, one service (low
    // byte first), count two-byte block list elements 80 n.
    constexpr size_t kFelicaLengthAt = 3;
    Frame command = {kHostToPn532, kInDataExchange, 0x01, 0x00, kFelicaRead};
    for (size_t i = 0; i < kIdLength; ++i)
        command.push_back(pIDm[i]);
    for (const uint8_t byte : {uint8_t{0x01}, Low(wServiceCode), High(wServiceCode), static_cast<uint8_t>(count)})
        command.push_back(byte);
    for (unsigned i = 0; i < count; ++i) {
        command.push_back(0x80);
        command.push_back(static_cast<uint8_t>(first + i));
    }
    command[kFelicaLengthAt] = static_cast<uint8_t>(command.size() - kFelicaLengthAt);

    Frame answer;
    if (!DirectTransmit(command, answer) || !IsAnswerTo(answer, kInDataExchange) || answer.size() <= kReadFlag1At
        || answer[kReadStatusAt] != 0 || answer[kReadCodeAt] != kFelicaReadResponse)
        return RunResult::Failed;
    // A card that takes fewer blocks per command answers the run with a status error.
    if (answer[kReadFlag1At] != 0)
        return count > 1 ? RunResult::Refused : RunResult::CardError;
    if (answer.size() != kReadDataAt + count * sizeof(HistoryBlock))
        return RunResult::Failed;
    for (unsigned i = 0; i < count; ++i) {
        HistoryBlock block;
        std::copy_n(answer.begin() + static_cast<std::ptrdiff_t>(kReadDataAt + i * block.size()), block.size(),
                    block.begin());
        blocks.push_back(block);
    }
    return RunResult::Read;
}
