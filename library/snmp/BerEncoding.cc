// The byte-level rules of the firmware's BER dialect.
#include "library/snmp/BerEncoding.h"

namespace {

// Big-endian bytes of n without leading zero bytes (at least one byte).
int MinimalBytes(uint32_t n, uint8_t (&bytes)[4]) {
  int count = 1;
  while (count < 4 && (n >> (8 * count)) != 0) ++count;
  for (int i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(n >> (8 * (count - 1 - i)));
  return count;
}

}  // namespace

void EncodeLength(uint32_t n, ByteBuffer& out) {
  if (n < 128) {
    out.AppendByte(static_cast<uint8_t>(n));
    return;
  }
  uint8_t bytes[4];
  const int count = MinimalBytes(n, bytes);
  // The two pieces go in separately, as the dialect's writer does; callers
  // that must not leave a cut header use AppendElement.
  out.AppendByte(static_cast<uint8_t>(0x80 + count));
  out.AppendBytes(bytes, 0, count);
}

void EncodeIntegerContent(int32_t v, ByteBuffer& out) {
  uint8_t bytes[4];
  const int count = MinimalBytes(static_cast<uint32_t>(v), bytes);
  out.AppendBytes(bytes, 0, count);
}

int32_t ReadIntegerContent(const ByteBuffer& content) {
  uint32_t value = 0;
  const uint8_t* data = content.GetData();
  for (int32_t i = 0; i < content.GetLength(); ++i) value = (value << 8) | data[i];
  return static_cast<int32_t>(value);
}

void AppendElement(uint8_t tag, const ByteBuffer& content, ByteBuffer& out) {
  ByteBuffer header(8);
  header.AppendByte(tag);
  EncodeLength(static_cast<uint32_t>(content.GetLength()), header);
  if (static_cast<int64_t>(header.GetLength()) + content.GetLength() > out.GetRoom()) return;
  out.AppendBytes(header.GetData(), 0, header.GetLength());
  out.AppendBytes(content.GetData(), 0, content.GetLength());
}
