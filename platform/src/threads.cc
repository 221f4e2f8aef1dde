// Threads, Sleep, GetTickCount and WaitForSingleObject over every waitable kind.
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <ctime>

#include "platform/handles.h"
#include "platform/threads.h"
#include "wait_objects.h"

namespace kav::platform {
namespace {

std::atomic<DWORD> g_next_thread_id{1};

struct ThreadStart {
  LPTHREAD_START_ROUTINE start;
  LPVOID parameter;
  std::shared_ptr<ThreadObject> thread;
};

void* RunThread(void* raw) {
  auto* start = static_cast<ThreadStart*>(raw);
  start->start(start->parameter);
  start->thread->done->Set();
  delete start;
  return nullptr;
}

}  // namespace
}  // namespace kav::platform

using namespace kav::platform;

extern "C" HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stack_size,
                               LPTHREAD_START_ROUTINE start, LPVOID parameter,
                               DWORD creation_flags, LPDWORD thread_id) {
  if (start == nullptr || (creation_flags & CREATE_SUSPENDED) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto thread = std::make_shared<ThreadObject>();
  if (!thread->done) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  if (stack_size != 0) pthread_attr_setstacksize(&attr, stack_size < 65536 ? 65536 : stack_size);
  auto* data = new ThreadStart{start, parameter, thread};
  pthread_t id;
  int rc = pthread_create(&id, &attr, RunThread, data);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete data;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (thread_id != nullptr) *thread_id = g_next_thread_id.fetch_add(1);
  return RegisterHandle(thread);
}

extern "C" void Sleep(DWORD milliseconds) {
  timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

extern "C" DWORD GetTickCount(void) { return static_cast<DWORD>(MonotonicMs()); }

extern "C" DWORD WaitForSingleObject(HANDLE handle, DWORD timeout_ms) {
  auto object = LookupHandle(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  switch (object->kind()) {
    case HandleKind::kMutex:
      return static_cast<MutexObject*>(object.get())->Wait(timeout_ms);
    case HandleKind::kEvent:
      return static_cast<EventObject*>(object.get())->Wait(timeout_ms);
    case HandleKind::kThread:
      return static_cast<ThreadObject*>(object.get())->done->Wait(timeout_ms);
    default:
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
  }
}
