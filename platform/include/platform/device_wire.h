// The wire protocol between the platform's DeviceIoControl and a device
// endpoint (a unix stream socket, see device_io.h). Backends such as kavsim use
// these helpers to serve requests.
//
// One exchange is one request followed by one answer, on a connection opened by
// CreateFileA. All numbers are 32-bit little-endian.
//
//   request:  "KDRQ"  code  in_length  out_capacity  in_bytes[in_length]
//   answer:   "KDAN"  ok    error      bytes_returned out_length  out_bytes[out_length]
//
// code is the DeviceIoControl control code (IOCTL_SCSI_MINIPORT for miniport
// requests; the control block with its own ControlCode is in in_bytes).
// ok is 1 for success, 0 for failure, when error is the Win32 error the call
// reports. out_length must not exceed the request's out_capacity, and
// bytes_returned must not exceed out_length; the caller receives out_bytes in
// its output buffer and bytes_returned as the count. Blocks larger than
// kMaxBlock bytes are a protocol error, and either side drops the connection on
// any protocol error.
#pragma once

#include <cstdint>
#include <vector>

namespace kav::devwire {

inline constexpr uint32_t kRequestMagic = 0x5152444Bu;  // "KDRQ"
inline constexpr uint32_t kAnswerMagic = 0x4E41444Bu;   // "KDAN"
inline constexpr uint32_t kMaxBlock = 1u << 20;

struct Request {
  uint32_t code = 0;
  std::vector<uint8_t> in;
  uint32_t out_capacity = 0;
};

struct Answer {
  bool ok = false;
  uint32_t error = 0;
  std::vector<uint8_t> out;
  uint32_t bytes_returned = 0;
};

enum class Result { kOk, kClosed, kTimeout, kProtocolError, kIoError };

// Read one whole message. timeout_ms bounds the wait for each piece of it; a
// negative value waits without limit. kClosed means the peer closed the
// connection cleanly before a message began.
Result ReadRequest(int fd, Request& request, int timeout_ms);
Result ReadAnswer(int fd, Answer& answer, int timeout_ms);

// Write one whole message (never raises SIGPIPE).
Result WriteRequest(int fd, const Request& request, int timeout_ms);
Result WriteAnswer(int fd, const Answer& answer, int timeout_ms);

}  // namespace kav::devwire
