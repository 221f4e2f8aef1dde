// The Net-SNMP handler that serves the agent's view: every GET and GETNEXT
// binding goes to SnmpExtensionQuery; SET never reaches the agent.
#pragma once

#include <string>

namespace kavhost {

class AgentModule;

// Registers one read-only handler for the agent's whole view. GETBULK reaches
// it as GETNEXT through Net-SNMP's bulk-to-next helper.
bool RegisterQueryHandler(AgentModule* agent, std::string* error);

}  // namespace kavhost
