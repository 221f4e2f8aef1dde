// Conversion between kavsnmpd's neutral values and Net-SNMP variables.
#include "host/NetSnmpConvert.h"

#include <cstdint>

namespace kavhost {

OidVector FromNetSnmpOid(const oid* name, size_t length) {
  OidVector out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) out.push_back(static_cast<uint32_t>(name[i]));
  return out;
}

std::vector<oid> ToNetSnmpOid(const OidVector& name) {
  return std::vector<oid>(name.begin(), name.end());
}

bool FitsAgentOid(const oid* name, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (name[i] > UINT32_MAX) return false;
  }
  return true;
}

bool SetNetSnmpValue(netsnmp_variable_list* variable, const HostValue& value) {
  switch (value.type) {
    case kTypeInteger: {
      long number = static_cast<long>(value.number);
      return snmp_set_var_typed_value(variable, ASN_INTEGER, &number, sizeof number) == 0;
    }
    case kTypeCounter32:
    case kTypeGauge32:
    case kTypeTimeTicks:
    case kTypeUnsigned32: {
      u_char type = value.type == kTypeCounter32    ? ASN_COUNTER
                    : value.type == kTypeTimeTicks ? ASN_TIMETICKS
                                                   : ASN_UNSIGNED;
      u_long number = static_cast<u_long>(value.number);
      return snmp_set_var_typed_value(variable, type, &number, sizeof number) == 0;
    }
    case kTypeCounter64: {
      struct counter64 c;
      c.high = static_cast<u_long>(value.counter64 >> 32);
      c.low = static_cast<u_long>(value.counter64 & 0xFFFFFFFFu);
      return snmp_set_var_typed_value(variable, ASN_COUNTER64, &c, sizeof c) == 0;
    }
    case kTypeOctets:
    case kTypeOpaque:
    case kTypeBits:
    case kTypeIpAddress: {
      u_char type = value.type == kTypeOctets    ? ASN_OCTET_STR
                    : value.type == kTypeOpaque ? ASN_OPAQUE
                    : value.type == kTypeBits   ? ASN_BIT_STR
                                                : ASN_IPADDRESS;
      if (type == ASN_IPADDRESS && value.bytes.size() != 4) return false;
      return snmp_set_var_typed_value(variable, type, value.bytes.data(), value.bytes.size()) == 0;
    }
    case kTypeObjectId: {
      if (value.ids.empty()) return false;
      std::vector<oid> ids = ToNetSnmpOid(value.ids);
      return snmp_set_var_typed_value(variable, ASN_OBJECT_ID, ids.data(),
                                      ids.size() * sizeof(oid)) == 0;
    }
    default:
      return false;
  }
}

}  // namespace kavhost
