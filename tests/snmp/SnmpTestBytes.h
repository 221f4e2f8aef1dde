// Byte helpers for the codec tests: hex text to bytes, bytes to ByteBuffer and
// back, and an object's encoding as bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "library/snmp/ByteBuffer.h"
#include "library/snmp/SNMPObject.h"

using Bytes = std::vector<uint8_t>;

// "02 01 FF" -> {0x02, 0x01, 0xFF}; blanks are ignored.
inline Bytes Hex(const std::string& text) {
  Bytes out;
  int nibble = -1;
  for (char c : text) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else continue;
    if (nibble < 0) {
      nibble = v;
    } else {
      out.push_back(static_cast<uint8_t>(nibble * 16 + v));
      nibble = -1;
    }
  }
  return out;
}

inline std::string ToHex(const Bytes& bytes) {
  std::string out;
  char piece[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(piece, sizeof piece, i ? " %02X" : "%02X", bytes[i]);
    out += piece;
  }
  return out;
}

inline Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline Bytes ToBytes(const ByteBuffer& buffer) {
  return Bytes(buffer.GetData(), buffer.GetData() + buffer.GetLength());
}

// Replaces a buffer's content with bytes; bytes beyond its capacity are cut off.
inline void Fill(ByteBuffer& buffer, const Bytes& bytes) {
  buffer.Clear();
  for (uint8_t b : bytes) buffer.AppendByte(b);
}

inline Bytes EncodeToBytes(const SNMPObject& object, int32_t capacity = 512) {
  ByteBuffer out(capacity);
  object.Encode(out);
  return ToBytes(out);
}
