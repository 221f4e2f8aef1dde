// Mutexes: private ones on the heap, named ones in a file of the IPC directory
// shared by every process of the machine.
//
// A name exists while some process holds a handle to it. Each open handle holds
// a shared flock on the mutex file; whoever can take it exclusively is alone and
// (re)initialises the mutex. A guard file serialises openers of one name so
// that the check and the initialisation happen as one step. Locks of a process
// that dies go away with it, so a crashed holder never keeps a name alive.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/handles.h"
#include "wait_objects.h"

namespace kav::platform {
namespace {

constexpr uint32_t kSharedMutexMagic = 0x4B4D5458;  // "KMTX"

struct SharedMutex {
  uint32_t magic;
  pthread_mutex_t mutex;
  MutexObject::Ownership ownership;
};

pid_t CurrentThreadId() {
  thread_local pid_t id = gettid();
  return id;
}

bool InitRobust(pthread_mutex_t* mutex, bool shared) {
  pthread_mutexattr_t attr;
  if (pthread_mutexattr_init(&attr) != 0) return false;
  bool ok = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_NORMAL) == 0 &&
            pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST) == 0 &&
            pthread_mutexattr_setpshared(&attr, shared ? PTHREAD_PROCESS_SHARED
                                                       : PTHREAD_PROCESS_PRIVATE) == 0 &&
            pthread_mutex_init(mutex, &attr) == 0;
  pthread_mutexattr_destroy(&attr);
  return ok;
}

std::string IpcDir() {
  const char* dir = getenv("KAV_IPC_DIR");
  return (dir != nullptr && *dir != '\0') ? dir : "/dev/shm";
}

// Any character may appear in a name; the file name keeps letters and digits
// and escapes the rest, and a hash stands in for names too long for a file.
std::string FileStem(const std::string& name) {
  std::string stem = "kavmtx.";
  for (unsigned char c : name) {
    if (isalnum(c) || c == '-' || c == '_') {
      stem += static_cast<char>(c);
    } else {
      char hex[4];
      snprintf(hex, sizeof hex, "%%%02X", c);
      stem += hex;
    }
  }
  if (stem.size() > 200) {
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    char text[32];
    snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    stem = stem.substr(0, 160) + "." + text;
  }
  return stem;
}

int OpenShared(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd >= 0) fchmod(fd, 0666);  // past the umask; fails harmlessly on another user's file
  return fd;
}

