// Named mutexes: one name is one mutex for every thread and process, an
// abandoned mutex passes to the next waiter, and names live exactly as long as
// some handle is open.
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/windows.h"
#include "temp_dir.h"

namespace {

class NamedMutexTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("KAV_IPC_DIR", dir_.path().c_str(), 1); }
  void TearDown() override { unsetenv("KAV_IPC_DIR"); }
  TempDir dir_;
  const char* name_ = "Iqsprd\\LfzMojabBunrv3";
};

TEST_F(NamedMutexTest, SecondCreateOpensTheSameMutexUntilTheLastHandleCloses) {
  HANDLE first = CreateMutexA(nullptr, FALSE, name_);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  HANDLE second = CreateMutexA(nullptr, FALSE, name_);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

  // Owned through one handle, busy through the other from another thread.
  ASSERT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
  std::thread([&] { EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT); }).join();
  ASSERT_TRUE(ReleaseMutex(first));

  CloseHandle(first);
  CloseHandle(second);
  HANDLE again = CreateMutexA(nullptr, FALSE, name_);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "a name without handles is gone";
  CloseHandle(again);
}

TEST_F(NamedMutexTest, OwnershipIsRecursiveAndOnlyTheOwnerReleases) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, name_);
  ASSERT_NE(mutex, nullptr);
  ASSERT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_OBJECT_0);  // second level
  std::thread([&] {
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
  }).join();
  ASSERT_TRUE(ReleaseMutex(mutex));
  std::thread([&] { EXPECT_EQ(WaitForSingleObject(mutex, 20), WAIT_TIMEOUT); }).join();
  ASSERT_TRUE(ReleaseMutex(mutex));
  std::thread([&] {
    EXPECT_EQ(WaitForSingleObject(mutex, 1000), WAIT_OBJECT_0);
    ReleaseMutex(mutex);
  }).join();
  EXPECT_FALSE(ReleaseMutex(mutex));
  CloseHandle(mutex);
}

// Each holder marks the shared word while it owns the mutex; a second holder
// seeing the mark means two owners overlapped.
void HammerMutex(HANDLE mutex, volatile int* inside, std::atomic<int>* overlaps, int rounds) {
  for (int i = 0; i < rounds; ++i) {
    DWORD wait = WaitForSingleObject(mutex, INFINITE);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
      overlaps->fetch_add(1000);
      return;
    }
    if (__atomic_exchange_n(inside, 1, __ATOMIC_SEQ_CST) != 0) overlaps->fetch_add(1);
    usleep(50);
    __atomic_store_n(inside, 0, __ATOMIC_SEQ_CST);
    ReleaseMutex(mutex);
  }
}

TEST_F(NamedMutexTest, TwoThreadsNeverOverlap) {
  HANDLE a = CreateMutexA(nullptr, FALSE, name_);
  HANDLE b = CreateMutexA(nullptr, FALSE, name_);
  volatile int inside = 0;
  std::atomic<int> overlaps{0};
  std::thread t1(HammerMutex, a, &inside, &overlaps, 300);
  std::thread t2(HammerMutex, b, &inside, &overlaps, 300);
  t1.join();
  t2.join();
  EXPECT_EQ(overlaps.load(), 0);
  CloseHandle(a);
  CloseHandle(b);
}

TEST_F(NamedMutexTest, TwoProcessesNeverOverlap) {
  // The "inside" word lives in memory both processes share.
  auto* shared = static_cast<volatile int*>(
      mmap(nullptr, sizeof(int), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(shared, MAP_FAILED);
  *shared = 0;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name_);
    std::atomic<int> overlaps{0};
    HammerMutex(mutex, shared, &overlaps, 300);
    _exit(mutex != nullptr && overlaps.load() == 0 ? 0 : 1);
  }
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name_);
  std::atomic<int> overlaps{0};
  HammerMutex(mutex, shared, &overlaps, 300);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(overlaps.load(), 0);
  CloseHandle(mutex);
  munmap(const_cast<int*>(shared), sizeof(int));
}

TEST_F(NamedMutexTest, KilledHolderLeavesTheMutexAbandonedToTheNextWaiter) {
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
  GTEST_SKIP() << "ThreadSanitizer does not model a mutex taken over from a dead process";
#endif
#endif
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name_);
    char c = mutex != nullptr ? 'y' : 'n';
    (void)!write(ready[1], &c, 1);
    pause();
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name_);
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(WaitForSingleObject(mutex, 50), WAIT_TIMEOUT);

  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(WaitForSingleObject(mutex, 2000), WAIT_ABANDONED);
  ASSERT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0) << "usable again after abandonment";
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  close(ready[0]);
  close(ready[1]);
}

TEST_F(NamedMutexTest, NameOfADeadProcessIsGone) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CreateMutexA(nullptr, FALSE, "KavSnmpConfApp");
    raise(SIGKILL);
  }
  waitpid(child, nullptr, 0);
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "KavSnmpConfApp");
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  CloseHandle(mutex);
}

TEST(PrivateMutexTest, UnnamedMutexesAreIndependent) {
  HANDLE a = CreateMutexA(nullptr, TRUE, nullptr);
  HANDLE b = CreateMutexA(nullptr, FALSE, nullptr);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  std::thread([&] {
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0);
    ReleaseMutex(b);
  }).join();
  ReleaseMutex(a);
  EXPECT_TRUE(CloseHandle(a));
  EXPECT_TRUE(CloseHandle(b));
  EXPECT_FALSE(CloseHandle(a)) << "a closed handle is detected";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
