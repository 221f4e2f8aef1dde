// NULL: encoding.
#include "library/snmp/SNMPNull.h"

#include "library/snmp/BerEncoding.h"

void SNMPNull::Encode(ByteBuffer& out) const {
  ByteBuffer empty(0);
  AppendElement(GetTag(), empty, out);
}
