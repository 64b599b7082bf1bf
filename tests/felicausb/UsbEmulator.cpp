#include "UsbEmulator.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint8_t kReadWithoutEncryption = 0x06;

// A device handle on one emulated reader; closing it frees the reader for the next open.
class CEmulatedDevice final : public IUsbDevice {
public:
    explicit CEmulatedDevice(CEmulatedReader& reader)
        : m_reader(reader)
    {
        m_reader.m_bOpen = true;
    }
    ~CEmulatedDevice() override { m_reader.m_bOpen = false; }

    CEmulatedDevice(const CEmulatedDevice&) = delete;
    CEmulatedDevice& operator=(const CEmulatedDevice&) = delete;

    EUsbResult Write(const ByteVector& bytes, unsigned) override { return m_reader.Write(bytes); }
    EUsbResult Read(ByteVector& bytes, unsigned timeoutMs) override { return m_reader.Read(bytes, timeoutMs); }

private:
    CEmulatedReader& m_reader;
};

ByteVector Tail(const ByteVector& bytes, size_t from)
{
    return from < bytes.size() ? ByteVector(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end())
                               : ByteVector();
}

} // namespace

CEmulatedReader::CEmulatedReader(uint16_t product, FrameCodec::EFamily family)
    : m_family(family)
{
    m_info.vendor = 0x054C;
    m_info.product = product;
}

EUsbResult CEmulatedReader::Write(const ByteVector& bytes)
{
    if (m_bGone)
        return EUsbResult::Gone;
    m_counts.bytesOut += bytes.size();
    m_written.push_back(bytes);
    ByteVector command;
    const FrameCodec::EFrameKind kind = FrameCodec::Decode(m_family, bytes, command);
    if (kind == FrameCodec::EFrameKind::Ack) {
        // The host cancels whatever is still to come.
        m_pending.clear();
        return EUsbResult::Ok;
    }
    if (kind != FrameCodec::EFrameKind::Data) {
        m_pending.push_back(FrameCodec::Nack());
        return EUsbResult::Ok;
    }
    ++m_counts.commands;
    if (m_bSilent)
        return EUsbResult::Ok;
    if (m_bAcksOnly) {
        m_pending.push_back(FrameCodec::Ack());
        return EUsbResult::Ok;
    }

    const bool due = FaultDue(command);
    if (due && m_fault == EEmulatedFault::DeviceGone) {
        m_bGone = true;
        return EUsbResult::Gone;
    }
    if (due && m_fault == EEmulatedFault::Nack) {
        m_pending.push_back(FrameCodec::Nack());
        return EUsbResult::Ok;
    }
    m_pending.push_back(FrameCodec::Ack());
    ByteVector response;
    if (!Respond(command, response)) {
        m_pending.push_back({0x00, 0x00, 0xFF, 0x01, 0xFF, 0x7F, 0x81, 0x00});
        return EUsbResult::Ok;
    }
    if (due && m_fault == EEmulatedFault::NoAnswer)
        return EUsbResult::Ok;
    if (due && m_fault == EEmulatedFault::Nonsense)
        response[1] = static_cast<uint8_t>(response[1] + 2);
    ByteVector frame = FrameCodec::Encode(m_family, response);
    if (due && m_fault == EEmulatedFault::WrongChecksum)
        frame[frame.size() - 2] = static_cast<uint8_t>(frame[frame.size() - 2] + 1);
    m_pending.push_back(frame);
    return EUsbResult::Ok;
}

EUsbResult CEmulatedReader::Read(ByteVector& bytes, unsigned timeoutMs)
{
    bytes.clear();
    if (m_bGone)
        return EUsbResult::Gone;
    // An empty queue is a reader that has nothing to say: the host's wait runs out.
    if (m_pending.empty()) {
        if (m_onWait)
            m_onWait(timeoutMs);
        return EUsbResult::Timeout;
    }
    bytes = m_pending.front();
    m_pending.pop_front();
    m_counts.bytesIn += bytes.size();
    return EUsbResult::Ok;
}

bool CEmulatedReader::FaultDue(const ByteVector& command)
{
    // Card frames sit behind two bytes of timeout (RC-S380) or none (RC-S956), after a length byte.
    const size_t offset = m_family == FrameCodec::EFamily::Rcs380 ? 5 : 3;
    const bool isCardRead = command.size() > offset
        && ((m_family == FrameCodec::EFamily::Rcs380 && command[1] == 0x04)
            || (m_family == FrameCodec::EFamily::Pn53x && command[1] == 0x42))
        && command[offset] == kReadWithoutEncryption;
    if (!isCardRead)
        return false;
    const int index = m_counts.readCommands++;
    return m_fault != EEmulatedFault::None && index >= m_nFaultFromRead && (m_nFaultTimes < 0 || index < m_nFaultFromRead + m_nFaultTimes);
}

