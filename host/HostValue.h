// Names and values as kavsnmpd passes them between the agent side (platform
// SNMP types) and the Net-SNMP side. The two sides cannot share one header
// because both spell the ASN.1 type macros, so this neutral form sits between.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kavhost {

using OidVector = std::vector<uint32_t>;

// ASN.1 type codes as the agent spells them.
enum HostType : uint8_t {
  kTypeInteger = 0x02,
  kTypeBits = 0x03,
  kTypeOctets = 0x04,
  kTypeNull = 0x05,
  kTypeObjectId = 0x06,
  kTypeIpAddress = 0x40,
  kTypeCounter32 = 0x41,
  kTypeGauge32 = 0x42,
  kTypeTimeTicks = 0x43,
  kTypeOpaque = 0x44,
  kTypeCounter64 = 0x46,
  kTypeUnsigned32 = 0x47,
};

struct HostValue {
  uint8_t type = kTypeNull;
  int64_t number = 0;       // INTEGER and the 32-bit unsigned types
  uint64_t counter64 = 0;   // Counter64
  std::string bytes;        // OCTET STRING, Opaque, BITS, IpAddress (4 bytes)
  OidVector ids;            // OBJECT IDENTIFIER
};

struct HostBinding {
  OidVector name;
  HostValue value;
  // False when the agent handed over a value that cannot be sent as it is: an
  // unknown type, or fields that contradict the type (a NULL string with a
  // length, an address that is not 4 bytes).
  bool value_valid = true;
};

// Lexicographic order of object identifiers, as SNMP sorts them.
int CompareOids(const OidVector& a, const OidVector& b);
bool OidHasPrefix(const OidVector& name, const OidVector& prefix);
std::string OidToText(const OidVector& name);

}  // namespace kavhost
