// The SNMPv1 binding, PDU, trap PDU and message classes.
#include "library/snmp/SNMPPDU.h"

#include "library/snmp/SNMPInteger.h"
#include "library/snmp/SNMPOctetString.h"

SNMPVariablePair::SNMPVariablePair(std::unique_ptr<SNMPObject> name,
                                   std::unique_ptr<SNMPObject> value) {
  Add(std::move(name));
  Add(std::move(value));
}

SNMPPDU::SNMPPDU(uint8_t type, int32_t request_id, int32_t error_status, int32_t error_index,
                 std::unique_ptr<SNMPSequence> bindings)
    : SNMPSequence(type) {
  Add(std::make_unique<SNMPInteger>(request_id));
  Add(std::make_unique<SNMPInteger>(error_status));
  Add(std::make_unique<SNMPInteger>(error_index));
  Add(std::move(bindings));
}

SNMPPDU::SNMPPDU(const ByteBuffer& content, uint8_t type, int depth)
    : SNMPSequence(type, content, depth) {}

int32_t SNMPPDU::GetRequestId() const {
  const SNMPInteger* value = IntegerAt(0);
  return value != nullptr ? value->GetValue() : -1;
}

int32_t SNMPPDU::GetErrorStatus() const {
  const SNMPInteger* value = IntegerAt(1);
  return value != nullptr ? value->GetValue() : -1;
}

SNMPTrapPDU::SNMPTrapPDU(const ByteBuffer& content, int depth)
    : SNMPSequence(kSnmpTagTrap, content, depth) {}

SNMPMessage::SNMPMessage(int32_t version, const char* community, std::unique_ptr<SNMPObject> pdu) {
  Add(std::make_unique<SNMPInteger>(version));
  Add(std::make_unique<SNMPOctetString>(community));
  Add(std::move(pdu));
}

SNMPMessage::SNMPMessage(const ByteBuffer& content) : SNMPSequence(content) {}
