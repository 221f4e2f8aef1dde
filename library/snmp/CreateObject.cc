// CreateObject: the class for each identifier byte the firmware sends.
#include "library/snmp/CreateObject.h"

#include "library/snmp/SNMPInteger.h"
#include "library/snmp/SNMPNull.h"
#include "library/snmp/SNMPObjectIdentifier.h"
#include "library/snmp/SNMPOctetString.h"
#include "library/snmp/SNMPPDU.h"
#include "library/snmp/SNMPUnknownObject.h"

std::unique_ptr<SNMPObject> CreateObject(const BerElement& element, int depth) {
  const ByteBuffer& content = element.content;
  switch (element.tag) {
    case kSnmpTagInteger:
      return std::make_unique<SNMPInteger>(content);
    case kSnmpTagOctetString:
      return std::make_unique<SNMPOctetString>(content);
    case kSnmpTagNull:
    case kSnmpTagOpaque:
      return std::make_unique<SNMPNull>();
    case kSnmpTagObjectIdentifier:
      return std::make_unique<SNMPObjectIdentifier>(content);
    case kSnmpTagSequence:
      return std::make_unique<SNMPSequence>(content, depth);
    case kSnmpTagIpAddress:
      return std::make_unique<SNMPIPAddress>(content);
    case kSnmpTagTimeTicks:
      return std::make_unique<SNMPTimeTicks>(content);
    case kSnmpTagUInteger32:
      return std::make_unique<SNMPUInteger32>(content);
    case kSnmpTagGetRequest:
    case kSnmpTagGetNextRequest:
    case kSnmpTagGetResponse:
    case kSnmpTagSetRequest:
      return std::make_unique<SNMPPDU>(content, element.tag, depth);
    case kSnmpTagTrap:
      return std::make_unique<SNMPTrapPDU>(content, depth);
    default:
      return std::make_unique<SNMPUnknownObject>(content);
  }
}
