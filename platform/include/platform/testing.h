// Test hooks of the platform layer: faults and a fixed clock that tests switch
// on in-process. Product code never calls these.
#pragma once

#include <stdint.h>

#include "platform/win_types.h"

KAV_BEGIN_C

// Shell folder faults (modules.h, shell_folder.h).
enum KavShellFault {
  KAV_SHELL_OK = 0,
  KAV_SHELL_LOAD_FAILS = 1,    // LoadLibraryA("shfolder.dll") returns NULL
  KAV_SHELL_PROC_MISSING = 2,  // GetProcAddress(..., "SHGetFolderPathA") returns NULL
  KAV_SHELL_LOOKUP_FAILS = 3,  // SHGetFolderPathA returns E_FAIL
};
void KavTestSetShellFault(enum KavShellFault fault);

// Makes GetLocalTime and GetSystemTime report the given moment (seconds since
// the epoch, UTC) instead of the real clock; local time follows TZ. A negative
// value restores the real clock.
void KavTestSetClock(int64_t epoch_seconds);

KAV_END_C
