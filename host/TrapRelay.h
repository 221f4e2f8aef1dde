// Collecting the agent's traps inside Net-SNMP's loop and sending them.
#pragma once

namespace kavhost {

class AgentModule;

// Watches the agent's trap event from Net-SNMP's select loop, so that all SNMP
// work stays on one thread. False when the agent has no trap event.
bool StartTrapRelay(AgentModule* agent);
void StopTrapRelay();

}  // namespace kavhost
