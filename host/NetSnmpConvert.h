// Conversion between kavsnmpd's neutral values and Net-SNMP variables.
#pragma once

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "host/HostValue.h"

namespace kavhost {

OidVector FromNetSnmpOid(const oid* name, size_t length);
std::vector<oid> ToNetSnmpOid(const OidVector& name);

// Sets the variable's type and value. False (variable untouched) for a NULL
// value or a value that does not convert.
bool SetNetSnmpValue(netsnmp_variable_list* variable, const HostValue& value);

// True when every sub-identifier fits the agent's 32-bit form.
bool FitsAgentOid(const oid* name, size_t length);

}  // namespace kavhost
