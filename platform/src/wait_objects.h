// The waitable objects behind mutex, event and thread handles.
#pragma once

#include <pthread.h>
#include <sys/types.h>

#include <memory>
#include <string>

#include "handle_table.h"
#include "platform/sync.h"

namespace kav::platform {

// A file descriptor that is readable while the object is signalled, and the
// wait rules of an event.
class EventObject : public HandleObject {
 public:
  static std::shared_ptr<EventObject> Create(bool manual_reset, bool initial_state);
  ~EventObject() override;
  bool Set();
  bool Reset();
  DWORD Wait(DWORD timeout_ms);
  int fd() const { return fd_; }

 private:
  EventObject(int fd, bool manual_reset) : HandleObject(HandleKind::kEvent), fd_(fd), manual_(manual_reset) {}
  int fd_;
  bool manual_;
};

// A robust, recursive pthread mutex, either private or in a shared file.
class MutexObject : public HandleObject {
 public:
  // Who owns the mutex and how often; beside the pthread mutex, in the shared
  // file for named mutexes. A dead owner's entry is overwritten by the waiter
  // that takes the abandoned mutex over.
  struct Ownership {
    pid_t owner = 0;  // thread id of the owner, 0 while free
    int depth = 0;    // recursion count, touched only by the owner
  };

  ~MutexObject() override;
  DWORD Wait(DWORD timeout_ms);
  bool Release();

  // Unnamed: private to this handle.
  static std::shared_ptr<MutexObject> CreatePrivate();
  // Named: opened or created machine-wide; *existed tells which.
  static std::shared_ptr<MutexObject> OpenNamed(const std::string& name, bool* existed, DWORD* error);

 private:
  MutexObject() : HandleObject(HandleKind::kMutex) {}
  void TakeOwnership(pid_t self);
  pthread_mutex_t* mutex_ = nullptr;
  Ownership* state_ = nullptr;
  void* mapping_ = nullptr;  // shared file mapping, or nullptr for a private mutex
  size_t mapping_size_ = 0;
  int fd_ = -1;              // holds a shared lock on the mutex file while the handle is open
};

// A thread: signalled once its start routine has returned.
class ThreadObject : public HandleObject {
 public:
  ThreadObject() : HandleObject(HandleKind::kThread), done(EventObject::Create(true, false)) {}
  std::shared_ptr<EventObject> done;
};

// Milliseconds left of a timeout that started at start_ms (INFINITE stays INFINITE).
DWORD RemainingMs(DWORD timeout_ms, uint64_t start_ms);
uint64_t MonotonicMs();

}  // namespace kav::platform
