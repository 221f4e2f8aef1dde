// The roots of the SNMP value classes: Object (a virtual destructor and
// nothing else) and SNMPObject (the identifier byte and Encode), with the
// identifier bytes the codec knows.
#pragma once

#include <cstdint>

#include "library/snmp/ByteBuffer.h"

inline constexpr uint8_t kSnmpTagUnknown = 0x00;
inline constexpr uint8_t kSnmpTagInteger = 0x02;
inline constexpr uint8_t kSnmpTagOctetString = 0x04;
inline constexpr uint8_t kSnmpTagNull = 0x05;
inline constexpr uint8_t kSnmpTagObjectIdentifier = 0x06;
inline constexpr uint8_t kSnmpTagSequence = 0x30;
inline constexpr uint8_t kSnmpTagIpAddress = 0x40;
inline constexpr uint8_t kSnmpTagTimeTicks = 0x43;
inline constexpr uint8_t kSnmpTagOpaque = 0x44;
inline constexpr uint8_t kSnmpTagUInteger32 = 0x47;
inline constexpr uint8_t kSnmpTagGetRequest = 0xA0;
inline constexpr uint8_t kSnmpTagGetNextRequest = 0xA1;
inline constexpr uint8_t kSnmpTagGetResponse = 0xA2;
inline constexpr uint8_t kSnmpTagSetRequest = 0xA3;
inline constexpr uint8_t kSnmpTagTrap = 0xA4;

// Every value object lives on the heap and has exactly one owner; deleting it
// releases whatever it owns. Objects are not copied.
class Object {
 public:
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

 protected:
  Object() = default;
};

class SNMPObject : public Object {
 public:
  uint8_t GetTag() const { return m_nTag; }
  // Appends the object's encoding to out; the object does not change.
  virtual void Encode(ByteBuffer& out) const = 0;

 protected:
  explicit SNMPObject(uint8_t tag) : m_nTag(tag) {}

 private:
  uint8_t m_nTag;
};
