// Collecting the agent's traps and sending them to the trap sinks.
//
// On a signal of the trap event the agent is asked for traps until it has no
// more; each goes out through Net-SNMP's notification code, which sends the
// SNMPv1 trap to v1 sinks, the converted notification to v2c sinks, and, in
// AgentX mode, the notification to the master agent.
#include "host/TrapRelay.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>
#include <net-snmp/library/fd_event_manager.h>

#include <vector>

#include "host/AgentModule.h"
#include "host/HostLog.h"
#include "host/NetSnmpConvert.h"

namespace kavhost {
namespace {

// An agent that never says "no more" must not keep the loop for ever; what
// is left waits for its next signal.
constexpr int kMaxTrapsPerSignal = 10000;

AgentModule* g_agent = nullptr;
int g_fd = -1;

void SendTrap(const HostTrap& trap) {
  if (trap.generic < SNMP_TRAP_COLDSTART || trap.generic > SNMP_TRAP_ENTERPRISESPECIFIC ||
      trap.enterprise.empty()) {
    LogError("the agent handed over a trap with generic type %d; it is not sent", trap.generic);
    return;
  }
  netsnmp_variable_list* vars = nullptr;
  netsnmp_variable_list** tail = &vars;
  for (const HostBinding& binding : trap.bindings) {
    std::vector<oid> name = ToNetSnmpOid(binding.name);
    netsnmp_variable_list* var = SNMP_MALLOC_TYPEDEF(netsnmp_variable_list);
    if (var == nullptr || name.empty() || !binding.value_valid ||
        snmp_set_var_objid(var, name.data(), name.size()) != 0 ||
        !SetNetSnmpValue(var, binding.value)) {
      LogError("trap %d: a binding the agent handed over cannot be sent; it is left out",
               trap.specific);
      if (var != nullptr) snmp_free_var(var);
      continue;
    }
    *tail = var;
    tail = &var->next_variable;
  }
  std::vector<oid> enterprise = ToNetSnmpOid(trap.enterprise);
  LogDebug("trap: enterprise %s generic %d specific %d", OidToText(trap.enterprise).c_str(),
           trap.generic, trap.specific);
  send_enterprise_trap_vars(trap.generic, trap.specific, enterprise.data(),
                            static_cast<int>(enterprise.size()), vars);
  snmp_free_varbind(vars);
}

void OnTrapEvent(int /*fd*/, void* /*data*/) {
  g_agent->ConsumeTrapSignal();
  for (int n = 0; n < kMaxTrapsPerSignal; ++n) {
    HostTrap trap;
    TrapStatus status = g_agent->NextTrap(&trap);
    if (status == TrapStatus::kNone) return;
    if (status == TrapStatus::kTrap) SendTrap(trap);
  }
  LogError("the agent handed over %d traps for one signal; the rest waits for the next",
           kMaxTrapsPerSignal);
}

}  // namespace

bool StartTrapRelay(AgentModule* agent) {
  if (agent->trap_event_fd() < 0) return false;
  g_agent = agent;
  g_fd = agent->trap_event_fd();
  if (register_readfd(g_fd, OnTrapEvent, nullptr) != FD_REGISTERED_OK) {
    LogError("cannot watch the agent's trap event");
    g_agent = nullptr;
    g_fd = -1;
    return false;
  }
  return true;
}

void StopTrapRelay() {
  if (g_fd >= 0) unregister_readfd(g_fd);
  g_fd = -1;
  g_agent = nullptr;
}

}  // namespace kavhost
