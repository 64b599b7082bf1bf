#include "felicausb/FrameCodec.h"

namespace FrameCodec {

namespace {

constexpr uint8_t kStart[] = {0x00, 0x00, 0xFF};

constexpr size_t kShortLimit = 254;

bool StartsWith(const ByteVector& frame, std::initializer_list<uint8_t> bytes)
{
    if (frame.size() < bytes.size())
        return false;
    size_t i = 0;
    for (uint8_t b : bytes) {
        if (frame[i++] != b)
            return false;
    }
    return true;
}

} // namespace

uint8_t Checksum(const uint8_t* bytes, size_t count)
{
    unsigned sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

ByteVector Ack()
{
    return {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00};
}

ByteVector Nack()
{
    return {0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00};
}

ByteVector Encode(EFamily family, const ByteVector& data)
{
    ByteVector frame(std::begin(kStart), std::end(kStart));
    const size_t length = data.size();
    if (family == EFamily::Pn53x && length <= kShortLimit) {
        frame.push_back(static_cast<uint8_t>(length));
        frame.push_back(Checksum(&frame[3], 1));
    } else {
        frame.push_back(0xFF);
        frame.push_back(0xFF);
        const uint8_t high = static_cast<uint8_t>(length >> 8);
        const uint8_t low = static_cast<uint8_t>(length & 0xFF);
        if (family == EFamily::Rcs380) {
            frame.push_back(low);
            frame.push_back(high);
        } else {
            frame.push_back(high);
            frame.push_back(low);
        }
        frame.push_back(Checksum(&frame[5], 2));
    }
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(Checksum(data.data(), data.size()));
    frame.push_back(0x00);
    return frame;
}

EFrameKind Decode(EFamily family, const ByteVector& frame, ByteVector& data)
{
    data.clear();
    if (frame == Ack())
        return EFrameKind::Ack;
    if (frame == Nack())
        return EFrameKind::Nack;
    // The PN53x error frame for a command it could not parse; the RC-S380 sends only its start.
    if (StartsWith(frame, {0x00, 0x00, 0xFF, 0x01, 0xFF, 0x7F}) || frame == ByteVector{0x00, 0x00, 0xFF, 0xFF, 0xFF})
        return EFrameKind::Error;
    if (!StartsWith(frame, {0x00, 0x00, 0xFF}) || frame.size() < 6)
        return EFrameKind::Bad;

    size_t length = 0;
    size_t head = 0;
    if (frame[3] == 0xFF && frame[4] == 0xFF) {
        if (frame.size() < 8 || Checksum(&frame[5], 2) != frame[7])
            return EFrameKind::Bad;
        length = family == EFamily::Rcs380 ? (frame[5] | frame[6] << 8) : (frame[5] << 8 | frame[6]);
        head = 8;
    } else {
        if (Checksum(&frame[3], 1) != frame[4])
            return EFrameKind::Bad;
        length = frame[3];
        head = 5;
    }
    // Data, its checksum and the postamble; USB may pad nothing after them.
    if (length == 0 || frame.size() < head + length + 2)
        return EFrameKind::Bad;
    if (Checksum(&frame[head], length) != frame[head + length])
        return EFrameKind::Bad;
    data.assign(frame.begin() + static_cast<std::ptrdiff_t>(head),
                frame.begin() + static_cast<std::ptrdiff_t>(head + length));
    return EFrameKind::Data;
}

} // namespace FrameCodec
