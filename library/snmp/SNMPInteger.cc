// INTEGER, Unsigned32 and TimeTicks: construction and encoding.
#include "library/snmp/SNMPInteger.h"

#include "library/snmp/BerEncoding.h"

SNMPInteger::SNMPInteger(int32_t value) : SNMPInteger(kSnmpTagInteger, value) {}
SNMPInteger::SNMPInteger(const ByteBuffer& content)
    : SNMPInteger(kSnmpTagInteger, ReadIntegerContent(content)) {}

SNMPUInteger32::SNMPUInteger32(int32_t value) : SNMPUInteger32(kSnmpTagUInteger32, value) {}
SNMPUInteger32::SNMPUInteger32(const ByteBuffer& content)
    : SNMPUInteger32(kSnmpTagUInteger32, ReadIntegerContent(content)) {}

SNMPTimeTicks::SNMPTimeTicks(int32_t value) : SNMPUInteger32(kSnmpTagTimeTicks, value) {}
SNMPTimeTicks::SNMPTimeTicks(const ByteBuffer& content)
    : SNMPUInteger32(kSnmpTagTimeTicks, ReadIntegerContent(content)) {}

void SNMPInteger::Encode(ByteBuffer& out) const {
  ByteBuffer content(kDefaultBufferCapacity);
  EncodeIntegerContent(m_nValue, content);
  AppendElement(GetTag(), content, out);
}
