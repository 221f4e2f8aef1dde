// Building the MIB proxy's request and checking the shape of the answer.
#include "library/snmp/MibRequest.h"

#include <memory>

#include "library/snmp/SNMPInteger.h"

void EncodeMibRequest(const char* oid_text, const char* community, bool get, ByteBuffer& out) {
  auto bindings = std::make_unique<SNMPSequence>();
  bindings->Add(std::make_unique<SNMPVariablePair>(std::make_unique<SNMPObjectIdentifier>(oid_text),
                                                   std::make_unique<SNMPInteger>(0)));
  const uint8_t type = get ? kSnmpTagGetRequest : kSnmpTagGetNextRequest;
  SNMPMessage message(0, community,
                      std::make_unique<SNMPPDU>(type, kMibRequestId, 0, 0, std::move(bindings)));
  message.Encode(out);
}

namespace {

// An element that is an INTEGER proper (not one of the unsigned types that
// share its class) with the given value.
bool IsInteger(const SNMPInteger* element, int32_t value) {
  return element != nullptr && element->GetTag() == kSnmpTagInteger && element->GetValue() == value;
}

}  // namespace

bool ReadMibAnswer(const SNMPMessage& message, MibAnswer* answer) {
  if (message.GetCount() < 3) return false;
  const SNMPSequence* pdu = message.GetPdu();
  if (pdu == nullptr || pdu->GetCount() < 4) return false;
  if (!IsInteger(pdu->IntegerAt(0), kMibRequestId)) return false;
  if (!IsInteger(pdu->IntegerAt(1), 0)) return false;
  const SNMPSequence* bindings = pdu->SequenceAt(3);
  if (bindings == nullptr || bindings->GetCount() < 1) return false;
  const SNMPSequence* binding = bindings->SequenceAt(0);
  if (binding == nullptr || binding->GetCount() < 2) return false;
  const auto* name = dynamic_cast<const SNMPObjectIdentifier*>(binding->At(0));
  if (name == nullptr || binding->At(1) == nullptr) return false;
  answer->name = name;
  answer->value = binding->At(1);
  return true;
}
