// Events on eventfd: the counter is non-zero exactly while the event is
// signalled, so a poll loop can wait on the descriptor too.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/handles.h"
#include "wait_objects.h"

namespace kav::platform {

uint64_t MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

DWORD RemainingMs(DWORD timeout_ms, uint64_t start_ms) {
  if (timeout_ms == INFINITE) return INFINITE;
  uint64_t elapsed = MonotonicMs() - start_ms;
  return elapsed >= timeout_ms ? 0 : static_cast<DWORD>(timeout_ms - elapsed);
}

std::shared_ptr<EventObject> EventObject::Create(bool manual_reset, bool initial_state) {
  int fd = eventfd(initial_state ? 1 : 0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::shared_ptr<EventObject>(new EventObject(fd, manual_reset));
}

EventObject::~EventObject() { close(fd_); }

bool EventObject::Set() {
  uint64_t one = 1;
  // EAGAIN only when the counter is near overflow, i.e. signalled anyway.
  return write(fd_, &one, sizeof one) == static_cast<ssize_t>(sizeof one) || errno == EAGAIN;
}

bool EventObject::Reset() {
  uint64_t value = 0;
  return read(fd_, &value, sizeof value) == static_cast<ssize_t>(sizeof value) || errno == EAGAIN;
}

DWORD EventObject::Wait(DWORD timeout_ms) {
  const uint64_t start = MonotonicMs();
  for (;;) {
    DWORD left = RemainingMs(timeout_ms, start);
    pollfd pfd{fd_, POLLIN, 0};
    int ready = poll(&pfd, 1, left == INFINITE ? -1 : static_cast<int>(left));
    if (ready < 0) {
      if (errno == EINTR) continue;
      SetLastError(ERROR_GEN_FAILURE);
      return WAIT_FAILED;
    }
    if (ready == 0) return WAIT_TIMEOUT;
    if (manual_) return WAIT_OBJECT_0;
    // Auto-reset: only the waiter whose read takes the counter wins; the
    // others go back to waiting, so one SetEvent releases one waiter.
    uint64_t value = 0;
    if (read(fd_, &value, sizeof value) == static_cast<ssize_t>(sizeof value)) return WAIT_OBJECT_0;
    if (left == 0) return WAIT_TIMEOUT;
  }
}

}  // namespace kav::platform

using kav::platform::EventObject;
using kav::platform::HandleKind;
using kav::platform::LookupAs;

extern "C" HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manual_reset, BOOL initial_state,
                               LPCSTR name) {
  if (name != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto event = EventObject::Create(manual_reset != FALSE, initial_state != FALSE);
  if (!event) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  SetLastError(ERROR_SUCCESS);
  return kav::platform::RegisterHandle(std::move(event));
}

extern "C" BOOL SetEvent(HANDLE handle) {
  auto event = LookupAs<EventObject>(handle, HandleKind::kEvent);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return event->Set() ? TRUE : FALSE;
}

extern "C" BOOL ResetEvent(HANDLE handle) {
  auto event = LookupAs<EventObject>(handle, HandleKind::kEvent);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return event->Reset() ? TRUE : FALSE;
}

extern "C" int KavEventFd(HANDLE handle) {
  auto event = LookupAs<EventObject>(handle, HandleKind::kEvent);
  return event ? event->fd() : -1;
}
