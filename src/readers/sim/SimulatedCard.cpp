#include "readers/sim/SimulatedCard.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {

constexpr uint8_t kClassPseudo = 0xFF;
constexpr uint8_t kInsPolling = 0x40;
constexpr uint8_t kInsRead = 0x46;
constexpr uint8_t kInsPassThrough = 0xAB;
constexpr uint8_t kInsCircleCommand = 0x00; // also the direct transmit FF 00 00 00
constexpr uint8_t kInsGetData = 0xCA;
constexpr uint8_t kInsSelectFile = 0xA4;
constexpr uint8_t kInsReadBinary = 0xB0;
constexpr uint8_t kInsGetResponse = 0xC0;

constexpr uint8_t kPn532Command = 0xD4;
constexpr uint8_t kPn532Answer = 0xD5;
constexpr uint8_t kPn532InListPassiveTarget = 0x4A;
constexpr uint8_t kPn532InDataExchange = 0x40;
constexpr uint8_t kPn532InCommunicateThru = 0x42;
constexpr uint8_t kPn532Timeout = 0x01; // PN532 status: the target did not answer

// ISO 7816 status words of the storage-card commands.
constexpr uint16_t kSwWrongP1P2 = 0x6A86;
constexpr uint16_t kSwNotSelected = 0x6986;
constexpr uint16_t kSwFileNotFound = 0x6A82;
constexpr uint16_t kSwBlockRefused = 0x6A81;

constexpr uint8_t kFelicaPolling = 0x00;
constexpr uint8_t kFelicaReadWithoutEncryption = 0x06;
// FeliCa status flag 2 values for a read the card refuses.
constexpr uint8_t kFlagIllegalService = 0xA6;
constexpr uint8_t kFlagIllegalBlock = 0xA8;
constexpr uint8_t kFlagIllegalBlockCount = 0xA2;

// The PC/SC storage-card ATR for a FeliCa card: application identifier with RID
// A0 00 00 03 06, standard 11 (FeliCa), card name 00 3B; pcscd settles on T=1 for it.
const std::vector<uint8_t> kFelicaAtr = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                                         0x03, 0x06, 0x11, 0x00, 0x3B, 0x00, 0x00, 0x00, 0x00, 0x42};

void Append(std::vector<uint8_t>& out, std::span<const uint8_t> bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void AppendWord(std::vector<uint8_t>& out, uint16_t word)
{
    out.push_back(static_cast<uint8_t>(word >> 8));
    out.push_back(static_cast<uint8_t>(word & 0xFF));
}

} // namespace

std::vector<uint8_t> CSimulatedCard::StatusWordOnly(uint16_t statusWord)
{
    std::vector<uint8_t> out;
    AppendWord(out, statusWord);
    return out;
}

CSimulatedCard::CSimulatedCard(CCardImage image)
    : m_image(std::move(image))
    , m_atr(m_image.m_atr.empty() ? kFelicaAtr : m_image.m_atr)
{
}

void CSimulatedCard::SetFirmwareVersion(uint8_t major, uint8_t minor)
{
    m_nFirmwareMajor = major;
    m_nFirmwareMinor = minor;
}

std::vector<uint8_t> CSimulatedCard::Transmit(std::span<const uint8_t> apdu)
{
    if (apdu.size() < 5)
        return StatusWordOnly(kSwWrongLength);
    if (apdu[0] != kClassPseudo)
        return StatusWordOnly(kSwBadClass);
    // GET DATA, READ BINARY and GET RESPONSE are case-2 APDUs: header and Le.
    if (apdu[1] == kInsGetData || apdu[1] == kInsReadBinary || apdu[1] == kInsGetResponse)
        return apdu.size() == 5 ? AnswerStorageCard(apdu) : StatusWordOnly(kSwWrongLength);
    // Every other frame here is a case-3 APDU: header, Lc, exactly Lc data bytes.
    if (apdu.size() != 5u + apdu[4])
        return StatusWordOnly(kSwWrongLength);

    switch (apdu[1]) {
    case kInsPolling: {
        std::vector<uint8_t> answer = AnswerPolling(apdu.subspan(5));
        if (answer.empty())
            return StatusWordOnly(apdu[4] == 4 ? kSwNoAnswer : kSwWrongLength);
        AppendWord(answer, kSwOk);
        return answer;
    }
    case kInsRead:
        return AnswerDirectRead(apdu);
    case kInsPassThrough:
        return AnswerPassThrough(apdu);
    case kInsSelectFile:
        return AnswerStorageCard(apdu);
    case kInsCircleCommand: {
        if (apdu[2] == 0x00 && apdu[3] == 0x00 && apdu[4] > 0 && apdu[5] == kPn532Command)
            return AnswerPn532(apdu.subspan(5));
        // The Circle reader's preparation for pass-through reads: FF 00 41 81 01 0C.
        static constexpr uint8_t kPreparation[] = {0xFF, 0x00, 0x41, 0x81, 0x01, 0x0C};
        if (std::equal(apdu.begin(), apdu.end(), std::begin(kPreparation), std::end(kPreparation)))
            return StatusWordOnly(kSwOk);
        return StatusWordOnly(kSwBadInstruction);
    }
    default:
        return StatusWordOnly(kSwBadInstruction);
    }
}

