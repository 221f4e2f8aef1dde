// SnmpExtensionInit: start-up of the agent (settings, discovery, the three
// events and the event thread).
#include "platform/windows.h"
#include "win32/KavSnmpAgent/AgentState.h"
#include "win32/KavSnmpAgent/Discovery.h"
#include "win32/KavSnmpAgent/EventWatcher.h"
#include "win32/KavSnmpAgent/KavSnmpAgent.h"

namespace {
// The region of the OID tree the agent registers: 1.3.6.1.4.1.47319.
UINT g_SupportedViewIds[] = {1, 3, 6, 1, 4, 1, 47319};
}  // namespace

BOOL SnmpExtensionInit(DWORD uptime_reference, HANDLE* trap_event,
                       AsnObjectIdentifier* supported_view) {
  g_Debug.Trace("%s\r\n", "Kavor SNMP agent started.");
  if (trap_event == nullptr || supported_view == nullptr) {
    g_Debug.Trace("SnmpExtensionInit: missing output argument.\r\n");
    return FALSE;
  }
  // The table is filled once; a second start-up would attach its entries again.
  if (g_nControllerCount != 0) {
    g_Debug.Trace("SnmpExtensionInit: already started.\r\n");
    return FALSE;
  }
  DiscoverControllers();
  if (g_nControllerCount == 0) return FALSE;
  g_dwUptimeReference = uptime_reference;

  PSECURITY_DESCRIPTOR descriptor = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
  if (descriptor == nullptr) return FALSE;
  if (!InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(descriptor, TRUE, nullptr, FALSE)) {
    LocalFree(descriptor);
    return FALSE;
  }
  g_pSecurityDescriptor = descriptor;
  SECURITY_ATTRIBUTES attributes;
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = descriptor;
  attributes.bInheritHandle = TRUE;

  g_hTrapEvent = CreateEventA(&attributes, FALSE, FALSE, nullptr);
  *trap_event = g_hTrapEvent;
  hExitEventProc = CreateEventA(&attributes, FALSE, FALSE, nullptr);
  if (hExitEventProc == nullptr) g_Debug.Trace("hExitEventProc == NULL\r\n");
  hExitEvent = CreateEventA(&attributes, FALSE, FALSE, nullptr);
  if (hExitEvent == nullptr) g_Debug.Trace("hExitEvent == NULL\r\n");

  supported_view->idLength = sizeof g_SupportedViewIds / sizeof g_SupportedViewIds[0];
  supported_view->ids = g_SupportedViewIds;

  g_hEventThread = CreateThread(&attributes, 0, Event_Thread, nullptr, 0, nullptr);
  return TRUE;
}
