// ByteBuffer: fixed-capacity byte storage with all-or-nothing appends.
#include "library/snmp/ByteBuffer.h"

#include <cstring>

ByteBuffer::ByteBuffer(int32_t capacity) : m_nCapacity(capacity > 0 ? capacity : 0) {
  // Not zero-filled: nothing past the length is ever read.
  m_pData.reset(new uint8_t[m_nCapacity > 0 ? m_nCapacity : 1]);
}

ByteBuffer::~ByteBuffer() { Release(); }

void ByteBuffer::AppendByte(uint8_t b) {
  if (m_nLength < m_nCapacity) m_pData[m_nLength++] = b;
}

void ByteBuffer::AppendBytes(const uint8_t* source, int32_t offset, int32_t count) {
  if (count <= 0 || offset < 0 || source == nullptr) return;
  if (static_cast<int64_t>(m_nLength) + count > m_nCapacity) return;
  std::memcpy(m_pData.get() + m_nLength, source + offset, static_cast<size_t>(count));
  m_nLength += count;
}

void ByteBuffer::AppendText(const char* text) {
  if (text == nullptr) return;
  const size_t characters = std::strlen(text);
  if (static_cast<uint64_t>(m_nLength) + characters + 1 > static_cast<uint64_t>(m_nCapacity)) {
    return;
  }
  std::memcpy(m_pData.get() + m_nLength, text, characters + 1);
  m_nLength += static_cast<int32_t>(characters);
}

void ByteBuffer::Assign(const ByteBuffer& other) {
  if (&other == this) return;
  m_nLength = 0;
  for (int32_t i = 0; i < other.m_nLength && m_nLength < m_nCapacity; ++i) {
    AppendByte(other.m_pData[i]);
  }
}

void ByteBuffer::Clear() { m_nLength = 0; }

void ByteBuffer::Release() {
  m_pData.reset();
  m_nCapacity = 0;
  m_nLength = 0;
}
