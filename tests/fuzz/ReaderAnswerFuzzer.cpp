// libFuzzer target for reader answers: every answer a reader module receives, to its
// transmits and escape commands, comes from the input, with its result code, its length
// and its bytes. The module is driven as two read attempts and its version and mode
// queries are; whatever the answers, a failed polling writes no IDm, a failed read hands
// back no block, a read hands back at most the blocks asked for and no empty one, and
// nothing crashes.
//
// Input: a byte choosing the reader type (the known readers and the other dialects), then
// per answer a result byte (below 0x80 success, else one of kCodes), a length byte and
// that many bytes. A length beyond the caller's buffer is reported as it is, with only the
// buffer filled. When the input is used up every further exchange breaks the connection.
#include "readers/CardReadAttempt.h"
#include "readers/PcscService.h"
#include "readers/ReaderTable.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>

namespace {

constexpr LONG kCodes[] = {SCARD_W_REMOVED_CARD,  SCARD_W_RESET_CARD, SCARD_E_NO_SMARTCARD,
                           SCARD_E_NO_SERVICE,    SCARD_F_COMM_ERROR, SCARD_E_INVALID_HANDLE,
                           SCARD_E_NOT_TRANSACTED, SCARD_E_INSUFFICIENT_BUFFER, SCARD_E_TIMEOUT};
constexpr int kReaderTypes = 11;

class CAnswerFeed final : public IPcscService {
public:
    void Feed(std::span<const uint8_t> answers) { m_answers = answers; }

    LONG EstablishContext(DWORD, SCARDCONTEXT* context) override
    {
        *context = 0x1000;
        return SCARD_S_SUCCESS;
    }
    LONG ReleaseContext(SCARDCONTEXT) override { return SCARD_S_SUCCESS; }
    LONG ListReaders(SCARDCONTEXT, const char*, std::vector<std::string>& readers) override
    {
        readers.clear();
        return SCARD_E_NO_READERS_AVAILABLE;
    }
    LONG Connect(SCARDCONTEXT, const std::string&, DWORD, DWORD, SCARDHANDLE* card, DWORD* activeProtocol) override
    {
        *card = 0x2000;
        if (activeProtocol)
            *activeProtocol = SCARD_PROTOCOL_T1;
        return SCARD_S_SUCCESS;
    }
    LONG Disconnect(SCARDHANDLE, DWORD) override { return SCARD_S_SUCCESS; }
    LONG Status(SCARDHANDLE, std::vector<uint8_t>& atr) override
    {
        atr.clear();
        return SCARD_S_SUCCESS;
    }
    LONG ReaderStates(SCARDCONTEXT, DWORD, const std::vector<std::string>&, std::vector<SReaderState>& states) override
    {
        states.clear();
        return SCARD_E_UNSUPPORTED_FEATURE;
    }
    LONG BeginTransaction(SCARDHANDLE) override { return SCARD_S_SUCCESS; }
    LONG EndTransaction(SCARDHANDLE, DWORD) override { return SCARD_S_SUCCESS; }
    LONG Transmit(SCARDHANDLE, const SCARD_IO_REQUEST*, const uint8_t*, DWORD, uint8_t* receive,
                  DWORD* receiveLength) override
    {
        return Answer(receive, *receiveLength, receiveLength);
    }
    LONG Control(SCARDHANDLE, DWORD, const uint8_t*, DWORD, uint8_t* receive, DWORD receiveSize,
                 DWORD* bytesReturned) override
    {
        return Answer(receive, receiveSize, bytesReturned);
    }

private:
    LONG Answer(uint8_t* receive, DWORD size, DWORD* returned)
    {
        if (m_answers.size() < 2)
            return SCARD_F_COMM_ERROR;
        const uint8_t result = m_answers[0];
        const size_t length = m_answers[1];
        m_answers = m_answers.subspan(2);
        const std::span<const uint8_t> bytes = m_answers.first(std::min(length, m_answers.size()));
        m_answers = m_answers.subspan(bytes.size());
        if (result >= 0x80)
            return kCodes[(result - 0x80) % std::size(kCodes)];
        std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), size), receive);
        *returned = static_cast<DWORD>(bytes.size());
        return SCARD_S_SUCCESS;
    }

    std::span<const uint8_t> m_answers;
};

std::shared_ptr<CAnswerFeed>& Feed()
{
    static auto feed = [] {
        auto service = std::make_shared<CAnswerFeed>();
        SetPcscService(service);
        return service;
    }();
    return feed;
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    Feed()->Feed({data + 1, size - 1});
    const int type = 1 + data[0] % kReaderTypes;
    const std::unique_ptr<CReaderMod> reader = CreatePcscModule(type, QStringLiteral("Fuzzed Reader 0"));
    reader->Open();

    constexpr std::array<uint8_t, 8> kUntouched = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    for (int attempt = 0; attempt < 2; ++attempt) {
        for (const uint16_t code : CCardReadAttempt::kSystemCodes) {
            std::array<uint8_t, 8> idm = kUntouched;
            std::array<uint8_t, 8> pmm = kUntouched;
            if (!reader->Polling(idm.data(), pmm.data(), code, 0, 0)) {
                Check(idm == kUntouched && pmm == kUntouched);
                continue;
            }
            HistoryBlockList blocks;
            const int read = reader->ReadBlocks(idm.data(), CCardReadAttempt::kHistoryService, code, &blocks,
                                                CCardReadAttempt::kHistoryBlocks);
            Check(read == 0 || read == 1);
            Check(read == 1 || blocks.empty());
            Check(blocks.size() <= CCardReadAttempt::kHistoryBlocks);
            for (const HistoryBlock& block : blocks)
                Check(block[0] != 0 || block[1] != 0);
            break;
        }
    }
    reader->GetVersionText();
    uint8_t mode = 0;
    reader->GetReaderMode(&mode);
    reader->SetReaderMode(0x42);
    reader->Close();
    return 0;
}
