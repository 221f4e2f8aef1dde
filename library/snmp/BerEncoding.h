// The byte-level rules of the firmware's BER dialect shared by every value
// class: the length bytes, the integer content (no sign byte, read back
// unsigned) and the whole-element append.
#pragma once

#include <cstdint>

#include "library/snmp/ByteBuffer.h"

// Appends the length bytes of a content length n: one byte below 128,
// otherwise 0x80 + k followed by the k bytes of n, most significant first.
void EncodeLength(uint32_t n, ByteBuffer& out);

// Appends the 1 to 4 bytes of v's 32-bit pattern without leading zero bytes
// (0 gives one byte 00). No sign byte is added: 128 gives 80, -128 FF FF FF 80.
void EncodeIntegerContent(int32_t v, ByteBuffer& out);

// Reads content bytes as an unsigned big-endian number in 32-bit arithmetic:
// higher bits fall away, there is no sign extension, empty content is 0.
int32_t ReadIntegerContent(const ByteBuffer& content);

// Appends tag, length bytes and content as one piece, or nothing when the
// whole element does not fit out, so out never holds a cut element.
void AppendElement(uint8_t tag, const ByteBuffer& content, ByteBuffer& out);
