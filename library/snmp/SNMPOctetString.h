// OCTET STRING, and IpAddress, which is an octet string of exactly four bytes
// that keeps the OCTET STRING identifier when it is encoded.
#pragma once

#include "library/snmp/SNMPObject.h"

class SNMPOctetString : public SNMPObject {
 public:
  SNMPOctetString();
  // The characters of text without the terminator; a text longer than the
  // content's 512 bytes (or null) gives an empty string.
  explicit SNMPOctetString(const char* text);
  // A copy of all of content's bytes (all or nothing).
  explicit SNMPOctetString(const ByteBuffer& content);

  // out takes a copy of the content, cut off at out's capacity.
  void GetContent(ByteBuffer& out) const;
  void Encode(ByteBuffer& out) const override;

 protected:
  ByteBuffer m_Content{kDefaultBufferCapacity};
};

class SNMPIPAddress : public SNMPOctetString {
 public:
  // Keeps content only when it is exactly four bytes; otherwise empty.
  explicit SNMPIPAddress(const ByteBuffer& content);
};
