// Handles and the per-thread last-error value.
//
// Every object the platform layer hands out (mutex, event, thread, device,
// module) is a HANDLE into one process-wide table kept by the platform library.
// Unlike Windows, a HANDLE that was never issued or is already closed is
// detected: CloseHandle returns FALSE with ERROR_INVALID_HANDLE instead of
// touching freed memory.
#pragma once

#include "platform/win_types.h"

#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_GEN_FAILURE 31
#define ERROR_INVALID_PARAMETER 87
#define ERROR_BROKEN_PIPE 109
#define ERROR_INSUFFICIENT_BUFFER 122
#define ERROR_MOD_NOT_FOUND 126
#define ERROR_PROC_NOT_FOUND 127
#define ERROR_SEM_TIMEOUT 121
#define ERROR_ALREADY_EXISTS 183
#define ERROR_NOT_OWNER 288
#define ERROR_DEVICE_NOT_CONNECTED 1167

KAV_BEGIN_C

// Closes any handle of the table. Closing a thread handle does not stop the
// thread; closing a mutex the caller owns does not release it (as on Windows).
BOOL CloseHandle(HANDLE handle);

// The calling thread's last error, set by the functions that document it.
DWORD GetLastError(void);
void SetLastError(DWORD error);

KAV_END_C
