// A value of a type the codec does not model (Counter32, Gauge32 and others):
// its content bytes are kept, and it encodes with identifier 0x00.
#pragma once

#include "library/snmp/SNMPObject.h"

class SNMPUnknownObject : public SNMPObject {
 public:
  // A copy of all of content's bytes (all or nothing).
  explicit SNMPUnknownObject(const ByteBuffer& content);

  void GetContent(ByteBuffer& out) const;
  void Encode(ByteBuffer& out) const override;

 private:
  ByteBuffer m_Content{kDefaultBufferCapacity};
};
