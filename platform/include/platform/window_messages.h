// Window messages between programs, and the message numbers the tools use.
//
// On Windows any program may post a message to another program's window once
// it knows the window's title. The stand-in gives a window a named endpoint: a
// unix datagram socket in the window directory, named after the window's title,
// from which the window's owner dispatches messages to its window procedure.
//
// The window directory is KAV_WINDOW_DIR when set and not empty, otherwise
// $XDG_RUNTIME_DIR/kavor-windows, otherwise /tmp/kavor-windows-<uid>. It is
// created with mode 0700 when missing (only the last path component), and a
// directory that is a symbolic link or belongs to another user is refused, so
// only programs of the same user reach a window, as on one Windows desktop.
// The socket file's name is the title with every byte other than a letter, a
// digit, '.', '-' or '_' written as %XX; the whole path must fit a socket
// address (107 bytes).
//
// Each message travels as one 32-byte datagram; anything else arriving at an
// endpoint is dropped. A sent (not posted) message carries the sender's reply
// address, and the receiver answers it with the window procedure's result.
//
// The program build/bin/kavwinmsg sends or posts a message from the command line.
#pragma once

#include "platform/win_types.h"

typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;

#define WM_ICONERASEBKGND 0x0027
#define WM_PAINT 0x000F
#define WM_QUERYDRAGICON 0x0037
#define WM_SETICON 0x0080
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_MBUTTONUP 0x0208
#define WM_APP 0x8000

#define SC_CLOSE 0xF060

#define ERROR_TIMEOUT 1460
#define ERROR_INVALID_WINDOW_HANDLE 1400
#define ERROR_NOT_ENOUGH_QUOTA 1816

// Bytes of one message datagram on the wire.
#define KAV_WINDOW_MESSAGE_SIZE 32

KAV_BEGIN_C

typedef struct KavWindowEndpoint KavWindowEndpoint;

// The window procedure that KavDispatchWindowMessages calls for each message.
typedef LRESULT (*KAV_WINDOW_PROC)(void* context, UINT message, WPARAM wparam, LPARAM lparam);

// Creates the endpoint of the window with the given title. A socket file left
// behind by a program that died is taken over. NULL with the last error set:
// ERROR_ALREADY_EXISTS when a running window of that title has the endpoint,
// ERROR_INVALID_PARAMETER for a null or empty title or a path that does not fit,
// ERROR_ACCESS_DENIED when the window directory cannot be made or is not safe.
KavWindowEndpoint* KavCreateWindowEndpoint(LPCSTR window_title);

// The endpoint's descriptor, readable while messages wait; for poll loops and
// socket notifiers. -1 for a null endpoint.
int KavWindowEndpointFd(const KavWindowEndpoint* endpoint);

// Takes the messages waiting at the endpoint, without blocking, and calls proc
// for each in arrival order; a sender waiting for the result gets proc's
// result. At most 64 datagrams are taken per call, so that a flood cannot hold
// the caller's loop; the descriptor stays readable while more wait. proc may
// itself run a nested event loop that dispatches again. Returns the number of
// messages handled.
int KavDispatchWindowMessages(KavWindowEndpoint* endpoint, KAV_WINDOW_PROC proc, void* context);

// Closes the endpoint and removes its socket file. A null endpoint is ignored.
void KavCloseWindowEndpoint(KavWindowEndpoint* endpoint);

// Queues the message for the window and returns at once. FALSE with
// ERROR_INVALID_WINDOW_HANDLE when no running window has that title, or
// ERROR_NOT_ENOUGH_QUOTA when the window's queue is full (the system keeps a
// few messages per window; net.unix.max_dgram_qlen).
BOOL KavPostWindowMessageA(LPCSTR window_title, UINT message, WPARAM wparam, LPARAM lparam);

// Delivers the message and waits up to timeout_ms, in all, for room in the
// window's queue and for the window procedure's result, stored in *result
// when result is not NULL. FALSE with
// ERROR_INVALID_WINDOW_HANDLE when no running window has that title, or
// ERROR_TIMEOUT when no result came in time.
BOOL KavSendWindowMessageA(LPCSTR window_title, UINT message, WPARAM wparam, LPARAM lparam,
                           DWORD timeout_ms, LRESULT* result);

KAV_END_C
