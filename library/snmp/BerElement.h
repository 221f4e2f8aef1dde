// BerElement and ReadElement: one element (tag, length, content) read from an
// encoding. The reader never looks outside its source and tells its caller
// whether the element lay wholly inside it.
#pragma once

#include <cstdint>

#include "library/snmp/ByteBuffer.h"

struct BerElement {
  uint8_t tag = 0;
  // Bytes the element occupies in its source: tag, length bytes and content.
  int32_t size = 0;
  // A copy of the content bytes; empty when they do not fit its capacity.
  ByteBuffer content{kDefaultBufferCapacity};
};

// The most length bytes a long-form length may have: four give a 32-bit
// length, more cannot be told apart from an attack on the reader.
inline constexpr int kMaxLengthBytes = 4;

// Reads the element that starts at offset in source into out and returns true
// when the whole element (header and content) lies within source.
//
// A well-formed element gets its tag and size; its content is copied when it
// fits out.content (512 bytes) and left empty otherwise, while size still
// counts the whole element so that a reader can step over it.
//
// Otherwise (offset outside the source, header or content cut short, more
// than four length bytes) it returns false with empty content and a size of
// the bytes left from offset to the end, so a reader stepping by size stops
// at the end of the source; with offset outside the source the size is 0.
bool ReadElement(const ByteBuffer& source, int32_t offset, BerElement& out);
