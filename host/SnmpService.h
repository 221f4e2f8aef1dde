// Net-SNMP's side of kavsnmpd: an embedded master agent on the --listen
// address, or an AgentX subagent; trap sinks; the read-only community.
#pragma once

#include <string>

#include "host/HostOptions.h"

namespace kavhost {

class AgentModule;

class SnmpService {
 public:
  SnmpService() = default;
  SnmpService(const SnmpService&) = delete;
  SnmpService& operator=(const SnmpService&) = delete;
  ~SnmpService();

  // Sets Net-SNMP up without reading any configuration file or persistent
  // state, registers the agent's view and starts serving.
  bool Start(const HostOptions& options, AgentModule* agent, std::string* error);
  // One round of Net-SNMP's loop: waits for a request, a trap event, a timer
  // or a watched descriptor, and handles it.
  void RunOnce();
  // Closes every session and listener.
  void Stop();

 private:
  bool started_ = false;
  bool master_ = true;
  std::string persistent_dir_;
};

// The IPv4 address a --listen value names, when it names one address (the
// SNMPv1 trap's agent address); empty for a wildcard or another transport.
std::string ListenIpv4Address(const std::string& listen);

}  // namespace kavhost
