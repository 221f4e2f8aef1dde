// NULL: no content. Also what the decoder makes of an Opaque value.
#pragma once

#include "library/snmp/SNMPObject.h"

class SNMPNull : public SNMPObject {
 public:
  SNMPNull() : SNMPObject(kSnmpTagNull) {}
  void Encode(ByteBuffer& out) const override;
};
