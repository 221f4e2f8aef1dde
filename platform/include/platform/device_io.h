// Device I/O on SCSI port devices: CreateFileA, DeviceIoControl, CloseHandle.
//
// "\\.\scsiN:" (the colon optional) names the endpoint scsiN in the device
// directory (KAV_DEVICE_DIR, default /run/kavor/devices): a unix stream socket
// served by a simulated controller (kavsim) or any other backend speaking the
// protocol of device_wire.h. CreateFileA connects to it; every DeviceIoControl
// is one request and one answer on that connection.
//
// Differences from Windows:
// - only device paths "\\.\NAME" exist; other paths fail with
//   ERROR_PATH_NOT_FOUND, a device without endpoint with ERROR_FILE_NOT_FOUND;
// - a peer that closes the connection, answers garbage or does not answer within
//   the device time-out (KAV_DEVICE_TIMEOUT_MS, default 5000 ms) makes the call
//   fail (FALSE, ERROR_GEN_FAILURE or ERROR_SEM_TIMEOUT); the connection is then
//   dropped and the next call on the handle connects again. No call blocks
//   longer than the time-out and none raises SIGPIPE;
// - calls on one handle from several threads are serialised;
// - overlapped I/O is not supported (a non-null overlapped fails).
#pragma once

#include "platform/win_types.h"
#include "platform/security.h"

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define OPEN_EXISTING 3u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u

// The control code of miniport requests (CTL_CODE(IOCTL_SCSI_BASE, 0x0402,
// METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS)).
#define IOCTL_SCSI_MINIPORT 0x0004D008u

// The header in front of every miniport request's data.
typedef struct _SRB_IO_CONTROL {
  ULONG HeaderLength;  // size of this header: 28
  UCHAR Signature[8];  // driver signature, NUL-padded
  ULONG Timeout;       // seconds the driver may take
  ULONG ControlCode;   // the driver's own request code
  ULONG ReturnCode;    // set by the driver
  ULONG Length;        // bytes of data after the header
} SRB_IO_CONTROL, *PSRB_IO_CONTROL;

typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;

KAV_BEGIN_C

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share_mode, LPSECURITY_ATTRIBUTES attributes,
                   DWORD creation, DWORD flags, HANDLE template_file);

// Sends (code, in) to the device and copies the answer into out, at most
// out_size bytes; *bytes_returned receives the count copied.
BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD in_size, LPVOID out,
                     DWORD out_size, LPDWORD bytes_returned, LPOVERLAPPED overlapped);

KAV_END_C

#ifdef __cplusplus
static_assert(sizeof(SRB_IO_CONTROL) == 28, "SRB_IO_CONTROL is 28 bytes on the wire");
#endif
