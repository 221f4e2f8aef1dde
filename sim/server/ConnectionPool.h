// Accepts connections on a set of listening sockets from a background thread
// and serves each on its own thread until Stop.
#pragma once

#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kavsim {

class ConnectionPool {
 public:
  // Called on the connection's thread with the listener's tag and the socket;
  // returns when the connection is done (the pool closes it).
  using Serve = std::function<void(int tag, int fd)>;

  explicit ConnectionPool(Serve serve);
  ~ConnectionPool();
  void AddListener(int tag, int fd);  // before Start; the pool owns fd
  bool Start(std::string* error);
  void Stop();  // closes listeners, ends every connection, joins all threads

 private:
  struct Connection {
    int fd = -1;
    bool done = false;
    std::thread thread;
  };
  void AcceptLoop();
  void Reap(bool all);

  Serve serve_;
  std::vector<std::pair<int, int>> listeners_;  // tag, fd
  int wake_[2] = {-1, -1};
  std::thread acceptor_;
  std::mutex mutex_;
  std::list<Connection> connections_;
  bool started_ = false;
};

}  // namespace kavsim
