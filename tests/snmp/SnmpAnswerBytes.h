// Builders of raw SNMP answers for the MIB proxy tests, so that answers can
// carry identifiers the codec itself never writes (IpAddress, Counter32) and
// shapes it would never build.
#pragma once

#include <cstdint>
#include <string>

#include "library/snmp/SNMPObjectIdentifier.h"
#include "tests/snmp/SnmpTestBytes.h"

inline Bytes El(uint8_t tag, const Bytes& content) {
  Bytes out = {tag};
  const size_t n = content.size();
  if (n < 128) {
    out.push_back(static_cast<uint8_t>(n));
  } else if (n < 256) {
    out.insert(out.end(), {0x81, static_cast<uint8_t>(n)});
  } else {
    out.insert(out.end(), {0x82, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
  }
  return Concat(out, content);
}

inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline Bytes Int(int32_t v, uint8_t tag = 0x02) {
  Bytes content;
  uint32_t u = static_cast<uint32_t>(v);
  do {
    content.insert(content.begin(), static_cast<uint8_t>(u));
    u >>= 8;
  } while (u != 0);
  return El(tag, content);
}

inline Bytes Oid(const std::string& text) { return EncodeToBytes(SNMPObjectIdentifier(text.c_str())); }

inline const char* kAnswerOid = "1.3.6.1.4.1.47319.1.1.3.2";

struct AnswerShape {
  int32_t request_id = 1;
  int32_t error_status = 0;
  uint8_t pdu_tag = 0xA2;
  std::string name = kAnswerOid;
};

// version 0, "public", a PDU of the shape's tag, id and status, one binding of
// the shape's name to value (the value's whole encoding).
inline Bytes Answer(const Bytes& value, const AnswerShape& shape = {}) {
  const Bytes binding = El(0x30, Concat(Oid(shape.name), value));
  const Bytes pdu = El(shape.pdu_tag, Concat(Concat(Int(shape.request_id), Int(shape.error_status)),
                                             Concat(Int(0), El(0x30, binding))));
  return El(0x30, Concat(Concat(Int(0), El(0x04, Text("public"))), pdu));
}
