#include "felicausb/Rcs956Chip.h"

#include <cstdio>
#include <thread>

namespace {

constexpr unsigned kCommandTimeoutMs = 100;
// With one activation try (set up below) the chip gives up on an absent card quickly.
constexpr unsigned kListTimeoutMs = 500;
constexpr uint8_t kBaudRate212Felica = 0x01;
// InCommunicateThru status 01: the card did not answer in time.
constexpr uint8_t kStatusTimeout = 0x01;

constexpr std::chrono::milliseconds kResetModePause{10};
// Some FeliCa cards need this long in the field before they answer a polling.
constexpr std::chrono::milliseconds kFieldOnPause{5};

// RFConfiguration items: timeouts (RFU, ATR_RES, InCommunicateThru), retries for the
// communication, and retries for ATR, PSL and passive activation. One activation try
// instead of the default endless ones, so a polling without a card comes back. Before each
// card frame the timeouts are set again, with the card's own time for InCommunicateThru.
constexpr uint8_t kTimingsItem = 0x02;
constexpr uint8_t kSetupCommTimeoutIndex = 0x0A;
const ByteVector kTimings = {kTimingsItem, 0x0B, 0x0B, kSetupCommTimeoutIndex};
const ByteVector kCommRetries = {0x04, 0x00};
const ByteVector kActivationRetries = {0x05, 0x00, 0x00, 0x01};
// Item 1, RF field: off with automatic RF collision avoidance on; on.
const ByteVector kFieldOff = {0x01, 0x02};
const ByteVector kFieldOn = {0x01, 0x01};

// What InCommunicateThru timeout index n waits.
std::chrono::microseconds CommTimeout(uint8_t index)
{
    return std::chrono::microseconds(int64_t{100} << (index - 1));
}

} // namespace

CRcs956Chip::CRcs956Chip(IUsbDevice& device)
    : CFelicaChip(device, FrameCodec::EFamily::Pn53x, 0xD4)
{
}

EChipResult CRcs956Chip::ResetMode()
{
    ByteVector answer;
    const EChipResult result = Command(kResetMode, {0x01}, kCommandTimeoutMs, answer);
    SendAck();
    std::this_thread::sleep_for(kResetModePause);
    return result;
}

EChipResult CRcs956Chip::Configure(const ByteVector& item)
{
    ByteVector answer;
    return Command(kRfConfiguration, item, kCommandTimeoutMs, answer);
}

EChipResult CRcs956Chip::Setup()
{
    SendAck();
    Drain();
    m_bFieldOn = false;
    m_nCommTimeoutIndex = 0;
    EChipResult result = ResetMode();
    if (result != EChipResult::Ok)
        return result;
    for (const ByteVector& item : {kTimings, kCommRetries, kActivationRetries}) {
        result = Configure(item);
        if (result != EChipResult::Ok)
            return result;
    }
    m_nCommTimeoutIndex = kSetupCommTimeoutIndex;
    return EChipResult::Ok;
}

uint8_t CRcs956Chip::CommTimeoutIndex(std::chrono::microseconds timeout)
{
    uint8_t index = 1;
    while (index < 16 && CommTimeout(index) < timeout)
        ++index;
    return index;
}

EChipResult CRcs956Chip::Poll(uint16_t systemCode, uint8_t timeSlot, ByteVector& answer)
{
    if (!m_bFieldOn) {
        const EChipResult result = Configure(kFieldOn);
        if (result != EChipResult::Ok)
            return result;
        m_bFieldOn = true;
        std::this_thread::sleep_for(kFieldOnPause);
    }
    // One target at 212 kbps FeliCa; the initiator data is the card's polling command.
    ByteVector params = {0x01, kBaudRate212Felica};
    const ByteVector polling = FelicaPollingCommand(systemCode, timeSlot);
    params.insert(params.end(), polling.begin(), polling.end());
    ByteVector reply;
    const EChipResult result = Command(kInListPassiveTarget, params, kListTimeoutMs, reply);
    if (result != EChipResult::Ok)
        return result;
    // Number of targets, target number, then the polling response with its length first.
    if (reply.empty())
        return EChipResult::BadFrame;
    if (reply[0] == 0)
        return EChipResult::NoCard;
    if (reply.size() < 3)
        return EChipResult::BadFrame;
    return WithoutLength(ByteVector(reply.begin() + 2, reply.end()), answer) ? EChipResult::Ok
                                                                             : EChipResult::BadFrame;
}

EChipResult CRcs956Chip::Exchange(const ByteVector& command, std::chrono::microseconds timeout, ByteVector& answer)
{
    // The chip, not the host, gives up on the card: its timeout first, the host waiting a
    // little longer.
    const uint8_t index = CommTimeoutIndex(timeout);
    if (index != m_nCommTimeoutIndex) {
        const EChipResult set = Configure({kTimingsItem, 0x0A, 0x0B, index});
        if (set != EChipResult::Ok)
            return set;
        m_nCommTimeoutIndex = index;
    }
    const unsigned chipMs = CeilMs(CommTimeout(index));
    ByteVector reply;
    const EChipResult result = Command(kInCommunicateThru, WithLength(command), chipMs, reply);
    if (result != EChipResult::Ok)
        return result;
    if (reply.empty())
        return EChipResult::BadFrame;
    if (reply[0] != 0)
        return (reply[0] & 0x3F) == kStatusTimeout ? EChipResult::NoCard : EChipResult::BadFrame;
    return WithoutLength(ByteVector(reply.begin() + 1, reply.end()), answer) ? EChipResult::Ok
                                                                             : EChipResult::BadFrame;
}

std::string CRcs956Chip::Firmware()
{
    // IC, version, revision, supported card types.
    ByteVector answer;
    if (Command(kGetFirmwareVersion, {}, kCommandTimeoutMs, answer) != EChipResult::Ok || answer.size() < 4)
        return std::string();
    char text[32];
    std::snprintf(text, sizeof text, "%x.%x", answer[1], answer[2]);
    return text;
}

void CRcs956Chip::Shutdown()
{
    // The chip takes RFConfiguration only in mode 0, which polling left.
    ResetMode();
    Configure(kFieldOff);
    m_bFieldOn = false;
}
