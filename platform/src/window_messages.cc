// Window messages between programs over unix datagram sockets, one socket per
// window title in the window directory (see window_messages.h).
#include "platform/window_messages.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/handles.h"

struct KavWindowEndpoint {
  int fd = -1;
  std::string path;
};

namespace {

constexpr uint8_t kMessageMagic[4] = {'K', 'W', 'M', '1'};
constexpr uint8_t kReplyMagic[4] = {'K', 'W', 'R', '1'};
constexpr uint32_t kFlagWantsReply = 1;
// Messages taken per dispatch, so that a flood cannot hold the window's loop.
constexpr int kDispatchBatch = 64;

// One message or reply on the wire, little-endian fields at fixed offsets:
// magic 0..3, flags 4..7 (replies: 0), message 8..11, sequence 12..15,
// wparam 16..23 (replies: the result), lparam 24..31.
struct Datagram {
  uint8_t bytes[KAV_WINDOW_MESSAGE_SIZE] = {};
};

void Put32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}
void Put64(uint8_t* at, uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}
uint32_t Get32(const uint8_t* at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}
uint64_t Get64(const uint8_t* at) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}

bool IsPlainNameByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

// The window directory, created when missing; empty when it cannot be used.
std::string WindowDirectory() {
  std::string dir;
  bool private_default = false;
  const char* configured = getenv("KAV_WINDOW_DIR");
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (configured != nullptr && configured[0] != '\0') {
    dir = configured;
  } else if (runtime != nullptr && runtime[0] != '\0') {
    dir = std::string(runtime) + "/kavor-windows";
    private_default = true;
  } else {
    dir = "/tmp/kavor-windows-" + std::to_string(static_cast<unsigned long>(getuid()));
    private_default = true;
  }
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return std::string();
  // A shared folder such as /tmp could hold a planted link or another user's
  // folder under the default name; use only a real folder of our own.
  struct stat info;
  if (lstat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::string();
  if (private_default && info.st_uid != getuid()) return std::string();
  return dir;
}

// The socket address of a window title; false when the title is empty or the
// path does not fit.
bool WindowAddress(LPCSTR title, sockaddr_un* address, socklen_t* length, std::string* path) {
  if (title == nullptr || title[0] == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::string dir = WindowDirectory();
  if (dir.empty()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  std::string name;
  static const char kHex[] = "0123456789ABCDEF";
  for (const char* p = title; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (IsPlainNameByte(c)) {
      name += static_cast<char>(c);
    } else {
      name += '%';
      name += kHex[c >> 4];
      name += kHex[c & 15];
    }
    if (name.size() > sizeof(address->sun_path)) break;  // cannot fit anyway
  }
  *path = dir + "/" + name;
  memset(address, 0, sizeof(*address));
  address->sun_family = AF_UNIX;
  if (path->size() >= sizeof(address->sun_path)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  memcpy(address->sun_path, path->c_str(), path->size() + 1);
  *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path->size() + 1);
  return true;
}

// True when a process has the socket at the address bound and reads it.
bool EndpointIsLive(const sockaddr_un& address, socklen_t length) {
  int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return true;  // cannot tell: do not take the name over
  bool live = connect(probe, reinterpret_cast<const sockaddr*>(&address), length) == 0 ||
              errno != ECONNREFUSED;
  close(probe);
  return live;
}

uint32_t NextSequence() {
  static std::atomic<uint32_t> counter{static_cast<uint32_t>(getpid()) << 16};
  return ++counter;
}

uint64_t NowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

Datagram MakeMessage(uint32_t flags, UINT message, uint32_t sequence, WPARAM wparam,
                     LPARAM lparam) {
  Datagram d;
  memcpy(d.bytes, kMessageMagic, 4);
  Put32(d.bytes + 4, flags);
  Put32(d.bytes + 8, message);
  Put32(d.bytes + 12, sequence);
  Put64(d.bytes + 16, static_cast<uint64_t>(wparam));
  Put64(d.bytes + 24, static_cast<uint64_t>(lparam));
  return d;
}

// Connects the socket to the window's endpoint; false (last error set) when no
// window has that title.
bool ConnectToWindow(int fd, LPCSTR title) {
  sockaddr_un address;
  socklen_t length;
  std::string path;
  if (!WindowAddress(title, &address, &length, &path)) return false;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  return true;
}

// Sends one message without blocking; EAGAIN means the window's queue is full.
int SendWithoutBlocking(int fd, const Datagram& d) {
  ssize_t sent = send(fd, d.bytes, sizeof(d.bytes), MSG_DONTWAIT | MSG_NOSIGNAL);
  if (sent == static_cast<ssize_t>(sizeof(d.bytes))) return 0;
  return sent < 0 ? errno : EIO;
}

}  // namespace

extern "C" KavWindowEndpoint* KavCreateWindowEndpoint(LPCSTR window_title) {
  sockaddr_un address;
  socklen_t length;
  std::string path;
  if (!WindowAddress(window_title, &address, &length, &path)) return nullptr;
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    bool in_use = errno == EADDRINUSE;
    if (!in_use || EndpointIsLive(address, length)) {
      close(fd);
      SetLastError(in_use ? ERROR_ALREADY_EXISTS : ERROR_ACCESS_DENIED);
      return nullptr;
    }
    // Left behind by a program that ended without closing its endpoint.
    unlink(path.c_str());
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
      close(fd);
      SetLastError(ERROR_ALREADY_EXISTS);
      return nullptr;
    }
  }
  KavWindowEndpoint* endpoint = new KavWindowEndpoint;
  endpoint->fd = fd;
  endpoint->path = path;
  SetLastError(ERROR_SUCCESS);
  return endpoint;
}

