// Events and threads: auto-reset wakes one waiter, manual-reset wakes all, the
// event's descriptor works in a poll loop, a thread handle signals its end.
#include <poll.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/windows.h"

namespace {

TEST(EventTest, AutoResetReleasesOneWaiterPerSet) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      if (WaitForSingleObject(event, 1000) == WAIT_OBJECT_0) woken++;
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  SetEvent(event);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(woken.load(), 1);
  SetEvent(event);
  SetEvent(event);  // the two remaining waiters may take these or time out; never more than 3
  for (auto& t : waiters) t.join();
  EXPECT_LE(woken.load(), 3);
  EXPECT_GE(woken.load(), 2);
  CloseHandle(event);
}

TEST(EventTest, SignalsBeforeAWaitCountAsOne) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  SetEvent(event);
  SetEvent(event);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST(EventTest, ManualResetStaysSignalledUntilReset) {
  HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  ResetEvent(event);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(event, 30), WAIT_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
  CloseHandle(event);
}

TEST(EventTest, DescriptorIsReadableExactlyWhileSignalled) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  int fd = KavEventFd(event);
  ASSERT_GE(fd, 0);
  pollfd pfd{fd, POLLIN, 0};
  EXPECT_EQ(poll(&pfd, 1, 0), 0);
  SetEvent(event);
  EXPECT_EQ(poll(&pfd, 1, 0), 1);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);  // consumes the signal
  EXPECT_EQ(poll(&pfd, 1, 0), 0);
  EXPECT_EQ(KavEventFd(nullptr), -1);
  CloseHandle(event);
}

TEST(EventTest, NamedEventsAreRefused) {
  EXPECT_EQ(CreateEventA(nullptr, FALSE, FALSE, "name"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

DWORD WINAPI SetAndSleep(LPVOID parameter) {
  SetEvent(static_cast<HANDLE>(parameter));
  Sleep(30);
  return 0;
}

TEST(ThreadTest, HandleIsSignalledWhenTheThreadEnds) {
  HANDLE started = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, SetAndSleep, started, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(WaitForSingleObject(started, 2000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(thread, 2000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
  CloseHandle(thread);
  CloseHandle(started);
}

TEST(ThreadTest, TickCountAdvancesWithSleep) {
  DWORD before = GetTickCount();
  Sleep(20);
  DWORD elapsed = GetTickCount() - before;
  EXPECT_GE(elapsed, 19u);
  EXPECT_LT(elapsed, 2000u);
}

TEST(MemoryTest, LocalAllocZeroFillsAndSecurityDescriptorsValidate) {
  auto* block = static_cast<uint8_t*>(LocalAlloc(LMEM_ZEROINIT, SECURITY_DESCRIPTOR_MIN_LENGTH));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < SECURITY_DESCRIPTOR_MIN_LENGTH; ++i) EXPECT_EQ(block[i], 0);
  EXPECT_FALSE(SetSecurityDescriptorDacl(block, TRUE, nullptr, FALSE)) << "not initialised yet";
  EXPECT_FALSE(InitializeSecurityDescriptor(block, 2));
  EXPECT_TRUE(InitializeSecurityDescriptor(block, SECURITY_DESCRIPTOR_REVISION));
  EXPECT_TRUE(SetSecurityDescriptorDacl(block, TRUE, nullptr, FALSE));
  EXPECT_EQ(LocalFree(block), nullptr);
}

}  // namespace
