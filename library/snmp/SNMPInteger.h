// The integer values: INTEGER, and the unsigned application types that share
// its encoding (Unsigned32 and TimeTicks). Content has no sign byte and reads
// back unsigned, so 0xFF is 255 and FF FF FF FF is -1.
#pragma once

#include <cstdint>

#include "library/snmp/SNMPObject.h"

class SNMPInteger : public SNMPObject {
 public:
  explicit SNMPInteger(int32_t value);
  explicit SNMPInteger(const ByteBuffer& content);

  int32_t GetValue() const { return m_nValue; }
  void Encode(ByteBuffer& out) const override;

 protected:
  SNMPInteger(uint8_t tag, int32_t value) : SNMPObject(tag), m_nValue(value) {}

 private:
  int32_t m_nValue;
};

class SNMPUInteger32 : public SNMPInteger {
 public:
  explicit SNMPUInteger32(int32_t value);
  explicit SNMPUInteger32(const ByteBuffer& content);

 protected:
  SNMPUInteger32(uint8_t tag, int32_t value) : SNMPInteger(tag, value) {}
};

class SNMPTimeTicks : public SNMPUInteger32 {
 public:
  explicit SNMPTimeTicks(int32_t value);
  explicit SNMPTimeTicks(const ByteBuffer& content);
};