// request: system code (high byte first), request code, time slot. The FeliCa polling
// answer without length and response code; empty when the card stays silent.
std::vector<uint8_t> CSimulatedCard::AnswerPolling(std::span<const uint8_t> request) const
{
    if (request.size() != 4)
        return {};
    const uint16_t systemCode = static_cast<uint16_t>(request[0] << 8 | request[1]);
    if (!m_image.AnswersSystem(systemCode))
        return {};
    std::vector<uint8_t> answer;
    Append(answer, m_image.m_idm);
    Append(answer, m_image.m_pmm);
    // Request code 01 asks for the system code of the system that answered.
    if (request[2] == 0x01)
        AppendWord(answer, systemCode == 0xFFFF ? m_image.m_systems.front() : systemCode);
    return answer;
}

// FF 46 01 01 04 VL VH 80 n: IDm, status flags, block count and block, then 90 00.
std::vector<uint8_t> CSimulatedCard::AnswerDirectRead(std::span<const uint8_t> apdu) const
{
    if (apdu[4] != 4 || apdu[7] != 0x80)
        return StatusWordOnly(kSwWrongLength);
    const uint16_t serviceCode = static_cast<uint16_t>(apdu[6] << 8 | apdu[5]);
    const uint8_t blockNumber = apdu[8];
    const SBlockAnswer block = ReadBlock(serviceCode, blockNumber);

    std::vector<uint8_t> answer;
    Append(answer, m_image.m_idm);
    answer.push_back(block.flag1);
    answer.push_back(block.flag2);
    if (!block.data.empty()) {
        answer.push_back(1);
        Append(answer, block.data);
    }
    AppendWord(answer, kSwOk);
    return FinishBlockAnswer(blockNumber, std::move(answer));
}

// FF AB 00 00 Lc, then a FeliCa command without its length byte. The answer is the
// card's response frame, length byte first, then 90 00.
std::vector<uint8_t> CSimulatedCard::AnswerPassThrough(std::span<const uint8_t> apdu) const
{
    return AnswerFelicaCommand(apdu.subspan(5));
}

