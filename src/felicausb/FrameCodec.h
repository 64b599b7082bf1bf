// Host frames of the two reader chip families. Both start with the preamble and start code
// 00 00 FF, carry a length with its checksum, the data with its checksum and a postamble,
// and acknowledge a command with 00 00 FF 00 FF 00. They differ in the extended frame: the
// RC-S380 sends every frame extended with the length low byte first, the PN53x family
// (RC-S956) uses the short form up to 254 bytes and the extended one with the high byte first.
#pragma once

#include "felicausb/UsbTransport.h"

namespace FrameCodec {

enum class EFrameKind { Data, Ack, Nack, Error, Bad };
enum class EFamily { Rcs380, Pn53x };

// Two's complement of the byte sum: the sum of the bytes and their checksum is 0 modulo 256.
uint8_t Checksum(const uint8_t* bytes, size_t count);

ByteVector Ack();
ByteVector Nack();
ByteVector Encode(EFamily family, const ByteVector& data);
// Checks preamble, length and both checksums; data receives the bytes between the length
// fields and the data checksum (the frame identifier first).
EFrameKind Decode(EFamily family, const ByteVector& frame, ByteVector& data);

} // namespace FrameCodec
