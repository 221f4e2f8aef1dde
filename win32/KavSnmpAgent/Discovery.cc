// Controller discovery; see Discovery.h.
#include "win32/KavSnmpAgent/Discovery.h"

#include <new>

#include "library/transport/WinIoctlInterface.h"
#include "win32/KavSnmpAgent/AgentState.h"
#include "win32/KavSnmpAgent/Settings.h"

void DiscoverControllers() {
  ReadSettings();
  int count = 0;
  WinIoctlInterface* transport = new (std::nothrow) WinIoctlInterface();
  for (int port = 0; port <= kLastScsiPort && transport != nullptr; ++port) {
    if (!transport->OpenPort(port)) continue;
    // A port that answered the probe takes a table entry and a controller
    // number whether or not Attach succeeds; the entry owns the transport.
    CKavlib& controller = g_Controllers[count];
    int status = controller.Attach(transport);
    transport = nullptr;
    g_ControllerAttached[count] = status == KAV_OK;
    if (status == KAV_OK) {
      // Everything logged so far counts as seen: only later events are reported.
      int seen = 0;
      controller.ReadEvents(0, &seen);
    } else {
      g_Debug.Trace("Controller#%d on port %d not attached, state = 0x%X\r\n", count + 1, port,
                    status);
    }
    ++count;
    if (count == kMaxControllers) break;
    transport = new (std::nothrow) WinIoctlInterface();
  }
  delete transport;  // the probe object left over after the last port
  g_nControllerCount = count;
  g_Debug.Trace("[%d] devices found.\r\n", count);
}