// A FeliCa command without its length byte: the response frame, length byte first, and
// 90 00, or only the status word the reader gives when the card stays silent.
std::vector<uint8_t> CSimulatedCard::AnswerFelicaCommand(std::span<const uint8_t> command) const
{
    if (command.empty())
        return StatusWordOnly(kSwWrongLength);

    std::vector<uint8_t> frame{0x00, static_cast<uint8_t>(command[0] + 1)};
    std::optional<uint8_t> faultBlock;
    if (command[0] == kFelicaPolling) {
        const std::vector<uint8_t> polling = AnswerPolling(command.subspan(1));
        if (polling.empty())
            return StatusWordOnly(kSwNoAnswer);
        Append(frame, polling);
    } else if (command[0] == kFelicaReadWithoutEncryption) {
        // 06, IDm, service count, services (low byte first), block count, two-byte elements.
        const size_t services = command.size() > 9 ? command[9] : 0;
        const size_t blockCountAt = 10 + 2 * services;
        if (services == 0 || command.size() <= blockCountAt)
            return StatusWordOnly(kSwWrongLength);
        const size_t blocks = command[blockCountAt];
        if (command.size() != blockCountAt + 1 + 2 * blocks)
            return StatusWordOnly(kSwWrongLength);
        if (!std::equal(m_image.m_idm.begin(), m_image.m_idm.end(), command.begin() + 1))
            return StatusWordOnly(kSwNoAnswer); // addressed to another card
        Append(frame, m_image.m_idm);
        std::vector<uint8_t> data;
        uint8_t flag1 = 0;
        uint8_t flag2 = 0;
        if (blocks > m_nBlocksPerRead) {
            flag1 = 0x01;
            flag2 = kFlagIllegalBlockCount;
        }
        for (size_t i = 0; i < blocks && flag1 == 0; ++i) {
            const uint8_t element = command[blockCountAt + 1 + 2 * i];
            const uint8_t blockNumber = command[blockCountAt + 2 + 2 * i];
            const size_t serviceIndex = element & 0x0F;
            if ((element & 0x80) == 0 || serviceIndex >= services) {
                flag1 = 0x01;
                flag2 = kFlagIllegalService;
                break;
            }
            const uint16_t serviceCode =
                static_cast<uint16_t>(command[11 + 2 * serviceIndex] << 8 | command[10 + 2 * serviceIndex]);
            const SBlockAnswer block = ReadBlock(serviceCode, blockNumber);
            flag1 = block.flag1;
            flag2 = block.flag2;
            Append(data, block.data);
            if (!faultBlock)
                faultBlock = blockNumber;
        }
        frame.push_back(flag1);
        frame.push_back(flag2);
        if (flag1 == 0) {
            frame.push_back(static_cast<uint8_t>(blocks));
            Append(frame, data);
        }
    } else {
        return StatusWordOnly(kSwNoAnswer); // a command this card does not answer
    }
    frame[0] = static_cast<uint8_t>(frame.size());
    AppendWord(frame, kSwOk);
    return faultBlock ? FinishBlockAnswer(*faultBlock, std::move(frame)) : frame;
}

// GET DATA (the IDm), SELECT FILE of a service (low byte first), READ BINARY of Le / 16
// blocks from block P2 (Le 00: one block), and GET RESPONSE of a PN532 answer held back.
std::vector<uint8_t> CSimulatedCard::AnswerStorageCard(std::span<const uint8_t> apdu)
{
    switch (apdu[1]) {
    case kInsGetData: {
        if (apdu[2] != 0x00 || apdu[3] != 0x00)
            return StatusWordOnly(kSwWrongP1P2);
        std::vector<uint8_t> answer(m_image.m_idm.begin(), m_image.m_idm.end());
        AppendWord(answer, kSwOk);
        return answer;
    }
    case kInsSelectFile: {
        if (apdu[2] != 0x00 || apdu[3] != 0x01 || apdu[4] != 2)
            return StatusWordOnly(kSwWrongP1P2);
        const uint16_t service = static_cast<uint16_t>(apdu[6] << 8 | apdu[5]);
        size_t slotCount = 0;
        if (!m_image.ServiceBlocks(service, slotCount))
            return StatusWordOnly(kSwFileNotFound);
        m_selectedService = service;
        return StatusWordOnly(kSwOk);
    }
    case kInsReadBinary:
        if (apdu[2] != 0x00)
            return StatusWordOnly(kSwWrongP1P2);
        return FinishBlockAnswer(apdu[3], AnswerReadBinary(apdu[3], apdu[4]));
    case kInsGetResponse: {
        if (m_pendingResponse.empty() || apdu[4] != m_pendingResponse.size())
            return StatusWordOnly(kSwWrongLength);
        std::vector<uint8_t> answer = std::exchange(m_pendingResponse, {});
        AppendWord(answer, kSwOk);
        return answer;
    }
    default:
        return StatusWordOnly(kSwBadInstruction);
    }
}

std::vector<uint8_t> CSimulatedCard::AnswerReadBinary(uint8_t first, uint8_t le) const
{
    if (!m_selectedService)
        return StatusWordOnly(kSwNotSelected);
    if (le % 16 != 0)
        return StatusWordOnly(kSwWrongLength);
    const size_t blocks = le == 0 ? 1 : le / 16;
    if (blocks > m_nBlocksPerRead)
        return StatusWordOnly(kSwBlockRefused);
    std::vector<uint8_t> answer;
    for (size_t i = 0; i < blocks; ++i) {
        const SBlockAnswer block = ReadBlock(*m_selectedService, static_cast<uint8_t>(first + i));
        if (block.flag1 != 0)
            return StatusWordOnly(kSwBlockRefused);
        Append(answer, block.data);
    }
    AppendWord(answer, kSwOk);
    return answer;
}