bool CEmulatedReader::Respond(const ByteVector& command, ByteVector& response)
{
    if (command.size() < 2)
        return false;
    const uint8_t id = command[0];
    const uint8_t code = command[1];
    const ByteVector params = Tail(command, 2);
    ByteVector data;
    bool known = false;
    if (m_family == FrameCodec::EFamily::Rcs380 && id == 0xD6)
        known = Rcs380(code, params, data);
    else if (m_family == FrameCodec::EFamily::Pn53x && id == 0xD4)
        known = Rcs956(code, params, data);
    if (!known)
        return false;
    response = {static_cast<uint8_t>(id + 1), static_cast<uint8_t>(code + 1)};
    response.insert(response.end(), data.begin(), data.end());
    return true;
}

bool CEmulatedReader::Rcs380(uint8_t code, const ByteVector& params, ByteVector& data)
{
    switch (code) {
    case 0x00: // InSetRF
    case 0x02: // InSetProtocol
    case 0x06: // SwitchRF
    case 0x2A: // SetCommandType
        data = {0x00};
        return true;
    case 0x20: // GetFirmwareVersion: 1.11, minor first
        data = {0x11, 0x01};
        return true;
    case 0x04: { // InCommRF: timeout (2 bytes), then the card frame with its length first
        ++m_counts.cardFrames;
        const ByteVector frame = Tail(params, 2);
        // The reader's wait, in units of 0.1 ms, low byte first.
        const double waitUs = params.size() >= 2 ? 100.0 * (params[0] | params[1] << 8) : 0.0;
        ByteVector answer;
        if (frame.empty() || frame[0] != frame.size() || !CardAnswersWithin(Tail(frame, 1), waitUs)
            || !CardAnswer(Tail(frame, 1), answer)) {
            // A receive timeout: four status bytes and nothing after them, as nfcpy's
            // test_sense_ttf_with_no_target_found (tests/test_clf_rcs380.py) records it.
            data = {0x80, 0x00, 0x00, 0x00};
            return true;
        }
        data = {0x00, 0x00, 0x00, 0x00, 0x00, static_cast<uint8_t>(answer.size() + 1)};
        data.insert(data.end(), answer.begin(), answer.end());
        return true;
    }
    default:
        return false;
    }
}

bool CEmulatedReader::Rcs956(uint8_t code, const ByteVector& params, ByteVector& data)
{
    switch (code) {
    case 0x18: // ResetMode
        data.clear();
        return true;
    case 0x32: // RFConfiguration: item 01 the field (bit 0 on), item 02 the timeouts
        if (params.size() >= 2 && params[0] == 0x01)
            m_bFieldOn = (params[1] & 0x01) != 0;
        if (params.size() >= 4 && params[0] == 0x02)
            m_nCommTimeoutIndex = params[3];
        data.clear();
        return true;
    case 0x02: // GetFirmwareVersion: IC, version, revision, support
        data = {0x33, 0x01, 0x30, 0x07};
        return true;
    case 0x4A: { // InListPassiveTarget: one target, 212 kbps FeliCa, the polling command
        ++m_counts.cardFrames;
        ByteVector answer;
        if (params.size() < 3 || params[0] != 0x01 || params[1] != 0x01 || !CardAnswer(Tail(params, 2), answer)) {
            data = {0x00};
            return true;
        }
        data = {0x01, 0x01, static_cast<uint8_t>(answer.size() + 1)};
        data.insert(data.end(), answer.begin(), answer.end());
        return true;
    }
    case 0x42: { // InCommunicateThru: the card frame with its length first
        ++m_counts.cardFrames;
        // Index 0 waits without end.
        const double waitUs = m_nCommTimeoutIndex == 0 ? 1e12 : 100.0 * (1u << (m_nCommTimeoutIndex - 1));
        ByteVector answer;
        if (params.empty() || params[0] != params.size() || !CardAnswersWithin(Tail(params, 1), waitUs)
            || !CardAnswer(Tail(params, 1), answer)) {
            data = {0x01}; // timeout
            return true;
        }
        data = {0x00, static_cast<uint8_t>(answer.size() + 1)};
        data.insert(data.end(), answer.begin(), answer.end());
        return true;
    }
    default:
        return false;
    }
}

bool CEmulatedReader::CardAnswersWithin(const ByteVector& command, double waitUs) const
{
    if (!m_bCardTakesWholePmmTime || !m_card || command.size() < 13 || command[0] != kReadWithoutEncryption)
        return true;
    // The read command's PMm byte: a base A (bits 0-2), a time per block B (bits 3-5) and an
    // exponent E (bits 6-7); the card takes 302.1 us x ((B + 1) x blocks + A + 1) x 4^E, as
    // nfcpy's read_without_encryption (src/nfc/tag/tt3.py) computes it.
    const uint8_t timing = m_card->m_pmm[5];
    const double base = (timing & 7) + 1;
    const double perBlock = ((timing >> 3) & 7) + 1;
    const double scale = std::pow(4.0, timing >> 6);
    const double needUs = 302.1 * (perBlock * command[12] + base) * scale;
    return waitUs >= needUs;
}

