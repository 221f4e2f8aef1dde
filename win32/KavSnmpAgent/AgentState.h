// The agent-wide state: one instance per loaded agent, constructed when the
// library is loaded and destroyed when it is unloaded (after the unload
// sequence has stopped the event thread).
#pragma once

#include <cstdint>
#include <mutex>

#include "library/commands/CKavlib.h"
#include "platform/windows.h"
#include "win32/KavSnmpAgent/CDebug.h"
#include "win32/KavSnmpAgent/TrapQueue.h"

inline constexpr int kMaxControllers = 4;
inline constexpr int kLastScsiPort = 15;

extern CDebug g_Debug;

// Entry i serves controller number i + 1; only entries below the count are
// used. g_ControllerAttached tells whether Attach succeeded: an entry whose
// Attach failed keeps its number but is never polled or queried, because the
// library object knows neither its controller kind nor its event log.
extern CKavlib g_Controllers[kMaxControllers];
extern bool g_ControllerAttached[kMaxControllers];
extern int32_t g_nControllerCount;
// Held around every use of an entry. The query thread and the event thread
// share the entries, and a library object itself has no lock (its cached
// system information is rewritten by the poll while a query reads it).
extern std::mutex g_ControllerLocks[kMaxControllers];

extern DWORD g_dwUptimeReference;
extern HANDLE g_hTrapEvent;
extern HANDLE hExitEventProc;  // stop request
extern HANDLE hExitEvent;      // stop acknowledgement
extern HANDLE g_hEventThread;
extern PSECURITY_DESCRIPTOR g_pSecurityDescriptor;
extern TrapQueue g_TrapQueue;

// Whether controller index i (0-based) may be polled and queried.
inline bool ControllerUsable(int index) {
  return index >= 0 && index < g_nControllerCount && index < kMaxControllers &&
         g_ControllerAttached[index];
}
