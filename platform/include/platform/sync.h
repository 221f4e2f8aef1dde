// Named mutexes and events, with the Windows wait semantics.
//
// Named mutexes are machine-wide: one name is one mutex for every thread of
// every process, whatever user runs it. Each lives in a file of the IPC
// directory (KAV_IPC_DIR, default /dev/shm) holding a process-shared, robust
// pthread mutex, with the recursion count beside it; files are created with
// mode 0666. A name exists as long as some process holds a handle to it,
// exactly as on Windows: when the last handle anywhere is closed (or its
// process dies) the next CreateMutexA of that name creates it afresh and does
// not report ERROR_ALREADY_EXISTS. (The files themselves stay behind.)
// Names may contain any character, backslashes included.
//
// A thread or process that dies while owning a mutex leaves it abandoned; the
// next waiter takes ownership and gets WAIT_ABANDONED.
//
// Events are process-local and may be waited on from a poll loop: KavEventFd
// gives a file descriptor that is readable exactly while the event is
// signalled (see below).
#pragma once

#include "platform/security.h"
#include "platform/win_types.h"

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

KAV_BEGIN_C

// Creates the named mutex, or opens it when it exists (GetLastError() then
// returns ERROR_ALREADY_EXISTS, otherwise ERROR_SUCCESS). An unnamed mutex
// (name NULL) is private to the handle. initial_owner makes the calling thread
// its owner. The security attributes are accepted and ignored (see security.h).
// NULL on failure, with the last error set.
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initial_owner, LPCSTR name);

// Releases one level of ownership. FALSE with ERROR_NOT_OWNER when the calling
// thread does not own the mutex.
BOOL ReleaseMutex(HANDLE mutex);

// Creates an unnamed event. Named events are not supported: a non-null name
// fails with ERROR_INVALID_PARAMETER.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manual_reset, BOOL initial_state,
                    LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Waits for a mutex (taking ownership), an event (an auto-reset event is reset
// by the wait that succeeds, so one SetEvent releases one waiter) or a thread
// (signalled once it has ended). timeout_ms 0 polls, INFINITE waits for ever.
// Returns WAIT_OBJECT_0, WAIT_ABANDONED (mutexes), WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitForSingleObject(HANDLE handle, DWORD timeout_ms);

// Not in Windows: a file descriptor for an event handle, for hosts that wait in
// their own poll/select loop. The descriptor is readable while the event is
// signalled. Reading it is not allowed; after poll reports it readable, call
// WaitForSingleObject(event, 0) to consume the signal (an auto-reset event is
// reset by that call). The descriptor belongs to the handle: it stays valid
// until CloseHandle. Returns -1 for a handle that is not an event.
int KavEventFd(HANDLE event);

KAV_END_C