bool CEmulatedReader::CardAnswer(const ByteVector& command, ByteVector& answer)
{
    if (!m_card || command.empty())
        return false;
    const CCardImage& card = *m_card;
    answer.clear();
    if (command[0] == 0x00 && command.size() == 5) { // Polling
        if (m_nCardRemovedAtBlock >= 0 || !card.AnswersSystem(static_cast<uint16_t>(command[1] << 8 | command[2])))
            return false;
        answer.push_back(0x01);
        answer.insert(answer.end(), card.m_idm.begin(), card.m_idm.end());
        answer.insert(answer.end(), card.m_pmm.begin(), card.m_pmm.end());
        return true;
    }
    if (command[0] != kReadWithoutEncryption || command.size() < 14
        || !std::equal(card.m_idm.begin(), card.m_idm.end(), command.begin() + 1))
        return false;
    const size_t services = command[9];
    if (services != 1 || command.size() < 13)
        return false;
    const uint16_t service = static_cast<uint16_t>(command[10] | command[11] << 8);
    const size_t blocks = command[12];
    if (command.size() != 13 + 2 * blocks)
        return false;
    answer.push_back(kReadWithoutEncryption + 1);
    answer.insert(answer.end(), card.m_idm.begin(), card.m_idm.end());
    ByteVector data;
    uint8_t flag2 = 0;
    size_t slotCount = 0;
    const HistoryBlockList* kept = card.ServiceBlocks(service, slotCount);
    for (size_t i = 0; i < blocks; ++i) {
        const uint8_t element = command[13 + 2 * i];
        const int number = command[14 + 2 * i];
        if (m_nCardRemovedAtBlock >= 0 && number >= m_nCardRemovedAtBlock)
            return false;
        // Status flag 2 as the card reports it: A1 service, A2 too many blocks, A8 block number.
        if (!kept)
            flag2 = 0xA6;
        else if (blocks > m_nMaxBlocksPerRead)
            flag2 = 0xA2;
        else if (element != 0x80 || number >= static_cast<int>(kept->size()))
            flag2 = 0xA8;
        if (flag2)
            break;
        data.insert(data.end(), (*kept)[static_cast<size_t>(number)].begin(),
                    (*kept)[static_cast<size_t>(number)].end());
    }
    if (flag2) {
        answer.push_back(0xFF);
        answer.push_back(flag2);
        return true;
    }
    answer.push_back(0x00);
    answer.push_back(0x00);
    answer.push_back(static_cast<uint8_t>(blocks));
    answer.insert(answer.end(), data.begin(), data.end());
    return true;
}

CEmulatedReader& CUsbEmulator::Plug(uint16_t product, std::optional<CCardImage> card)
{
    const FrameCodec::EFamily family = product == 0x02E1 ? FrameCodec::EFamily::Pn53x : FrameCodec::EFamily::Rcs380;
    auto reader = std::make_unique<CEmulatedReader>(product, family);
    reader->m_info.bus = 1;
    reader->m_info.address = static_cast<uint8_t>(10 + m_readers.size());
    reader->m_card = std::move(card);
    m_readers.push_back(std::move(reader));
    return *m_readers.back();
}

void CUsbEmulator::PlugOther(uint16_t vendor, uint16_t product)
{
    m_others.push_back({vendor, product, 1, static_cast<uint8_t>(2 + m_others.size())});
}

void CUsbEmulator::Clear()
{
    m_readers.clear();
    m_others.clear();
}

SEmulatorCounts CUsbEmulator::Counts() const
{
    SEmulatorCounts total;
    for (const auto& reader : m_readers) {
        total.commands += reader->m_counts.commands;
        total.cardFrames += reader->m_counts.cardFrames;
        total.readCommands += reader->m_counts.readCommands;
        total.bytesOut += reader->m_counts.bytesOut;
        total.bytesIn += reader->m_counts.bytesIn;
    }
    return total;
}

void CUsbEmulator::ResetCounts()
{
    for (auto& reader : m_readers)
        reader->m_counts = SEmulatorCounts{};
}

std::vector<SUsbDeviceInfo> CUsbEmulator::Devices()
{
    std::vector<SUsbDeviceInfo> devices = m_others;
    for (const auto& reader : m_readers) {
        if (!reader->m_bGone)
            devices.push_back(reader->m_info);
    }
    return devices;
}

std::unique_ptr<IUsbDevice> CUsbEmulator::Open(const SUsbDeviceInfo& device, EUsbResult& why)
{
    for (auto& reader : m_readers) {
        if (reader->m_info.bus != device.bus || reader->m_info.address != device.address)
            continue;
        if (reader->m_bGone) {
            why = EUsbResult::Gone;
            return nullptr;
        }
        // A handle still open counts as another program holding the reader.
        why = reader->m_bOpen ? EUsbResult::Busy : reader->m_openResult;
        if (why != EUsbResult::Ok)
            return nullptr;
        return std::make_unique<CEmulatedDevice>(*reader);
    }
    why = EUsbResult::Gone;
    return nullptr;
}
