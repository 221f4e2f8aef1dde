// The MIB proxy's shared result storage and the OID text of a request.
#include "library/snmp/MibResults.h"

#include <cstdio>
#include <cstring>

MibResultStorage& SharedMibResults() {
  static MibResultStorage storage{};
  return storage;
}

char* OidToText(const uint32_t* ids, const int32_t* count) {
  char* text = SharedMibResults().oid_text;
  std::memset(text, 0, kOidTextSize);
  if (ids == nullptr || count == nullptr || *count <= 0) return nullptr;
  int used = 0;
  // The area holds at most 32 components ("0." each), so an over-long count
  // stops the loop long before it could read far past the caller's array.
  for (int32_t i = 0; i < *count; ++i) {
    char piece[16];
    const bool last = i + 1 == *count;
    const int n = std::snprintf(piece, sizeof piece, last ? "%d" : "%d.",
                                static_cast<int32_t>(ids[i]));
    if (n < 0 || used + n > kOidTextSize - 1) {
      std::memset(text, 0, kOidTextSize);
      return nullptr;
    }
    std::memcpy(text + used, piece, static_cast<size_t>(n));
    used += n;
  }
  return text;
}
