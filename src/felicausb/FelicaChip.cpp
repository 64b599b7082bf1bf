#include "felicausb/FelicaChip.h"

#include <algorithm>

namespace {

// The reader acknowledges at once; only the card's answer takes time.
constexpr unsigned kWriteTimeoutMs = 100;
constexpr unsigned kAckTimeoutMs = 100;
constexpr unsigned kDrainTimeoutMs = 10;
constexpr int kDrainLimit = 8;
// A polling answer comes within the slots the card may choose from, some 1.2 ms each.
constexpr std::chrono::microseconds kPollingTimeout{20000};

EChipResult FromUsb(EUsbResult result)
{
    return result == EUsbResult::Gone ? EChipResult::Gone : EChipResult::NoAnswer;
}

EChipResult FromFrameKind(FrameCodec::EFrameKind kind)
{
    switch (kind) {
    case FrameCodec::EFrameKind::Nack:
        return EChipResult::Nack;
    case FrameCodec::EFrameKind::Error:
        return EChipResult::Refused;
    default:
        return EChipResult::BadFrame;
    }
}

} // namespace

CFelicaChip::CFelicaChip(IUsbDevice& device, FrameCodec::EFamily family, uint8_t commandId)
    : m_device(device)
    , m_family(family)
    , m_commandId(commandId)
{
}

EChipResult CFelicaChip::Poll(uint16_t systemCode, uint8_t timeSlot, ByteVector& answer)
{
    return Exchange(FelicaPollingCommand(systemCode, timeSlot), kPollingTimeout, answer);
}

EChipResult CFelicaChip::Command(uint8_t code, const ByteVector& params, unsigned timeoutMs, ByteVector& answer)
{
    answer.clear();
    // Sized first: GCC 12 at -O3 takes an insert after a braced list for an overflow.
    ByteVector data(params.size() + 2);
    data[0] = m_commandId;
    data[1] = code;
    std::copy(params.begin(), params.end(), data.begin() + 2);
    EUsbResult usb = m_device.Write(FrameCodec::Encode(m_family, data), kWriteTimeoutMs);
    if (usb != EUsbResult::Ok)
        return FromUsb(usb);

    ByteVector frame;
    ByteVector payload;
    usb = m_device.Read(frame, kAckTimeoutMs);
    if (usb != EUsbResult::Ok)
        return FromUsb(usb);
    const FrameCodec::EFrameKind ack = FrameCodec::Decode(m_family, frame, payload);
    if (ack != FrameCodec::EFrameKind::Ack)
        return FromFrameKind(ack);

    usb = m_device.Read(frame, timeoutMs + kAckTimeoutMs);
    if (usb != EUsbResult::Ok) {
        if (usb == EUsbResult::Timeout)
            SendAck();
        return FromUsb(usb);
    }
    const FrameCodec::EFrameKind kind = FrameCodec::Decode(m_family, frame, payload);
    if (kind != FrameCodec::EFrameKind::Data)
        return FromFrameKind(kind);
    // The response identifier and code follow the command's by one.
    if (payload.size() < 2 || payload[0] != m_commandId + 1 || payload[1] != code + 1)
        return EChipResult::BadFrame;
    answer.assign(payload.begin() + 2, payload.end());
    return EChipResult::Ok;
}

void CFelicaChip::SendAck()
{
    m_device.Write(FrameCodec::Ack(), kWriteTimeoutMs);
}

void CFelicaChip::Drain()
{
    ByteVector frame;
    for (int i = 0; i < kDrainLimit && m_device.Read(frame, kDrainTimeoutMs) == EUsbResult::Ok; ++i) {
    }
}

ByteVector CFelicaChip::WithLength(const ByteVector& command)
{
    ByteVector frame(command.size() + 1);
    frame[0] = static_cast<uint8_t>(command.size() + 1);
    std::copy(command.begin(), command.end(), frame.begin() + 1);
    return frame;
}

bool CFelicaChip::WithoutLength(const ByteVector& frame, ByteVector& response)
{
    if (frame.size() < 2 || frame[0] != frame.size())
        return false;
    response.assign(frame.begin() + 1, frame.end());
    return true;
}

unsigned CFelicaChip::CeilMs(std::chrono::microseconds time)
{
    return static_cast<unsigned>((time.count() + 999) / 1000);
}

ByteVector FelicaPollingCommand(uint16_t systemCode, uint8_t timeSlot)
{
    return {0x00, static_cast<uint8_t>(systemCode >> 8), static_cast<uint8_t>(systemCode & 0xFF), 0x00, timeSlot};
}
