// Ordering and printing of object identifiers.
#include "host/HostValue.h"

#include <algorithm>

namespace kavhost {

int CompareOids(const OidVector& a, const OidVector& b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool OidHasPrefix(const OidVector& name, const OidVector& prefix) {
  return name.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), name.begin());
}

std::string OidToText(const OidVector& name) {
  std::string text;
  for (uint32_t id : name) {
    text += '.';
    text += std::to_string(id);
  }
  return text.empty() ? "." : text;
}

}  // namespace kavhost
