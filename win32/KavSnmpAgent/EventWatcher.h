// The event thread: reads every controller's new events once a second and
// queues a trap for each event whose severity passes the notification level.
#pragma once

#include "platform/windows.h"

// Runs until the stop request (hExitEventProc) is set, then acknowledges it
// (hExitEvent) and returns 0.
DWORD WINAPI Event_Thread(LPVOID parameter);

// One poll of controller `index`: its new events, oldest first. Returns the
// library status of the reads (0 when there was nothing new).
int PollControllerEvents(int index);
