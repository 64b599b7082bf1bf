// Host frames of both chip families, against frames written out by hand from the protocol.
#include "HexBytes.h"
#include "felicausb/FrameCodec.h"

#include <gtest/gtest.h>

namespace {

using FrameCodec::EFamily;
using FrameCodec::EFrameKind;

TEST(FrameCodec, EncodesTheFrameOfEachFamily)
{
    // PN53x GetFirmwareVersion: short length with its checksum.
    EXPECT_EQ(FrameCodec::Encode(EFamily::Pn53x, HexBytes("D4 02")), HexBytes("00 00 FF 02 FE D4 02 2A 00"));
    // RC-S380 SetCommandType 1: always extended, length low byte first.
    EXPECT_EQ(FrameCodec::Encode(EFamily::Rcs380, HexBytes("D6 2A 01")),
              HexBytes("00 00 FF FF FF 03 00 FD D6 2A 01 FF 00"));
    // Past 254 bytes the PN53x frame is extended too, length high byte first.
    const ByteVector frame = FrameCodec::Encode(EFamily::Pn53x, ByteVector(255, 0x00));
    ASSERT_EQ(frame.size(), 265u);
    EXPECT_EQ(ByteVector(frame.begin(), frame.begin() + 8), HexBytes("00 00 FF FF FF 00 FF 01"));
    EXPECT_EQ(ByteVector(frame.end() - 2, frame.end()), HexBytes("00 00"));
}

struct DecodeCase {
    const char* name;
    EFamily family;
    const char* frame;
    EFrameKind kind;
    const char* data;
};

TEST(FrameCodec, DecodesAndChecksEveryField)
{
    const DecodeCase cases[] = {
        {"Pn53xResponse", EFamily::Pn53x, "00 00 FF 06 FA D5 03 32 01 06 07 E8 00", EFrameKind::Data,
         "D5 03 32 01 06 07"},
        {"Rcs380Response", EFamily::Rcs380, "00 00 FF FF FF 04 00 FC D7 21 11 01 F6 00", EFrameKind::Data,
         "D7 21 11 01"},
        {"Ack", EFamily::Rcs380, "00 00 FF 00 FF 00", EFrameKind::Ack, ""},
        {"Nack", EFamily::Pn53x, "00 00 FF FF 00 00", EFrameKind::Nack, ""},
        {"Pn53xErrorFrame", EFamily::Pn53x, "00 00 FF 01 FF 7F 81 00", EFrameKind::Error, ""},
        {"LengthChecksumWrong", EFamily::Pn53x, "00 00 FF 06 FB D5 03 32 01 06 07 E8 00", EFrameKind::Bad, ""},
        {"DataChecksumWrong", EFamily::Pn53x, "00 00 FF 06 FA D5 03 32 01 06 07 E9 00", EFrameKind::Bad, ""},
        {"ExtendedLengthChecksumWrong", EFamily::Rcs380, "00 00 FF FF FF 04 00 FD D7 21 11 01 F6 00",
         EFrameKind::Bad, ""},
        {"Truncated", EFamily::Rcs380, "00 00 FF FF FF 04 00 FC D7 21", EFrameKind::Bad, ""},
        {"NoStartCode", EFamily::Pn53x, "00 FF 06 FA D5 03 32 01 06 07 E8 00", EFrameKind::Bad, ""},
        {"Empty", EFamily::Pn53x, "", EFrameKind::Bad, ""},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        ByteVector data;
        EXPECT_EQ(FrameCodec::Decode(c.family, HexBytes(c.frame), data), c.kind);
        EXPECT_EQ(data, HexBytes(c.data));
    }
}

} // namespace
