// The hosted agent: loading the shared library, its three SNMP extension entry
// points, and the hand-over of names and values in both directions.
//
// This is the only part of kavsnmpd that sees the platform's SNMP types; what
// leaves it is copied into HostValue form and every name or value the agent
// handed over has been released.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/HostValue.h"

namespace kavhost {

struct QueryResult {
  int32_t error_status = 0;  // SNMP error status the agent reported
  int32_t error_index = 0;   // 1-based position of the failing binding
  // One entry per requested name, in order; a binding the agent left as it
  // came still carries the request's name and a NULL value.
  std::vector<HostBinding> bindings;
};

struct HostTrap {
  OidVector enterprise;
  int32_t generic = 0;
  int32_t specific = 0;
  uint32_t timestamp = 0;
  std::vector<HostBinding> bindings;
};

enum class TrapStatus { kNone, kTrap, kMalformed };

class AgentModule {
 public:
  AgentModule() = default;
  AgentModule(const AgentModule&) = delete;
  AgentModule& operator=(const AgentModule&) = delete;
  ~AgentModule();

  // dlopen and look up the three entry points.
  bool Load(const std::string& path, std::string* error);
  // SnmpExtensionInit. False when the agent is not ready (no controller).
  bool Start(std::string* error);

  const OidVector& view() const { return view_; }
  // A descriptor readable while the agent's trap event is signalled, or -1.
  int trap_event_fd() const { return trap_event_fd_; }
  // Takes the trap event's signal (it is auto-reset).
  void ConsumeTrapSignal();

  // SnmpExtensionQuery with a fresh binding per name (value NULL).
  QueryResult Query(uint8_t request_type, const std::vector<OidVector>& names);
  // SnmpExtensionTrap once: kNone when the agent has no (further) trap.
  TrapStatus NextTrap(HostTrap* trap);

  // dlclose: the agent's unload sequence runs (its event thread stops first).
  void Unload();

 private:
  std::string path_;
  void* library_ = nullptr;
  // The entry points, cast to their exact types where they are called.
  void* init_ = nullptr;
  void* query_ = nullptr;
  void* trap_ = nullptr;
  void* trap_event_ = nullptr;
  int trap_event_fd_ = -1;
  OidVector view_;
};

}  // namespace kavhost