bool LockFile(int fd, int operation) {
  while (flock(fd, operation) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

MutexObject::~MutexObject() {
  if (mapping_ != nullptr) {
    munmap(mapping_, mapping_size_);
  } else if (mutex_ != nullptr) {
    pthread_mutex_destroy(mutex_);
    delete mutex_;
    delete state_;
  }
  if (fd_ >= 0) close(fd_);
}

std::shared_ptr<MutexObject> MutexObject::CreatePrivate() {
  std::shared_ptr<MutexObject> object(new MutexObject());
  object->mutex_ = new pthread_mutex_t;
  object->state_ = new Ownership{};
  if (!InitRobust(object->mutex_, false)) {
    delete object->mutex_;
    object->mutex_ = nullptr;
    return nullptr;
  }
  return object;
}

std::shared_ptr<MutexObject> MutexObject::OpenNamed(const std::string& name, bool* existed,
                                                    DWORD* error) {
  const std::string base = IpcDir() + "/" + FileStem(name);
  *error = ERROR_ACCESS_DENIED;
  int guard = OpenShared(base + ".guard");
  if (guard < 0) return nullptr;
  std::shared_ptr<MutexObject> object(new MutexObject());
  bool ok = false;
  if (LockFile(guard, LOCK_EX)) {
    int fd = OpenShared(base);
    if (fd >= 0) {
      object->fd_ = fd;
      bool alone = flock(fd, LOCK_EX | LOCK_NB) == 0;
      object->mapping_size_ = sizeof(SharedMutex);
      if (alone && (ftruncate(fd, 0) != 0 ||
                    ftruncate(fd, static_cast<off_t>(sizeof(SharedMutex))) != 0)) {
        alone = false, fd = -1;
      }
      if (fd >= 0) {
        void* mapping = mmap(nullptr, sizeof(SharedMutex), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (mapping != MAP_FAILED) {
          object->mapping_ = mapping;
          auto* shared = static_cast<SharedMutex*>(mapping);
          if (alone) {
            ok = InitRobust(&shared->mutex, true);
            shared->ownership = Ownership{};
            __atomic_store_n(&shared->magic, kSharedMutexMagic, __ATOMIC_RELEASE);
          } else {
            struct stat st {};
            ok = fstat(fd, &st) == 0 && st.st_size >= static_cast<off_t>(sizeof(SharedMutex)) &&
                 __atomic_load_n(&shared->magic, __ATOMIC_ACQUIRE) == kSharedMutexMagic;
            if (!ok) *error = ERROR_GEN_FAILURE;
          }
          object->mutex_ = &shared->mutex;
          object->state_ = &shared->ownership;
          // Now a user of the name like every other handle holder.
          ok = ok && LockFile(fd, LOCK_SH);
          *existed = !alone;
        }
      }
    }
  }
  close(guard);
  if (!ok) return nullptr;
  *error = ERROR_SUCCESS;
  return object;
}

DWORD MutexObject::Wait(DWORD timeout_ms) {
  // Recursion is counted here rather than by a recursive pthread mutex, so that
  // a release by a thread that does not own the mutex is refused without ever
  // unlocking someone else's mutex.
  const pid_t self = CurrentThreadId();
  if (__atomic_load_n(&state_->owner, __ATOMIC_RELAXED) == self) {
    ++state_->depth;
    return WAIT_OBJECT_0;
  }
  int rc;
  if (timeout_ms == INFINITE) {
    rc = pthread_mutex_lock(mutex_);
  } else if (timeout_ms == 0) {
    rc = pthread_mutex_trylock(mutex_);
  } else {
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += timeout_ms / 1000;
    deadline.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
      deadline.tv_sec += 1;
      deadline.tv_nsec -= 1000000000L;
    }
    rc = pthread_mutex_timedlock(mutex_, &deadline);
  }
  switch (rc) {
    case 0:
      TakeOwnership(self);
      return WAIT_OBJECT_0;
    case EOWNERDEAD:
      // The previous owner died holding it: we own it now, as on Windows.
      pthread_mutex_consistent(mutex_);
      TakeOwnership(self);
      return WAIT_ABANDONED;
    case EBUSY:
    case ETIMEDOUT:
      return WAIT_TIMEOUT;
    default:
      SetLastError(ERROR_GEN_FAILURE);
      return WAIT_FAILED;
  }
}

void MutexObject::TakeOwnership(pid_t self) {
  state_->depth = 1;
  __atomic_store_n(&state_->owner, self, __ATOMIC_RELAXED);
}

bool MutexObject::Release() {
  if (__atomic_load_n(&state_->owner, __ATOMIC_RELAXED) != CurrentThreadId()) return false;
  if (--state_->depth > 0) return true;
  __atomic_store_n(&state_->owner, 0, __ATOMIC_RELAXED);
  return pthread_mutex_unlock(mutex_) == 0;
}

}  // namespace kav::platform

using kav::platform::HandleKind;
using kav::platform::MutexObject;

extern "C" HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initial_owner, LPCSTR name) {
  std::shared_ptr<MutexObject> mutex;
  bool existed = false;
  DWORD error = ERROR_SUCCESS;
  if (name == nullptr) {
    mutex = MutexObject::CreatePrivate();
    if (!mutex) error = ERROR_NOT_ENOUGH_MEMORY;
  } else {
    mutex = MutexObject::OpenNamed(name, &existed, &error);
  }
  if (!mutex) {
    SetLastError(error);
    return nullptr;
  }
  if (initial_owner) mutex->Wait(INFINITE);
  HANDLE handle = kav::platform::RegisterHandle(mutex);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

extern "C" BOOL ReleaseMutex(HANDLE handle) {
  auto mutex = kav::platform::LookupAs<MutexObject>(handle, HandleKind::kMutex);
  if (!mutex) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!mutex->Release()) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  return TRUE;
}
