// Encoding and transfer of the device wire protocol's messages.
#include "platform/device_wire.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kav::devwire {
namespace {

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t Get32(const uint8_t* in) {
  return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
         static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

Result WaitFor(int fd, short events, int timeout_ms) {
  for (;;) {
    pollfd pfd{fd, events, 0};
    int ready = poll(&pfd, 1, timeout_ms);
    if (ready > 0) return Result::kOk;
    if (ready == 0) return Result::kTimeout;
    if (errno != EINTR) return Result::kIoError;
  }
}

// Each call tries the socket first and waits only when it would block: a unix
// socket nearly always takes a whole message at once, and once a message's
// first bytes are in, the rest has usually arrived with them.
Result SendAll(int fd, const std::vector<uint8_t>& data, int timeout_ms) {
  size_t done = 0;
  bool wait = false;
  while (done < data.size()) {
    if (wait) {
      Result ready = WaitFor(fd, POLLOUT, timeout_ms);
      if (ready != Result::kOk) return ready;
    }
    ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        wait = true;
        continue;
      }
      return errno == EPIPE || errno == ECONNRESET ? Result::kClosed : Result::kIoError;
    }
    done += static_cast<size_t>(n);
    wait = false;
  }
  return Result::kOk;
}

// Reads exactly `length` bytes. A clean end of stream before the first byte
// of a message is kClosed; in the middle of one it is a protocol error. The
// start of a message is waited for first, since the peer is usually still
// working on it.
Result ReceiveAll(int fd, uint8_t* data, size_t length, int timeout_ms, bool message_start) {
  size_t done = 0;
  bool wait = message_start;
  while (done < length) {
    if (wait) {
      Result ready = WaitFor(fd, POLLIN, timeout_ms);
      if (ready != Result::kOk) return ready;
    }
    ssize_t n = recv(fd, data + done, length - done, MSG_DONTWAIT);
    if (n == 0) return (message_start && done == 0) ? Result::kClosed : Result::kProtocolError;
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        wait = true;
        continue;
      }
      return errno == ECONNRESET ? Result::kClosed : Result::kIoError;
    }
    done += static_cast<size_t>(n);
    wait = false;
  }
  return Result::kOk;
}

Result ReceiveBlock(int fd, std::vector<uint8_t>& block, uint32_t length, int timeout_ms) {
  if (length > kMaxBlock) return Result::kProtocolError;
  block.resize(length);
  return length == 0 ? Result::kOk : ReceiveAll(fd, block.data(), length, timeout_ms, false);
}

}  // namespace

Result WriteRequest(int fd, const Request& request, int timeout_ms) {
  if (request.in.size() > kMaxBlock || request.out_capacity > kMaxBlock) return Result::kProtocolError;
  std::vector<uint8_t> data;
  data.reserve(16 + request.in.size());
  Put32(data, kRequestMagic);
  Put32(data, request.code);
  Put32(data, static_cast<uint32_t>(request.in.size()));
  Put32(data, request.out_capacity);
  data.insert(data.end(), request.in.begin(), request.in.end());
  return SendAll(fd, data, timeout_ms);
}

Result WriteAnswer(int fd, const Answer& answer, int timeout_ms) {
  if (answer.out.size() > kMaxBlock || answer.bytes_returned > answer.out.size()) return Result::kProtocolError;
  std::vector<uint8_t> data;
  data.reserve(20 + answer.out.size());
  Put32(data, kAnswerMagic);
  Put32(data, answer.ok ? 1u : 0u);
  Put32(data, answer.error);
  Put32(data, answer.bytes_returned);
  Put32(data, static_cast<uint32_t>(answer.out.size()));
  data.insert(data.end(), answer.out.begin(), answer.out.end());
  return SendAll(fd, data, timeout_ms);
}

Result ReadRequest(int fd, Request& request, int timeout_ms) {
  uint8_t header[16];
  Result result = ReceiveAll(fd, header, sizeof header, timeout_ms, true);
  if (result != Result::kOk) return result;
  if (Get32(header) != kRequestMagic) return Result::kProtocolError;
  request.code = Get32(header + 4);
  request.out_capacity = Get32(header + 12);
  if (request.out_capacity > kMaxBlock) return Result::kProtocolError;
  return ReceiveBlock(fd, request.in, Get32(header + 8), timeout_ms);
}

Result ReadAnswer(int fd, Answer& answer, int timeout_ms) {
  uint8_t header[20];
  Result result = ReceiveAll(fd, header, sizeof header, timeout_ms, true);
  if (result != Result::kOk) return result;
  if (Get32(header) != kAnswerMagic) return Result::kProtocolError;
  uint32_t ok = Get32(header + 4);
  if (ok > 1) return Result::kProtocolError;
  answer.ok = ok == 1;
  answer.error = Get32(header + 8);
  answer.bytes_returned = Get32(header + 12);
  result = ReceiveBlock(fd, answer.out, Get32(header + 16), timeout_ms);
  if (result != Result::kOk) return result;
  return answer.bytes_returned <= answer.out.size() ? Result::kOk : Result::kProtocolError;
}

}  // namespace kav::devwire
