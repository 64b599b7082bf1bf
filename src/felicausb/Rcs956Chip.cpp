#include "felicausb/Rcs956Chip.h"

#include <cstdio>

namespace {

constexpr unsigned kCommandTimeoutMs = 100;
// With one activation try (set up below) the chip gives up on an absent card quickly.
constexpr unsigned kListTimeoutMs = 500;
constexpr uint8_t kBaudRate212Felica = 0x01;
// InCommunicateThru status 01: the card did not answer in time.
constexpr uint8_t kStatusTimeout = 0x01;

// RFConfiguration items: timeouts (RFU, ATR_RES, InCommunicateThru), retries for the
// communication, and retries for ATR, PSL and passive activation. One activation try
// instead of the default endless ones, so a polling without a card comes back.
const ByteVector kTimings = {0x02, 0x0B, 0x0B, 0x0A};
const ByteVector kCommRetries = {0x04, 0x00};
const ByteVector kActivationRetries = {0x05, 0x00, 0x00, 0x01};
// Item 1, RF field: off, automatic RF collision avoidance on.
const ByteVector kFieldOff = {0x01, 0x02};

} // namespace

CRcs956Chip::CRcs956Chip(IUsbDevice& device)
    : CFelicaChip(device, FrameCodec::EFamily::Pn53x, 0xD4)
{
}

EChipResult CRcs956Chip::Setup()
{
    SendAck();
    Drain();
    ByteVector answer;
    // Back to mode 0: the chip's state machine refuses commands in other modes.
    EChipResult result = Command(kResetMode, {0x01}, kCommandTimeoutMs, answer);
    if (result != EChipResult::Ok)
        return result;
    SendAck();
    for (const ByteVector& item : {kTimings, kCommRetries, kActivationRetries}) {
        result = Command(kRfConfiguration, item, kCommandTimeoutMs, answer);
        if (result != EChipResult::Ok)
            return result;
    }
    return EChipResult::Ok;
}

EChipResult CRcs956Chip::Poll(uint16_t systemCode, uint8_t timeSlot, ByteVector& answer)
{
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

EChipResult CRcs956Chip::Exchange(const ByteVector& command, unsigned timeoutMs, ByteVector& answer)
{
    ByteVector reply;
    const EChipResult result = Command(kInCommunicateThru, WithLength(command), timeoutMs, reply);
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
    ByteVector answer;
    Command(kRfConfiguration, kFieldOff, kCommandTimeoutMs, answer);
    Command(kResetMode, {0x01}, kCommandTimeoutMs, answer);
    SendAck();
}