// A PN532 command from the direct transmit: InListPassiveTarget of one FeliCa target at
// 212 kbps, and the FeliCa frames of InDataExchange (target 1) and InCommunicateThru.
std::vector<uint8_t> CSimulatedCard::AnswerPn532(std::span<const uint8_t> command)
{
    if (command.size() < 2)
        return StatusWordOnly(kSwWrongLength);
    std::vector<uint8_t> answer{kPn532Answer, static_cast<uint8_t>(command[1] + 1)};
    std::span<const uint8_t> felica;
    switch (command[1]) {
    case kPn532InListPassiveTarget: {
        // 4A, max targets, baud rate 01 (212 kbps), FeliCa polling 00 SH SL RC TSN.
        if (command.size() != 9 || command[2] != 0x01 || command[3] != 0x01 || command[4] != kFelicaPolling)
            return StatusWordOnly(kSwWrongLength);
        const std::vector<uint8_t> polling = AnswerPolling(command.subspan(5));
        if (polling.empty()) {
            answer.push_back(0x00); // no target found
        } else {
            answer.insert(answer.end(), {0x01, 0x01, static_cast<uint8_t>(polling.size() + 2), 0x01});
            Append(answer, polling);
        }
        break;
    }
    case kPn532InDataExchange:
        if (command.size() < 4 || command[2] != 0x01)
            return StatusWordOnly(kSwWrongLength);
        felica = command.subspan(3);
        break;
    case kPn532InCommunicateThru:
        if (command.size() < 3)
            return StatusWordOnly(kSwWrongLength);
        felica = command.subspan(2);
        break;
    default:
        return StatusWordOnly(kSwBadInstruction);
    }
    if (!felica.empty()) {
        // The FeliCa frame keeps its length byte here.
        if (felica[0] != felica.size())
            return StatusWordOnly(kSwWrongLength);
        std::vector<uint8_t> response = AnswerFelicaCommand(felica.subspan(1));
        const bool ok = response.size() > 2 && response[response.size() - 2] == 0x90 && response.back() == 0x00;
        answer.push_back(ok ? 0x00 : kPn532Timeout);
        if (ok)
            answer.insert(answer.end(), response.begin(), response.end() - 2);
    }
    if (m_bPn532GetResponse) {
        const auto size = static_cast<uint8_t>(answer.size());
        m_pendingResponse = std::move(answer);
        return {0x61, size};
    }
    AppendWord(answer, kSwOk);
    return answer;
}

CSimulatedCard::SBlockAnswer CSimulatedCard::ReadBlock(uint16_t serviceCode, uint8_t block) const
{
    size_t slotCount = 0;
    const HistoryBlockList* blocks = m_image.ServiceBlocks(serviceCode, slotCount);
    if (!blocks)
        return {0x01, kFlagIllegalService, {}};
    if (block >= std::max(slotCount, blocks->size()))
        return {0x01, kFlagIllegalBlock, {}};
    if (block < blocks->size())
        return {0, 0, {(*blocks)[block].begin(), (*blocks)[block].end()}};
    return {0, 0, std::vector<uint8_t>(16, 0)};
}

bool CSimulatedCard::Control(std::span<const uint8_t> command, std::vector<uint8_t>& answer)
{
    answer.clear();
    const auto is = [&command](std::initializer_list<uint8_t> prefix, size_t size) {
        return command.size() == size && std::equal(prefix.begin(), prefix.end(), command.begin());
    };
    // The three escape dialects: ACS (CPcscMod), Identiv (CPcscCloud), Circle (CPcscMrica).
    if (is({0x1E}, 1)) {
        answer = {m_nFirmwareMajor, m_nFirmwareMinor};
    } else if (is({0x95}, 2) || is({0x95, 0xFF}, 3) || is({0xFF, 0x00, 0x41, 0x01, 0x01}, 6)) {
        m_nReaderMode = command.back();
    } else if (is({0x94}, 1) || is({0x94, 0xFF}, 2) || is({0xFF, 0x00, 0x41, 0x01, 0x00}, 5)) {
        answer = {m_nReaderMode};
    } else {
        return false;
    }
    return true;
}
