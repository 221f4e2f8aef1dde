// CreateFileA and DeviceIoControl on device endpoints (unix sockets in the
// device directory), speaking the protocol of device_wire.h.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "handle_table.h"
#include "platform/device_io.h"
#include "platform/device_wire.h"
#include "platform/handles.h"

namespace kav::platform {
namespace {

int DeviceTimeoutMs() {
  const char* value = getenv("KAV_DEVICE_TIMEOUT_MS");
  if (value != nullptr && *value != '\0') {
    long ms = strtol(value, nullptr, 10);
    if (ms > 0 && ms < 3600000) return static_cast<int>(ms);
  }
  return 5000;
}

std::string DeviceDir() {
  const char* dir = getenv("KAV_DEVICE_DIR");
  return (dir != nullptr && *dir != '\0') ? dir : "/run/kavor/devices";
}

int Connect(const std::string& endpoint) {
  sockaddr_un address{};
  if (endpoint.size() >= sizeof address.sun_path) return -1;
  address.sun_family = AF_UNIX;
  memcpy(address.sun_path, endpoint.c_str(), endpoint.size() + 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  while (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (errno == EINTR) continue;
    close(fd);
    return -1;
  }
  return fd;
}

class DeviceObject : public HandleObject {
 public:
  DeviceObject(std::string endpoint, int fd)
      : HandleObject(HandleKind::kDevice), endpoint_(std::move(endpoint)), fd_(fd) {}
  ~DeviceObject() override {
    if (fd_ >= 0) close(fd_);
  }

  BOOL Control(DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size, DWORD* returned) {
    std::lock_guard lock(mutex_);
    if (returned != nullptr) *returned = 0;
    if (fd_ < 0) fd_ = Connect(endpoint_);  // the previous exchange dropped the connection
    if (fd_ < 0) return Fail(ERROR_DEVICE_NOT_CONNECTED);
    devwire::Request request;
    request.code = code;
    if (in != nullptr && in_size > 0) {
      const auto* bytes = static_cast<const uint8_t*>(in);
      request.in.assign(bytes, bytes + in_size);
    }
    request.out_capacity = out != nullptr ? out_size : 0;
    const int timeout = DeviceTimeoutMs();
    devwire::Answer answer;
    devwire::Result result = devwire::WriteRequest(fd_, request, timeout);
    if (result == devwire::Result::kOk) result = devwire::ReadAnswer(fd_, answer, timeout);
    if (result != devwire::Result::kOk) {
      // Whatever the peer sends later can no longer be matched to a request.
      close(fd_);
      fd_ = -1;
      return Fail(result == devwire::Result::kTimeout ? ERROR_SEM_TIMEOUT : ERROR_GEN_FAILURE);
    }
    if (answer.out.size() > request.out_capacity) {
      close(fd_);
      fd_ = -1;
      return Fail(ERROR_GEN_FAILURE);
    }
    if (!answer.out.empty()) memcpy(out, answer.out.data(), answer.out.size());
    if (returned != nullptr) *returned = answer.bytes_returned;
    if (!answer.ok) return Fail(answer.error != 0 ? answer.error : ERROR_GEN_FAILURE);
    return TRUE;
  }

 private:
  static BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
  }

  std::mutex mutex_;
  std::string endpoint_;
  int fd_;
};

}  // namespace
}  // namespace kav::platform

using namespace kav::platform;

extern "C" HANDLE CreateFileA(LPCSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
  static const char kDevicePrefix[] = "\\\\.\\";
  if (path == nullptr || strncmp(path, kDevicePrefix, 4) != 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::string name = path + 4;
  if (!name.empty() && name.back() == ':') name.pop_back();
  if (name.empty() || name.find('/') != std::string::npos || name.find('\\') != std::string::npos ||
      name == "." || name == "..") {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::string endpoint = DeviceDir() + "/" + name;
  int fd = Connect(endpoint);
  if (fd < 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return RegisterHandle(std::make_shared<DeviceObject>(endpoint, fd));
}

extern "C" BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD in_size, LPVOID out,
                                DWORD out_size, LPDWORD bytes_returned, LPOVERLAPPED overlapped) {
  auto object = LookupAs<DeviceObject>(device, HandleKind::kDevice);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (overlapped != nullptr || (in == nullptr && in_size != 0) || in_size > kav::devwire::kMaxBlock ||
      out_size > kav::devwire::kMaxBlock) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return object->Control(code, in, in_size, out, out_size, bytes_returned);
}
