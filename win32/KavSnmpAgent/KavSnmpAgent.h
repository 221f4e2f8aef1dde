// The agent's exports: the SNMP extension entry points that a service host
// calls, with C linkage and undecorated names. A host finds them with
// dlsym; the types below are those the host casts the symbols to.
#pragma once

#include "platform/snmp.h"
#include "platform/win_types.h"

// The agent is built with hidden visibility; only these are shown.
#define KAV_AGENT_EXPORT __attribute__((visibility("default")))

KAV_BEGIN_C

// Discovers the controllers and starts the event thread. FALSE when no
// controller answers or the agent cannot start; the trap event and the view
// are written only on TRUE.
KAV_AGENT_EXPORT BOOL SnmpExtensionInit(DWORD uptime_reference, HANDLE* trap_event,
                       AsnObjectIdentifier* supported_view);

// Answers each binding from the controller its name addresses. GET for
// SNMP_PDU_GET, GETNEXT for every other request type. Always TRUE.
KAV_AGENT_EXPORT BOOL SnmpExtensionQuery(BYTE request_type, RFC1157VarBindList* bindings,
                        AsnInteger32* error_status, AsnInteger32* error_index);

// Hands over the oldest pending trap: TRUE while one is queued, then FALSE.
// The binding list and its name and value belong to the caller afterwards
// (free it with SnmpUtilVarBindListFree); the enterprise OID points at the
// agent's constant and must not be freed.
KAV_AGENT_EXPORT BOOL SnmpExtensionTrap(AsnObjectIdentifier* enterprise, AsnInteger32* generic_trap,
                       AsnInteger32* specific_trap, AsnTimeticks* time_stamp,
                       RFC1157VarBindList* bindings);

typedef BOOL (*PFNSNMPEXTENSIONINIT)(DWORD, HANDLE*, AsnObjectIdentifier*);
typedef BOOL (*PFNSNMPEXTENSIONQUERY)(BYTE, RFC1157VarBindList*, AsnInteger32*, AsnInteger32*);
typedef BOOL (*PFNSNMPEXTENSIONTRAP)(AsnObjectIdentifier*, AsnInteger32*, AsnInteger32*,
                                     AsnTimeticks*, RFC1157VarBindList*);

KAV_END_C
