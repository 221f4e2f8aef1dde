// The event thread and the per-controller event poll; see EventWatcher.h.
#include "win32/KavSnmpAgent/EventWatcher.h"

#include <utility>

#include "win32/KavSnmpAgent/AgentState.h"
#include "win32/KavSnmpAgent/EventText.h"
#include "win32/KavSnmpAgent/Settings.h"

namespace {

constexpr DWORD kPassPauseMs = 1000;
constexpr DWORD kEventPauseMs = 100;

// Set once the thread has consumed the (auto-reset) stop request; touched only
// by the event thread.
bool g_bStopSeen = false;

// Waits up to `ms` for the stop request; true once it has been seen. The
// pauses of the thread wait here, so an unload never sits out a pause.
bool StopRequested(DWORD ms) {
  if (g_bStopSeen) return true;
  if (hExitEventProc == nullptr) {
    if (ms != 0) Sleep(ms);
    return false;
  }
  if (WaitForSingleObject(hExitEventProc, ms) == WAIT_OBJECT_0) g_bStopSeen = true;
  return g_bStopSeen;
}

DWORD LeaveThread() {
  g_Debug.Trace("Event_Thread exited!!\r\n");
  SetEvent(hExitEvent);
  return 0;
}

void QueueTrap(const ComposedEvent& event, const std::string& time_text) {
  g_Debug.Trace("Event Trap: [%d] %s %s\r\n", event.specific, time_text.c_str(),
                event.message.c_str());
  PendingTrap dropped;
  if (g_TrapQueue.Push(PendingTrap{event.specific, event.message}, &dropped)) {
    g_Debug.Trace("Trap queue full, dropped: [%d] %s\r\n", dropped.specific,
                  dropped.message.c_str());
  }
  SetEvent(g_hTrapEvent);
}

}  // namespace

int PollControllerEvents(int index) {
  // Entries without an event log copy (Attach failed, or a JBOD subsystem)
  // have nothing to poll.
  if (!ControllerUsable(index)) return KAV_NO_TRANSPORT;
  CKavlib& controller = g_Controllers[index];
  std::mutex& lock = g_ControllerLocks[index];
  uint8_t system_info[kSystemInfoSize] = {};
  int count = 0;
  {
    std::lock_guard<std::mutex> hold(lock);
    if (!controller.HasEventBuffers()) return KAV_NOT_AVAILABLE;
    int status = controller.GetSystemInfo(system_info);
    if (status != KAV_OK) return status;
    status = controller.ReadEvents(1, &count);
    if (status != KAV_OK) return status;
  }
  // Oldest new event first.
  for (int n = count - 1; n >= 0; --n) {
    uint8_t record[kEventRecordSize] = {};
    int copied;
    {
      std::lock_guard<std::mutex> hold(lock);
      copied = controller.GetEvent(n, record);
    }
    if (copied == 0) continue;
    uint32_t stamp = static_cast<uint32_t>(record[4]) | static_cast<uint32_t>(record[5]) << 8 |
                     static_cast<uint32_t>(record[6]) << 16 | static_cast<uint32_t>(record[7]) << 24;
    std::string time_text = FormatEventTime(stamp);
    ComposedEvent event;
    if (!ComposeEvent(index + 1, record, system_info, &event)) continue;
    ReadSettings();
    const KavSettings settings = CurrentSettings();
    if (settings.NoLevel != 0 && event.severity <= settings.NoLevel) QueueTrap(event, time_text);
    if (StopRequested(kEventPauseMs)) return KAV_OK;
  }
  return KAV_OK;
}

DWORD WINAPI Event_Thread(LPVOID) {
  for (;;) {
    for (int index = 0; index < g_nControllerCount; ++index) {
      if (StopRequested(0)) return LeaveThread();
      PollControllerEvents(index);
    }
    if (StopRequested(kPassPauseMs)) return LeaveThread();
  }
}
