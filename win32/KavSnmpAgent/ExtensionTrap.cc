// SnmpExtensionTrap: hands the oldest pending trap to the service host.
#include <cstring>

#include "platform/snmp.h"
#include "win32/KavSnmpAgent/AgentState.h"
#include "win32/KavSnmpAgent/KavSnmpAgent.h"

namespace {
// Enterprise 1.3.6.1.4.1.47319.1.1 and the binding's name, the system
// description object 1.3.6.1.2.1.1.1.0.
UINT g_TrapEnterpriseIds[] = {1, 3, 6, 1, 4, 1, 47319, 1, 1};
UINT g_TrapBindingIds[] = {1, 3, 6, 1, 2, 1, 1, 1, 0};
constexpr UINT kTrapOidLength = 9;
}  // namespace

BOOL SnmpExtensionTrap(AsnObjectIdentifier* enterprise, AsnInteger32* generic_trap,
                       AsnInteger32* specific_trap, AsnTimeticks* time_stamp,
                       RFC1157VarBindList* bindings) {
  if (enterprise == nullptr || generic_trap == nullptr || specific_trap == nullptr ||
      time_stamp == nullptr || bindings == nullptr) {
    return FALSE;
  }
  PendingTrap trap;
  if (!g_TrapQueue.Pop(&trap)) return FALSE;

  // The host releases what it receives with the platform's functions, which
  // free a binding's name too: the name is handed over as a copy.
  auto* binding = static_cast<RFC1157VarBind*>(SnmpUtilMemAlloc(sizeof(RFC1157VarBind)));
  if (binding == nullptr) {
    g_Debug.Trace("Trap [%d] dropped: no memory.\r\n", trap.specific);
    return FALSE;
  }
  AsnObjectIdentifier name = {kTrapOidLength, g_TrapBindingIds};
  UINT length = static_cast<UINT>(trap.message.size());
  BYTE* bytes = length == 0 ? nullptr : static_cast<BYTE*>(SnmpUtilMemAlloc(length));
  if ((length != 0 && bytes == nullptr) ||
      SnmpUtilOidCpy(&binding->name, &name) != SNMPAPI_NOERROR) {
    SnmpUtilMemFree(bytes);
    SnmpUtilMemFree(binding);
    g_Debug.Trace("Trap [%d] dropped: no memory.\r\n", trap.specific);
    return FALSE;
  }
  if (length != 0) std::memcpy(bytes, trap.message.data(), length);
  binding->value.asnType = ASN_OCTETSTRING;
  binding->value.asnValue.string.stream = bytes;
  binding->value.asnValue.string.length = length;
  binding->value.asnValue.string.dynamic = TRUE;

  enterprise->idLength = kTrapOidLength;
  enterprise->ids = g_TrapEnterpriseIds;
  *generic_trap = SNMP_GENERICTRAP_ENTERSPECIFIC;
  *specific_trap = trap.specific;
  *time_stamp = GetTickCount() - g_dwUptimeReference;
  bindings->list = binding;
  bindings->len = 1;
  return TRUE;
}
