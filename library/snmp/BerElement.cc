// ReadElement: the bounded reader of one BER element.
#include "library/snmp/BerElement.h"

bool ReadElement(const ByteBuffer& source, int32_t offset, BerElement& out) {
  out.tag = 0;
  out.size = 0;
  out.content.Clear();

  const int32_t total = source.GetLength();
  if (offset < 0 || offset >= total) return false;
  const uint8_t* at = source.GetData() + offset;
  const int64_t left = total - offset;

  out.tag = at[0];
  if (left < 2) {
    out.size = static_cast<int32_t>(left);
    return false;
  }

  int64_t header = 2;
  uint64_t length = at[1];
  if (at[1] >= 0x80) {
    const int length_bytes = at[1] - 0x80;  // 0 is the indefinite form: length 0
    if (length_bytes > kMaxLengthBytes || header + length_bytes > left) {
      out.size = static_cast<int32_t>(left);
      return false;
    }
    length = 0;
    for (int i = 0; i < length_bytes; ++i) length = (length << 8) | at[2 + i];
    header += length_bytes;
  }

  if (static_cast<uint64_t>(header) + length > static_cast<uint64_t>(left)) {
    out.size = static_cast<int32_t>(left);
    return false;
  }
  out.size = static_cast<int32_t>(header + static_cast<int64_t>(length));
  if (length <= static_cast<uint64_t>(out.content.GetCapacity())) {
    out.content.AppendBytes(at, static_cast<int32_t>(header), static_cast<int32_t>(length));
  }
  return true;
}
