// The SNMPv1 structures built on SNMPSequence: a variable binding, the
// request/response PDU, the trap PDU (only ever decoded) and the message.
// Their accessors read fixed positions and give null (or -1 for the integer
// readers) when the element is missing or of another kind.
#pragma once

#include <cstdint>
#include <memory>

#include "library/snmp/SNMPSequence.h"

class SNMPVariablePair : public SNMPSequence {
 public:
  SNMPVariablePair(std::unique_ptr<SNMPObject> name, std::unique_ptr<SNMPObject> value);
};

class SNMPPDU : public SNMPSequence {
 public:
  // Elements: request id, error status, error index (new integers), bindings.
  SNMPPDU(uint8_t type, int32_t request_id, int32_t error_status, int32_t error_index,
          std::unique_ptr<SNMPSequence> bindings);
  SNMPPDU(const ByteBuffer& content, uint8_t type, int depth = 0);

  // -1 when element 0 (1) is missing or not an integer: a value no answer
  // to this library's requests is accepted with.
  int32_t GetRequestId() const;
  int32_t GetErrorStatus() const;
  const SNMPSequence* GetVarBindList() const { return SequenceAt(3); }
};

class SNMPTrapPDU : public SNMPSequence {
 public:
  explicit SNMPTrapPDU(const ByteBuffer& content, int depth = 0);
};

class SNMPMessage : public SNMPSequence {
 public:
  // Elements: version (a new integer), community (a new octet string of the
  // text; "" when null), pdu.
  SNMPMessage(int32_t version, const char* community, std::unique_ptr<SNMPObject> pdu);
  explicit SNMPMessage(const ByteBuffer& content);

  // The third element when it is a container (a PDU of any type), else null.
  const SNMPSequence* GetPdu() const { return SequenceAt(2); }
};
