// The MIB proxy's shared result storage and OidToText. QueryMib hands out
// pointers into this storage; they stay valid until the next QueryMib call on
// any library object, so callers copy the value out before the next query.
#pragma once

#include <cstdint>

inline constexpr int kOidTextSize = 64;     // 63 characters and the terminator
inline constexpr int kValueTextSize = 256;  // 255 characters and the terminator

struct MibResultStorage {
  char oid_text[kOidTextSize];
  char value_text[kValueTextSize];
  int32_t value_integer;
};

// The one set of result storage of the process, shared by every library object.
MibResultStorage& SharedMibResults();

// Writes ids as dotted decimal ("%d" each, so a component of 2^31 or above
// prints negative) into the OID text area and returns it. Returns null, with
// the area zeroed, when ids or count is null, the count is not above 0, or the
// text would not fit the area's 63 characters.
char* OidToText(const uint32_t* ids, const int32_t* count);
