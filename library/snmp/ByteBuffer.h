// ByteBuffer: a byte array whose capacity is fixed when it is made. It never
// grows; an append that would pass the capacity is dropped whole, so a buffer
// never holds part of a piece.
#pragma once

#include <cstdint>
#include <memory>

inline constexpr int32_t kDefaultBufferCapacity = 512;

class ByteBuffer {
 public:
  explicit ByteBuffer(int32_t capacity = kDefaultBufferCapacity);
  ~ByteBuffer();
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;

  // Stores b when there is room for one more byte; otherwise does nothing.
  void AppendByte(uint8_t b);
  // Copies count bytes from source + offset when all of them fit; otherwise
  // appends nothing.
  void AppendBytes(const uint8_t* source, int32_t offset, int32_t count);
  // Copies the characters of text when they and the terminating zero fit. The
  // length counts the characters only, so the terminator sits just past it.
  void AppendText(const char* text);
  // Replaces the content with other's bytes, cut off at this buffer's capacity.
  void Assign(const ByteBuffer& other);
  // Empties the buffer; the storage is kept.
  void Clear();

  int32_t GetLength() const { return m_nLength; }
  int32_t GetCapacity() const { return m_nCapacity; }
  int32_t GetRoom() const { return m_nCapacity - m_nLength; }
  const uint8_t* GetData() const { return m_pData.get(); }
  uint8_t* GetData() { return m_pData.get(); }

  // Frees the storage. A released buffer holds nothing and accepts nothing.
  void Release();

 private:
  std::unique_ptr<uint8_t[]> m_pData;
  int32_t m_nCapacity = 0;
  int32_t m_nLength = 0;
};
