#include "felicausb/Rcs380Chip.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr unsigned kCommandTimeoutMs = 100;

// InSetRF: send and receive settings for FeliCa at 212 kbps.
const ByteVector kRf212F = {0x01, 0x01, 0x0F, 0x01};
// InSetProtocol: the reader's protocol defaults as (setting, value) pairs, then the initial
// guard time a FeliCa card needs after the field comes on.
const ByteVector kProtocolDefaults = {0x00, 0x18, 0x01, 0x01, 0x02, 0x01, 0x03, 0x00, 0x04, 0x00, 0x05, 0x00,
                                      0x06, 0x00, 0x07, 0x08, 0x08, 0x00, 0x09, 0x00, 0x0A, 0x00, 0x0B, 0x00,
                                      0x0C, 0x00, 0x0E, 0x04, 0x0F, 0x00, 0x10, 0x00, 0x11, 0x00, 0x12, 0x00,
                                      0x13, 0x06};
const ByteVector kFelicaGuardTime = {0x00, 0x18};
// InCommRF answers four status bytes (a bit field, 0 for success), then, only on success,
// one more before the frame.
constexpr size_t kCommStatusSize = 4;
constexpr size_t kCommHeadSize = 5;

} // namespace

CRcs380Chip::CRcs380Chip(IUsbDevice& device)
    : CFelicaChip(device, FrameCodec::EFamily::Rcs380, 0xD6)
{
}

EChipResult CRcs380Chip::StatusCommand(uint8_t code, const ByteVector& params)
{
    ByteVector answer;
    const EChipResult result = Command(code, params, kCommandTimeoutMs, answer);
    if (result != EChipResult::Ok)
        return result;
    return !answer.empty() && answer[0] == 0 ? EChipResult::Ok : EChipResult::Refused;
}

EChipResult CRcs380Chip::Setup()
{
    SendAck();
    Drain();
    for (const auto& [code, params] : {std::pair{kSetCommandType, ByteVector{0x01}}, std::pair{kInSetRf, kRf212F},
                                       std::pair{kInSetProtocol, kProtocolDefaults},
                                       std::pair{kInSetProtocol, kFelicaGuardTime}}) {
        const EChipResult result = StatusCommand(code, params);
        if (result != EChipResult::Ok)
            return result;
    }
    return EChipResult::Ok;
}

EChipResult CRcs380Chip::Exchange(const ByteVector& command, std::chrono::microseconds timeout, ByteVector& answer)
{
    // The reader's own timeout is in units of 0.1 ms, low byte first, one millisecond over.
    const unsigned timeoutMs = CeilMs(timeout);
    const unsigned units = std::min((timeoutMs + 1) * 10, 0xFFFFu);
    ByteVector params = {static_cast<uint8_t>(units & 0xFF), static_cast<uint8_t>(units >> 8)};
    const ByteVector frame = WithLength(command);
    params.insert(params.end(), frame.begin(), frame.end());
    ByteVector reply;
    const EChipResult result = Command(kInCommRf, params, timeoutMs, reply);
    if (result != EChipResult::Ok)
        return result;
    if (reply.size() < kCommStatusSize)
        return EChipResult::BadFrame;
    // Any status bit (receive timeout, CRC error...) means no usable answer from the card.
    if (!std::all_of(reply.begin(), reply.begin() + kCommStatusSize, [](uint8_t b) { return b == 0; }))
        return EChipResult::NoCard;
    if (reply.size() < kCommHeadSize)
        return EChipResult::BadFrame;
    const ByteVector cardFrame(reply.begin() + kCommHeadSize, reply.end());
    return WithoutLength(cardFrame, answer) ? EChipResult::Ok : EChipResult::BadFrame;
}

std::string CRcs380Chip::Firmware()
{
    ByteVector answer;
    if (Command(kGetFirmwareVersion, {}, kCommandTimeoutMs, answer) != EChipResult::Ok || answer.size() < 2)
        return std::string();
    // Minor version first, as binary-coded decimal.
    char text[32];
    std::snprintf(text, sizeof text, "%x.%02x", answer[1], answer[0]);
    return text;
}

void CRcs380Chip::Shutdown()
{
    StatusCommand(kSwitchRf, {0x00});
    SendAck();
}
