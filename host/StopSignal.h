// SIGTERM and SIGINT as an event of Net-SNMP's select loop (a self-pipe), so a
// stop request is never lost between two waits.
#pragma once

#include <string>

namespace kavhost {

class StopSignal {
 public:
  StopSignal() = default;
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;
  ~StopSignal();

  bool Install(std::string* error);
  // Registers the pipe with Net-SNMP's loop (after the library is set up).
  void Watch();
  void Unwatch();
  bool requested() const;
  const char* signal_name() const;
};

}  // namespace kavhost
