// Device calls against a tiny endpoint served by the test itself: a normal
// exchange, a missing endpoint, a peer that dies and one that stalls.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "platform/device_wire.h"
#include "platform/windows.h"
#include "temp_dir.h"

namespace {

using kav::devwire::Answer;
using kav::devwire::Request;
using kav::devwire::Result;

// Serves one endpoint; each connection is handled by `serve` until it returns false.
class TinyEndpoint {
 public:
  TinyEndpoint(const std::string& path, std::function<bool(int fd)> serve) : serve_(std::move(serve)) {
    listener_ = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 4);
    thread_ = std::thread([this] {
      for (;;) {
        int fd = accept(listener_, nullptr, nullptr);
        if (fd < 0 || stop_) {
          if (fd >= 0) close(fd);
          return;
        }
        while (serve_(fd)) {
        }
        close(fd);
      }
    });
  }
  ~TinyEndpoint() {
    stop_ = true;
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    thread_.join();
  }

 private:
  std::function<bool(int)> serve_;
  int listener_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("KAV_DEVICE_DIR", dir_.path().c_str(), 1); }
  void TearDown() override {
    unsetenv("KAV_DEVICE_DIR");
    unsetenv("KAV_DEVICE_TIMEOUT_MS");
  }
  static HANDLE Open(const char* path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
  }
  TempDir dir_;
};

// Answers each request with its input reversed, and fails code 0xBAD.
bool EchoReversed(int fd) {
  Request request;
  if (kav::devwire::ReadRequest(fd, request, 2000) != Result::kOk) return false;
  Answer answer;
  answer.ok = request.code != 0xBAD;
  answer.error = answer.ok ? 0 : 31;
  answer.out.assign(request.in.rbegin(), request.in.rend());
  if (answer.out.size() > request.out_capacity) answer.out.resize(request.out_capacity);
  answer.bytes_returned = static_cast<uint32_t>(answer.out.size());
  return kav::devwire::WriteAnswer(fd, answer, 2000) == Result::kOk;
}

TEST_F(DeviceTest, ExchangeReachesTheEndpointAndBack) {
  TinyEndpoint endpoint(dir_.File("scsi3"), EchoReversed);
  HANDLE device = Open("\\\\.\\scsi3:");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  uint8_t in[4] = {1, 2, 3, 4};
  uint8_t out[8] = {};
  DWORD returned = 0;
  ASSERT_TRUE(DeviceIoControl(device, IOCTL_SCSI_MINIPORT, in, 4, out, sizeof out, &returned, nullptr));
  EXPECT_EQ(returned, 4u);
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(out[3], 1);
  EXPECT_FALSE(DeviceIoControl(device, 0xBAD, in, 4, out, sizeof out, &returned, nullptr));
  EXPECT_EQ(GetLastError(), 31u);
  // The connection survives a failed call that was properly answered.
  EXPECT_TRUE(DeviceIoControl(device, IOCTL_SCSI_MINIPORT, in, 2, out, 1, &returned, nullptr));
  EXPECT_EQ(returned, 1u);
  CloseHandle(device);
}

TEST_F(DeviceTest, MissingEndpointOrOtherPathsFailToOpen) {
  EXPECT_EQ(Open("\\\\.\\scsi7:"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Open("/etc/passwd"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(Open("\\\\.\\..:"), INVALID_HANDLE_VALUE);
}

TEST_F(DeviceTest, PeerThatDiesFailsTheCallWithoutSignal) {
  std::atomic<int> served{0};
  TinyEndpoint endpoint(dir_.File("scsi0"), [&](int fd) {
    Request request;
    kav::devwire::ReadRequest(fd, request, 2000);
    served++;
    return false;  // hang up without answering
  });
  HANDLE device = Open("\\\\.\\scsi0");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  uint8_t block[1060] = {};
  DWORD returned = 7;
  EXPECT_FALSE(DeviceIoControl(device, IOCTL_SCSI_MINIPORT, block, sizeof block, block, sizeof block, &returned, nullptr));
  EXPECT_EQ(returned, 0u);
  // The next call connects again (and fails again the same way).
  EXPECT_FALSE(DeviceIoControl(device, IOCTL_SCSI_MINIPORT, block, sizeof block, block, sizeof block, &returned, nullptr));
  EXPECT_EQ(served.load(), 2);
  CloseHandle(device);
}

TEST_F(DeviceTest, StalledPeerFailsWithinTheDeviceTimeout) {
  setenv("KAV_DEVICE_TIMEOUT_MS", "200", 1);
  std::atomic<bool> release{false};
  TinyEndpoint endpoint(dir_.File("scsi1"), [&](int fd) {
    Request request;
    kav::devwire::ReadRequest(fd, request, 2000);
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return false;
  });
  HANDLE device = Open("\\\\.\\scsi1:");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  uint8_t block[28] = {};
  DWORD returned = 0;
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(DeviceIoControl(device, IOCTL_SCSI_MINIPORT, block, sizeof block, block, sizeof block, &returned, nullptr));
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SEM_TIMEOUT));
  EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
  release = true;
  CloseHandle(device);
}

TEST_F(DeviceTest, AnswerLargerThanTheCallersBufferIsRefused) {
  TinyEndpoint endpoint(dir_.File("scsi2"), [](int fd) {
    Request request;
    if (kav::devwire::ReadRequest(fd, request, 2000) != Result::kOk) return false;
    Answer answer;
    answer.ok = true;
    answer.out.assign(request.out_capacity + 10, 0xEE);  // a misbehaving peer
    answer.bytes_returned = static_cast<uint32_t>(answer.out.size());
    kav::devwire::WriteAnswer(fd, answer, 2000);
    return true;
  });
  HANDLE device = Open("\\\\.\\scsi2:");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  uint8_t out[16] = {};
  uint8_t guard[16];
  memset(guard, 0, sizeof guard);
  DWORD returned = 0;
  EXPECT_FALSE(DeviceIoControl(device, IOCTL_SCSI_MINIPORT, out, 4, out, sizeof out, &returned, nullptr));
  EXPECT_EQ(memcmp(out, guard, sizeof out), 0) << "nothing copied past or into the buffer";
  CloseHandle(device);
}

}  // namespace
