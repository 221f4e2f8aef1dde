// The firmware MIB proxy: SNMP messages to and from the controller's engine.
// Placeholder until the codec lands: both operations report "not available".
#include "library/commands/CKavlib.h"

int CKavlib::SnmpPassThrough(const uint8_t*, int, uint8_t*, int*) { return KAV_NOT_AVAILABLE; }

int CKavlib::QueryMib(const uint32_t*, int*, const char*, uint32_t*, uint8_t*, void**, int*,
                      uint8_t) {
  return KAV_NOT_AVAILABLE;
}
