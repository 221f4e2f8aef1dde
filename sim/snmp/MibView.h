// The firmware's private MIB under 1.3.6.1.4.1.47319.1.1, derived from the
// model state at the time of each request (see mibs/KAVOR-RAID-MIB.txt).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/model/FirmwareState.h"

namespace kavsim {

using OidPath = std::vector<uint32_t>;

struct MibObject {
  OidPath name;
  bool is_integer = true;
  int32_t integer = 0;
  std::string text;
};

inline const OidPath& MibRoot() {
  static const OidPath root = {1, 3, 6, 1, 4, 1, 47319, 1, 1};
  return root;
}

// Every object the engine serves, in increasing OID order.
std::vector<MibObject> BuildMibView(const FirmwareState& state);

// The object named exactly, or the first one after name; nullptr if none.
const MibObject* FindExact(const std::vector<MibObject>& view, const OidPath& name);
const MibObject* FindNext(const std::vector<MibObject>& view, const OidPath& name);

}  // namespace kavsim
