// Connection threads of the simulator's sockets.
#include "sim/server/ConnectionPool.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kavsim {

ConnectionPool::ConnectionPool(Serve serve) : serve_(std::move(serve)) {}

ConnectionPool::~ConnectionPool() {
  Stop();
  for (auto& [tag, fd] : listeners_) close(fd);
}

void ConnectionPool::AddListener(int tag, int fd) { listeners_.emplace_back(tag, fd); }

bool ConnectionPool::Start(std::string* error) {
  if (started_) return true;
  if (pipe2(wake_, O_CLOEXEC) != 0) {
    *error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  started_ = true;
  acceptor_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void ConnectionPool::AcceptLoop() {
  std::vector<pollfd> fds;
  fds.push_back({wake_[0], POLLIN, 0});
  for (auto& [tag, fd] : listeners_) fds.push_back({fd, POLLIN, 0});
  for (;;) {
    int n = poll(fds.data(), fds.size(), -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || fds[0].revents != 0) return;
    for (size_t i = 1; i < fds.size(); ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      int c = accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (c < 0) {
        // Out of descriptors: give finished connections a moment to go.
        if (errno == EMFILE || errno == ENFILE) poll(nullptr, 0, 10);
        continue;
      }
      int tag = listeners_[i - 1].first;
      std::lock_guard<std::mutex> lock(mutex_);
      Reap(false);
      connections_.emplace_back();
      Connection* conn = &connections_.back();
      conn->fd = c;
      conn->thread = std::thread([this, conn, tag] {
        serve_(tag, conn->fd);
        shutdown(conn->fd, SHUT_RDWR);  // the peer sees the end at once
        std::lock_guard<std::mutex> l(mutex_);
        conn->done = true;
      });
    }
  }
}

// Joins finished connections (all of them when stopping); mutex_ held.
void ConnectionPool::Reap(bool all) {
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (all || it->done) {
      // A thread marks itself done under the mutex and touches nothing after.
      mutex_.unlock();
      it->thread.join();
      mutex_.lock();
      close(it->fd);
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
}

void ConnectionPool::Stop() {
  if (!started_) return;
  started_ = false;
  char byte = 1;
  ssize_t ignored = write(wake_[1], &byte, 1);
  (void)ignored;
  acceptor_.join();
  close(wake_[0]);
  close(wake_[1]);
  wake_[0] = wake_[1] = -1;
  std::lock_guard<std::mutex> lock(mutex_);
  for (Connection& c : connections_) shutdown(c.fd, SHUT_RDWR);
  Reap(true);
}

}  // namespace kavsim
