// The agent-wide objects and the library's load and unload handling.
//
// All objects that the event thread touches are defined here, in this order,
// so that they are constructed before the load notification and destroyed
// after the unload notification has stopped the thread.
#include "win32/KavSnmpAgent/AgentState.h"

#include "win32/KavSnmpAgent/EventWatcher.h"

CDebug g_Debug;
CKavlib g_Controllers[kMaxControllers];
bool g_ControllerAttached[kMaxControllers] = {};
int32_t g_nControllerCount = 0;
std::mutex g_ControllerLocks[kMaxControllers];
DWORD g_dwUptimeReference = 0;
HANDLE g_hTrapEvent = nullptr;
HANDLE hExitEventProc = nullptr;
HANDLE hExitEvent = nullptr;
HANDLE g_hEventThread = nullptr;
PSECURITY_DESCRIPTOR g_pSecurityDescriptor = nullptr;
TrapQueue g_TrapQueue;

namespace {

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;

// Long enough for one controller exchange to time out and the poll to end.
constexpr DWORD kUnloadWaitMs = 65000;
constexpr DWORD kUnloadSliceMs = 50;

bool ThreadEnded() {
  return g_hEventThread == nullptr || WaitForSingleObject(g_hEventThread, 0) == WAIT_OBJECT_0;
}

// Asks the event thread to stop and waits, bounded, until it has left the
// library's code. True when it has (or never ran).
bool StopEventThread() {
  if (hExitEventProc == nullptr || hExitEvent == nullptr) return ThreadEnded();
  SetEvent(hExitEventProc);
  const DWORD start = GetTickCount();
  auto remaining = [start]() -> DWORD {
    DWORD elapsed = GetTickCount() - start;
    return elapsed >= kUnloadWaitMs ? 0 : kUnloadWaitMs - elapsed;
  };
  for (;;) {
    DWORD slice = remaining() < kUnloadSliceMs ? remaining() : kUnloadSliceMs;
    if (WaitForSingleObject(hExitEvent, slice) == WAIT_OBJECT_0) break;
    // A thread that is gone without acknowledging (the process is ending)
    // is not waited for.
    if (ThreadEnded()) return true;
    if (remaining() == 0) return false;
  }
  // The acknowledgement comes just before the thread returns; the library
  // must stay mapped until that return is complete.
  if (g_hEventThread == nullptr) return true;
  DWORD rest = remaining();
  return WaitForSingleObject(g_hEventThread, rest == 0 ? 1 : rest) == WAIT_OBJECT_0;
}

void ProcessDetach() {
  g_Debug.Trace("CleanUp(...) starting...\r\n");
  Sleep(100);
  g_Debug.Trace("CleanUp(...) done.\r\n");
  bool stopped = StopEventThread();
  if (!stopped) {
    g_Debug.Trace("Event_Thread did not stop in time.\r\n");
    return;
  }
  if (g_hEventThread != nullptr) CloseHandle(g_hEventThread);
  if (hExitEventProc != nullptr) CloseHandle(hExitEventProc);
  if (hExitEvent != nullptr) CloseHandle(hExitEvent);
  g_hEventThread = hExitEventProc = hExitEvent = nullptr;
  // The trap event stays open: the service host was handed it and may still
  // hold it in its wait loop.
  if (g_pSecurityDescriptor != nullptr) LocalFree(g_pSecurityDescriptor);
  g_pSecurityDescriptor = nullptr;
}

BOOL DllMain(HINSTANCE, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      g_Debug.Trace("DLL_PROCESS_ATTACH.\r\n");
      break;
    case DLL_PROCESS_DETACH:
      ProcessDetach();
      g_Debug.Trace("DLL_PROCESS_DETACH.\r\n");
      break;
    default:
      break;
  }
  return TRUE;
}

// Load and unload of the shared library stand for process attach and detach.
struct ProcessNotifications {
  ProcessNotifications() { DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr); }
  ~ProcessNotifications() { DllMain(nullptr, DLL_PROCESS_DETACH, nullptr); }
};
ProcessNotifications g_ProcessNotifications;

}  // namespace
