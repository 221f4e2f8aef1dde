// OBJECT IDENTIFIER. The firmware's dialect writes the first two components
// as one plain byte (40 * x0 + x1, low 8 bits) rather than a base-128
// sub-identifier, and every later component as a base-128 sub-identifier of
// its unsigned 32-bit pattern, so a component round-trips bit for bit.
#pragma once

#include "library/snmp/IntegerList.h"
#include "library/snmp/SNMPObject.h"

class SNMPObjectIdentifier : public SNMPObject {
 public:
  // Dotted decimal such as 1.3.6.1.2.1.1.1.0. Tokens are split at '.' and
  // ' ' (empty tokens vanish); a token that does not start with a digit (after
  // an optional sign) is 0; digits are taken in 32-bit arithmetic. The whole
  // text is read, whatever its length; components beyond 512 are dropped.
  explicit SNMPObjectIdentifier(const char* text);
  // Decodes content bytes; an unfinished last sub-identifier is ignored.
  explicit SNMPObjectIdentifier(const ByteBuffer& content);

  // out takes a copy of the components, cut off at out's capacity.
  void GetComponents(IntegerList& out) const;
  void Encode(ByteBuffer& out) const override;

 private:
  IntegerList m_Components;
};
