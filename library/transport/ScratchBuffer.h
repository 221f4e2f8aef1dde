// Scratch memory of one exchange: the 0x30000-byte receive and reply areas.
//
// Each exchange takes its own area and gives it back when it ends, as if it
// had allocated and freed it. A few areas that were given back are kept for
// the next exchanges, because handing 192 KiB back to the system and faulting
// it in again on every command costs more than the exchange itself.
#pragma once

#include <cstddef>
#include <cstdint>

class ScratchBuffer {
 public:
  static constexpr size_t kSize = 0x30000;

  ScratchBuffer();  // get() is null when memory runs out
  ~ScratchBuffer();
  ScratchBuffer(const ScratchBuffer&) = delete;
  ScratchBuffer& operator=(const ScratchBuffer&) = delete;

  uint8_t* get() const { return m_pData; }
  explicit operator bool() const { return m_pData != nullptr; }

 private:
  uint8_t* m_pData;
};
