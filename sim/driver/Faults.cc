// Names of the faults a simulated controller can show.
#include "sim/Simulator.h"

namespace kavsim {
namespace {

constexpr const char* kNames[kFaultCount] = {
    "delay-reply",   "split-reply", "no-answer",     "refuse-writes",
    "fail-control",  "bad-checksum", "bad-header",   "status-letter",
    "move-event-pointer", "oversize-reply", "drop-connection",
};

}  // namespace

const char* FaultName(Fault fault) {
  int i = static_cast<int>(fault);
  return i >= 0 && i < kFaultCount ? kNames[i] : "?";
}

bool ParseFault(const std::string& name, Fault* fault) {
  for (int i = 0; i < kFaultCount; ++i) {
    if (name == kNames[i]) {
      *fault = static_cast<Fault>(i);
      return true;
    }
  }
  return false;
}

std::vector<std::string> FaultNames() { return {std::begin(kNames), std::end(kNames)}; }

}  // namespace kavsim
