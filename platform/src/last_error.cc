// The per-thread last-error value.
#include "platform/handles.h"

namespace {
thread_local DWORD g_last_error = ERROR_SUCCESS;
}

extern "C" DWORD GetLastError(void) { return g_last_error; }
extern "C" void SetLastError(DWORD error) { g_last_error = error; }
