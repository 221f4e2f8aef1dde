// Listening and connecting on unix stream sockets.
#include "sim/server/UnixSocket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kavsim {
namespace {

bool Address(const std::string& path, sockaddr_un* a) {
  std::memset(a, 0, sizeof *a);
  if (path.empty() || path.size() >= sizeof a->sun_path) return false;
  a->sun_family = AF_UNIX;
  std::memcpy(a->sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

int ConnectUnix(const std::string& path) {
  sockaddr_un a;
  if (!Address(path, &a)) return -1;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  while (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    if (errno == EINTR) continue;
    close(fd);
    return -1;
  }
  return fd;
}

int ListenUnix(const std::string& path, std::string* error) {
  sockaddr_un a;
  if (!Address(path, &a)) {
    *error = "socket path too long: " + path;
    return -1;
  }
  int probe = ConnectUnix(path);
  if (probe >= 0) {
    close(probe);
    *error = path + " is already served by another process";
    return -1;
  }
  unlink(path.c_str());
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 16) != 0) {
    *error = "cannot listen on " + path + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace kavsim
