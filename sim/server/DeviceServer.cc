// Serves each controller of a simulator as the endpoint scsiN of a device
// directory, speaking the platform's device wire protocol.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/device_io.h"
#include "platform/device_wire.h"
#include "platform/handles.h"
#include "sim/Simulator.h"
#include "sim/server/ConnectionPool.h"
#include "sim/server/UnixSocket.h"

namespace kavsim {

namespace devwire = kav::devwire;

struct DeviceServer::Impl {
  Simulator& sim;
  std::string dir;
  void (*log)(const std::string&) = nullptr;
  std::unique_ptr<ConnectionPool> pool;
  std::vector<std::string> paths;

  Impl(Simulator& s, std::string d) : sim(s), dir(std::move(d)) {}

  void Log(const std::string& line) {
    if (log != nullptr) log(line);
  }

  void ServeConnection(int port, int fd) {
    Controller* c = sim.At(port);
    if (c == nullptr) return;
    Log("scsi" + std::to_string(port) + ": connected");
    std::vector<uint8_t> out;
    for (;;) {
      devwire::Request request;
      if (devwire::ReadRequest(fd, request, -1) != devwire::Result::kOk) break;
      if (c->HasFault(Fault::kDropConnection)) {
        Log("scsi" + std::to_string(port) + ": dropping the connection (fault)");
        break;
      }
      devwire::Answer answer;
      if (request.code != IOCTL_SCSI_MINIPORT) {
        answer.ok = false;
        answer.error = ERROR_INVALID_PARAMETER;
      } else {
        out.assign(std::min<size_t>(request.out_capacity, 64 * 1024), 0);
        size_t returned = 0;
        answer.ok = c->HandleControl(request.in.data(), request.in.size(), out.data(), out.size(),
                                     &returned);
        if (answer.ok) {
          answer.out.assign(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(returned));
          answer.bytes_returned = static_cast<uint32_t>(returned);
        } else {
          answer.error = ERROR_GEN_FAILURE;
        }
      }
      if (devwire::WriteAnswer(fd, answer, 5000) != devwire::Result::kOk) break;
    }
    Log("scsi" + std::to_string(port) + ": disconnected");
  }
};

DeviceServer::DeviceServer(Simulator& sim, std::string device_dir)
    : impl_(std::make_unique<Impl>(sim, std::move(device_dir))) {}

DeviceServer::~DeviceServer() { Stop(); }

void DeviceServer::SetLog(void (*log)(const std::string& line)) { impl_->log = log; }

bool DeviceServer::Start(std::string* error) {
  std::string scratch;
  if (error == nullptr) error = &scratch;
  if (impl_->pool) return true;
  if (mkdir(impl_->dir.c_str(), 0755) != 0 && errno != EEXIST) {
    *error = "cannot create device directory " + impl_->dir + ": " + std::strerror(errno);
    return false;
  }
  Impl* impl = impl_.get();
  auto pool = std::make_unique<ConnectionPool>([impl](int port, int fd) { impl->ServeConnection(port, fd); });
  std::vector<std::string> paths;
  for (int port : impl_->sim.Ports()) {
    std::string path = impl_->dir + "/scsi" + std::to_string(port);
    int fd = ListenUnix(path, error);
    if (fd < 0) {
      for (const std::string& p : paths) unlink(p.c_str());
      return false;  // the pool closes the listeners it holds
    }
    chmod(path.c_str(), 0666);
    pool->AddListener(port, fd);
    paths.push_back(path);
  }
  if (!pool->Start(error)) {
    for (const std::string& p : paths) unlink(p.c_str());
    return false;
  }
  for (const std::string& p : paths) impl_->Log("serving " + p);
  impl_->pool = std::move(pool);
  impl_->paths = std::move(paths);
  return true;
}

void DeviceServer::Stop() {
  if (!impl_ || !impl_->pool) return;
  // Remove the names first so that nobody connects to a server going away.
  for (const std::string& p : impl_->paths) unlink(p.c_str());
  impl_->pool->Stop();
  impl_->pool.reset();
  impl_->paths.clear();
}

}  // namespace kavsim
