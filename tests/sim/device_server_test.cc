// The device server: endpoints scsiN reached through the platform's CreateFileA
// and DeviceIoControl, several clients at once, faults at the connection level.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "DriverHost.h"
#include "SnmpTestClient.h"
#include "SimTempDir.h"
#include "platform/windows.h"

namespace kavsim::testing {
namespace {

class DeviceServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    sim_ = Simulator::LoadText(R"({"controllers": [{"port": 2}, {"port": 9, "event_slots": 32}]})", &error);
    ASSERT_TRUE(sim_) << error;
    server_ = std::make_unique<DeviceServer>(*sim_, dir_.path() + "/dev");
    ASSERT_TRUE(server_->Start(&error)) << error;
    setenv("KAV_DEVICE_DIR", (dir_.path() + "/dev").c_str(), 1);
    setenv("KAV_DEVICE_TIMEOUT_MS", "2000", 1);
  }

  static HANDLE Open(int port) {
    std::string path = "\\\\.\\scsi" + std::to_string(port) + ":";
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
  }

  static bool Call(HANDLE h, std::vector<uint8_t>& block, std::vector<uint8_t>* out = nullptr) {
    DWORD returned = 0;
    uint8_t* o = out != nullptr ? out->data() : block.data();
    DWORD osize = static_cast<DWORD>(out != nullptr ? out->size() : block.size());
    return DeviceIoControl(h, IOCTL_SCSI_MINIPORT, block.data(), static_cast<DWORD>(block.size()), o,
                           osize, &returned, nullptr) != FALSE;
  }

  // One command through the platform, the way the host transport does it.
  static std::vector<uint8_t> Command(HANDLE h, uint8_t code, const std::vector<uint8_t>& payload = {}) {
    auto frame = BuildRequestFrame(code, payload);
    auto prep = Block(miniport::kPrepareFirst, miniport::kWindow);
    if (!Call(h, prep)) return {};
    auto write = Block(miniport::kWrite, static_cast<uint32_t>(frame.size()), frame.data());
    if (!Call(h, write) || Get32(write.data() + 20) != 1) return {};
    std::vector<uint8_t> reply;
    for (int polls = 0; polls < 200; ++polls) {
      auto read = Block(miniport::kRead, miniport::kWindow);
      std::vector<uint8_t> out(miniport::kBlockSize);
      if (!Call(h, read, &out)) return {};
      uint32_t n = Get32(out.data() + 24);
      reply.insert(reply.end(), out.begin() + 28, out.begin() + 28 + n);
      if (reply.size() >= 6 && reply.size() >= size_t{reply[3]} + 256u * reply[4] + 6) break;
    }
    return reply;
  }

  TempDir dir_;
  std::unique_ptr<Simulator> sim_;
  std::unique_ptr<DeviceServer> server_;
};

TEST_F(DeviceServerTest, PlatformDeviceCallsReachTheController) {
  HANDLE h = Open(2);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  auto probe = Block(miniport::kProbe, 0, nullptr, 28);
  ASSERT_TRUE(Call(h, probe));
  EXPECT_EQ(Get32(probe.data() + 20), 63u);
  auto info = Command(h, 35);
  ASSERT_EQ(info.size(), 262u);
  EXPECT_TRUE(ValidReply(info));
  EXPECT_EQ(Get32(info.data() + 5 + 148), 128u);
  CloseHandle(h);

  h = Open(9);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Get32(Command(h, 35).data() + 5 + 148), 32u) << "each port is its own controller";
  CloseHandle(h);
  EXPECT_EQ(Open(3), INVALID_HANDLE_VALUE) << "no endpoint without a controller";
}

TEST_F(DeviceServerTest, OtherIoctlCodesAndFailingControlCallsFail) {
  HANDLE h = Open(2);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  auto probe = Block(miniport::kProbe, 0, nullptr, 28);
  DWORD returned = 0;
  EXPECT_FALSE(DeviceIoControl(h, 0x2D1400, probe.data(), 28, probe.data(), 28, &returned, nullptr));
  sim_->At(2)->SetFault(Fault::kFailControl, true);
  EXPECT_FALSE(Call(h, probe));
  sim_->At(2)->SetFault(Fault::kFailControl, false);
  EXPECT_TRUE(Call(h, probe)) << "the connection survives a failed call";
  CloseHandle(h);
}

TEST_F(DeviceServerTest, DropConnectionFailsCallsUntilSwitchedOff) {
  HANDLE h = Open(2);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  sim_->At(2)->SetFault(Fault::kDropConnection, true);
  auto probe = Block(miniport::kProbe, 0, nullptr, 28);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Call(h, probe));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500))
      << "a hang-up is seen at once, not after the device time-out";
  sim_->At(2)->SetFault(Fault::kDropConnection, false);
  EXPECT_TRUE(Call(h, probe)) << "the platform reconnects";
  CloseHandle(h);
}

TEST_F(DeviceServerTest, ClientsOnSeveralPortsAtOnce) {
  // Two clients per port, each exchange under a per-port lock as the host
  // holds its port mutex, while events are logged meanwhile.
  std::mutex port_locks[2];
  std::vector<std::thread> threads;
  std::atomic<int> good{0};
  // Built once: the engines on both ports decode at the same time.
  const auto snmp = BuildSnmpRequest(SNMP_MSG_GETNEXT, {{1, 3, 6, 1, 4, 1, 47319}});
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      int slot = t % 2;
      int port = slot == 0 ? 2 : 9;
      HANDLE h = Open(port);
      if (h == INVALID_HANDLE_VALUE) return;
      for (int i = 0; i < 20; ++i) {
        sim_->At(port)->AppendEvent(4, 0, 0, "");
        std::lock_guard<std::mutex> lock(port_locks[slot]);
        if (i % 2 == 0) {
          auto r = Command(h, 19);
          if (ValidReply(r) && r.size() == 70) ++good;
        } else {
          auto r = Command(h, 30, snmp);
          if (ValidReply(r) && r.size() > 30) ++good;
        }
      }
      CloseHandle(h);
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(good.load(), 80);
  EXPECT_EQ(sim_->At(2)->EventPointer(), 40 % 128);
  EXPECT_EQ(sim_->At(9)->EventPointer(), 40 % 32);
}

TEST_F(DeviceServerTest, StopRemovesEndpointsAndASecondServerIsRefused) {
  std::string error;
  DeviceServer second(*sim_, dir_.path() + "/dev");
  EXPECT_FALSE(second.Start(&error));
  EXPECT_NE(error.find("already served"), std::string::npos) << error;
  EXPECT_TRUE(std::filesystem::exists(dir_.path() + "/dev/scsi2"));
  server_->Stop();
  EXPECT_FALSE(std::filesystem::exists(dir_.path() + "/dev/scsi2"));
  EXPECT_EQ(Open(2), INVALID_HANDLE_VALUE);
}

}  // namespace
}  // namespace kavsim::testing
