// Threads, sleeping and the tick counter.
#pragma once

#include "platform/security.h"
#include "platform/win_types.h"

typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID parameter);

#define CREATE_SUSPENDED 0x00000004u

KAV_BEGIN_C

// Starts a thread running start(parameter). The handle is signalled when the
// thread has returned (WaitForSingleObject). stack_size 0 takes the default;
// the attributes are ignored; CREATE_SUSPENDED is not supported (fails with
// ERROR_INVALID_PARAMETER). thread_id, when given, receives a process-unique id.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stack_size,
                    LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD creation_flags,
                    LPDWORD thread_id);

void Sleep(DWORD milliseconds);

// Milliseconds since an arbitrary start (the monotonic clock), wrapping at 2^32
// like the Windows counter (after about 49.7 days).
DWORD GetTickCount(void);

KAV_END_C