extern "C" int KavWindowEndpointFd(const KavWindowEndpoint* endpoint) {
  return endpoint == nullptr ? -1 : endpoint->fd;
}

extern "C" int KavDispatchWindowMessages(KavWindowEndpoint* endpoint, KAV_WINDOW_PROC proc,
                                         void* context) {
  if (endpoint == nullptr || proc == nullptr) return 0;
  int handled = 0;
  for (int taken = 0; taken < kDispatchBatch; ++taken) {
    uint8_t buffer[KAV_WINDOW_MESSAGE_SIZE + 1];
    sockaddr_un sender;
    socklen_t sender_length = sizeof(sender);
    ssize_t got = recvfrom(endpoint->fd, buffer, sizeof(buffer), MSG_DONTWAIT,
                           reinterpret_cast<sockaddr*>(&sender), &sender_length);
    if (got < 0) {
      if (errno == EINTR) {
        --taken;
        continue;
      }
      break;  // nothing more waiting
    }
    if (got != KAV_WINDOW_MESSAGE_SIZE || memcmp(buffer, kMessageMagic, 4) != 0) continue;
    uint32_t flags = Get32(buffer + 4);
    UINT message = Get32(buffer + 8);
    uint32_t sequence = Get32(buffer + 12);
    WPARAM wparam = static_cast<WPARAM>(Get64(buffer + 16));
    LPARAM lparam = static_cast<LPARAM>(Get64(buffer + 24));
    LRESULT result = proc(context, message, wparam, lparam);
    ++handled;
    if ((flags & kFlagWantsReply) != 0 && sender_length > sizeof(sa_family_t)) {
      Datagram reply;
      memcpy(reply.bytes, kReplyMagic, 4);
      Put32(reply.bytes + 8, message);
      Put32(reply.bytes + 12, sequence);
      Put64(reply.bytes + 16, static_cast<uint64_t>(result));
      // A sender that gave up waiting is no reason to block the window.
      sendto(endpoint->fd, reply.bytes, sizeof(reply.bytes), MSG_DONTWAIT | MSG_NOSIGNAL,
             reinterpret_cast<const sockaddr*>(&sender), sender_length);
    }
  }
  return handled;
}

extern "C" void KavCloseWindowEndpoint(KavWindowEndpoint* endpoint) {
  if (endpoint == nullptr) return;
  close(endpoint->fd);
  unlink(endpoint->path.c_str());
  delete endpoint;
}

extern "C" BOOL KavPostWindowMessageA(LPCSTR window_title, UINT message, WPARAM wparam,
                                      LPARAM lparam) {
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  if (!ConnectToWindow(fd, window_title)) {
    close(fd);
    return FALSE;
  }
  int error = SendWithoutBlocking(fd, MakeMessage(0, message, 0, wparam, lparam));
  close(fd);
  if (error != 0) {
    // A window that does not keep up has a full queue, as on Windows.
    SetLastError(error == EAGAIN ? ERROR_NOT_ENOUGH_QUOTA : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

extern "C" BOOL KavSendWindowMessageA(LPCSTR window_title, UINT message, WPARAM wparam,
                                      LPARAM lparam, DWORD timeout_ms, LRESULT* result) {
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  // An automatically chosen abstract address, so that the window can answer.
  sockaddr_un self;
  memset(&self, 0, sizeof(self));
  self.sun_family = AF_UNIX;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&self), sizeof(sa_family_t)) != 0) {
    close(fd);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  uint32_t sequence = NextSequence();
  if (!ConnectToWindow(fd, window_title)) {
    close(fd);
    return FALSE;
  }
  const Datagram request = MakeMessage(kFlagWantsReply, message, sequence, wparam, lparam);
  uint64_t deadline = NowMs() + timeout_ms;
  // A full queue is waited out, within the same time-out.
  for (;;) {
    int error = SendWithoutBlocking(fd, request);
    if (error == 0) break;
    uint64_t now = NowMs();
    if (error != EAGAIN && error != EINTR) {
      close(fd);
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (now >= deadline) {
      close(fd);
      SetLastError(ERROR_TIMEOUT);
      return FALSE;
    }
    uint64_t left = deadline - now;
    pollfd writable = {fd, POLLOUT, 0};
    poll(&writable, 1, left > 60000 ? 60000 : static_cast<int>(left));
  }
  for (;;) {
    uint64_t now = NowMs();
    if (now >= deadline) break;
    uint64_t left = deadline - now;
    pollfd waiting = {fd, POLLIN, 0};
    int ready = poll(&waiting, 1, left > 60000 ? 60000 : static_cast<int>(left));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    uint8_t buffer[KAV_WINDOW_MESSAGE_SIZE + 1];
    ssize_t got = recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT);
    if (got != KAV_WINDOW_MESSAGE_SIZE || memcmp(buffer, kReplyMagic, 4) != 0 ||
        Get32(buffer + 12) != sequence) {
      continue;  // not the answer to this message
    }
    if (result != nullptr) *result = static_cast<LRESULT>(Get64(buffer + 16));
    close(fd);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
  }
  close(fd);
  SetLastError(ERROR_TIMEOUT);
  return FALSE;
}
