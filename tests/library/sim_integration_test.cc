// The library against the in-process simulated controller, through the real
// miniport transport and the platform's device calls: attach, records, data
// area, web pass-through, incremental event reads, and the transport's
// time-out paths under the simulator's faults.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "library/commands/CKavlib.h"
#include "library/transport/WinIoctlInterface.h"
#include "platform/windows.h"
#include "sim/Simulator.h"
#include "tests/support/ScriptedTransport.h"

namespace {

const char* const kRaidScenario = R"({
  "name": "one RAID controller with a small event ring",
  "controllers": [{
    "port": 3, "kind": 1, "event_slots": 32,
    "raid_sets": [{"name": "Raid Set # 00", "state": "normal", "members": [0, 1], "capacity_mb": 2000, "free_mb": 0}],
    "volumes": [{"name": "Volume#00", "raid_set": 0, "level": 1, "capacity_mb": 1000, "stripe_kb": 64, "state": "normal"}],
    "disks": [
      {"number": 0, "model": "KVD-1000 SATA", "serial": "S1", "firmware": "1", "capacity_mb": 1000, "state": "member", "raid_set": 0, "temperature": 30},
      {"number": 1, "model": "KVD-1000 SATA", "serial": "S2", "firmware": "1", "capacity_mb": 1000, "state": "member", "raid_set": 0, "temperature": 31}
    ],
    "hardware_monitor": {
      "voltages": [{"name": "12V", "mv": 12160}, {"name": "5V", "mv": 5040}],
      "fans": [{"name": "Fan 1", "rpm": 3260, "limit": 1200}],
      "temperatures": [{"name": "Controller", "celsius": 47}],
      "status": [1],
      "trailer": {"form": "tagged", "value": 100}
    },
    "events": [{"type": 2, "code": 8, "name": "Volume#00"}]
  }, {
    "port": 5, "subsystem": "jbod",
    "disks": [{"number": 0, "state": "pass-through"}]
  }]
})";

class SimulatedController : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kavlib-sim-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::filesystem::create_directories(dir_ + "/dev");
    std::filesystem::create_directories(dir_ + "/ipc");
    setenv("KAV_DEVICE_DIR", (dir_ + "/dev").c_str(), 1);
    setenv("KAV_IPC_DIR", (dir_ + "/ipc").c_str(), 1);
    std::string error;
    sim_ = kavsim::Simulator::LoadText(kRaidScenario, &error);
    ASSERT_TRUE(sim_) << error;
    server_ = std::make_unique<kavsim::DeviceServer>(*sim_, dir_ + "/dev");
    ASSERT_TRUE(server_->Start(&error)) << error;
  }
  void TearDown() override {
    library_.reset();
    if (server_) server_->Stop();
    std::filesystem::remove_all(dir_);
  }
  // Opens the port and attaches a new library object to it.
  int AttachPort(int port) {
    auto* transport = new WinIoctlInterface();
    if (!transport->OpenPort(port)) {
      delete transport;
      return -1;
    }
    library_ = std::make_unique<CKavlib>();
    CKavlibTestAccess::SetDataBlockPause(*library_, 0);
    return library_->Attach(transport);
  }
  kavsim::Controller& Raid() { return *sim_->At(3); }

  std::string dir_;
  std::unique_ptr<kavsim::Simulator> sim_;
  std::unique_ptr<kavsim::DeviceServer> server_;
  std::unique_ptr<CKavlib> library_;
};

TEST_F(SimulatedController, OpenPortProbesAndCanMoveOnToTheNextPort) {
  WinIoctlInterface transport;
  EXPECT_FALSE(transport.OpenPort(2));
  EXPECT_EQ(transport.GetHandle(), nullptr);
  EXPECT_TRUE(transport.OpenPort(3));
  EXPECT_NE(transport.GetHandle(), nullptr);
}

TEST_F(SimulatedController, AttachesToARaidControllerAndReadsItsRecords) {
  ASSERT_EQ(AttachPort(3), KAV_OK);
  CKavlib& lib = *library_;
  EXPECT_FALSE(lib.IsJbod());
  EXPECT_TRUE(lib.HasEventBuffers());
  EXPECT_EQ(lib.CheckSubsystem(), KAV_OK);
  EXPECT_EQ(std::memcmp(lib.CachedSystemInfo(), Raid().SystemInfo().data(), kSystemInfoSize), 0);
  EXPECT_EQ(CKavlibTestAccess::EventRingPages(lib), 2);

  uint8_t record[512];
  EXPECT_EQ(lib.GetRaidSetInfo(0, record), KAV_OK);
  EXPECT_NE(record[61], 0);
  EXPECT_EQ(lib.GetRaidSetInfo(7, record), KAV_EMPTY_RECORD);
  EXPECT_EQ(lib.GetVolumeSetInfo(0, record), KAV_OK);
  EXPECT_EQ(lib.GetVolumeSetInfo(9, record), KAV_EMPTY_RECORD);
  EXPECT_EQ(lib.GetDeviceInfo(1, record), KAV_OK);
  EXPECT_EQ(lib.GetDeviceInfoEx(0, 1, record), KAV_OK);
  EXPECT_EQ(lib.GetDeviceInfo(12, record), KAV_EMPTY_RECORD);

  uint16_t values[kHardwareMonitorValues];
  ASSERT_EQ(lib.GetHardwareMonitor(1, values), KAV_OK);
  EXPECT_EQ(values[0], 2);
  EXPECT_EQ(values[1], 12160);
  EXPECT_EQ(values[2], 5040);
  ASSERT_EQ(lib.GetHardwareMonitor(6, values), KAV_OK);
  EXPECT_EQ(values[0], 1);
  EXPECT_EQ(values[1], 100);

  EXPECT_EQ(lib.SendPrefixedText16("hello"), KAV_OK);
  EXPECT_EQ(Raid().LastText(16), "hello");
  EXPECT_EQ(lib.SetControllerTime(0), KAV_OK);
}

TEST_F(SimulatedController, AttachesToAJbodSubsystem) {
  ASSERT_EQ(AttachPort(5), KAV_OK);
  EXPECT_TRUE(library_->IsJbod());
  EXPECT_FALSE(library_->HasEventBuffers());
  uint8_t record[512];
  EXPECT_EQ(library_->GetRaidSetInfo(0, record), KAV_NOT_AVAILABLE);
  EXPECT_EQ(library_->GetSubsystemInfo(record), KAV_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(record), 20), "Kavor JBOD Subsystem");
  int count = -1;
  EXPECT_EQ(library_->ReadEvents(0, &count), KAV_NOT_AVAILABLE);
}

TEST_F(SimulatedController, WritesTheDataArea) {
  ASSERT_EQ(AttachPort(3), KAV_OK);
  const std::string text = "the host's notes for this controller";
  ASSERT_EQ(library_->WriteDataArea(reinterpret_cast<const uint8_t*>(text.data()),
                                     static_cast<int>(text.size())),
            KAV_OK);
  const auto area = Raid().DataArea();
  ASSERT_GE(area.size(), text.size() + 2);
  EXPECT_EQ(area[0], text.size());
  EXPECT_EQ(area[1], 0);
  EXPECT_EQ(std::string(area.begin() + 2, area.begin() + 2 + static_cast<long>(text.size())), text);
}

TEST_F(SimulatedController, WebPassThroughAnswersHttp) {
  ASSERT_EQ(AttachPort(3), KAV_OK);
  std::string request = "GET / HTTP/1.0\r\nHost: controller\r\n";
  request += "X-Padding: " + std::string(1500, 'p') + "\r\n\r\n";  // two frames
  std::vector<uint8_t> response(kWebResponseCapacity);
  int length = 0;
  ASSERT_EQ(library_->WebPassThrough(reinterpret_cast<const uint8_t*>(request.data()),
                                     static_cast<int>(request.size()), response.data(), &length),
            KAV_OK);
  ASSERT_GE(length, 4);
  EXPECT_EQ(std::string(response.begin(), response.begin() + 4), "HTTP");
}

TEST_F(SimulatedController, ReadsEventsIncrementallyAcrossTheRingsEnd) {
  ASSERT_EQ(AttachPort(3), KAV_OK);
  CKavlib& lib = *library_;
  int count = -1;
  ASSERT_EQ(lib.ReadEvents(0, &count), KAV_OK);
  EXPECT_EQ(count, 32);
  ASSERT_EQ(lib.ReadEvents(1, &count), KAV_OK);
  EXPECT_EQ(count, 0);

  int logged = 0;
  // 32 slots: batches of 7 and 13 carry the pointer past the ring's end several times.
  for (int batch : {7, 13, 13, 13, 1}) {
    for (int i = 0; i < batch; ++i) {
      Raid().AppendEvent(3, 7, i % 4, "Dev" + std::to_string(++logged));
    }
    ASSERT_EQ(lib.ReadEvents(1, &count), KAV_OK);
    ASSERT_EQ(count, batch);
    for (int i = 0; i < batch; ++i) {
      uint8_t record[kEventRecordSize];
      ASSERT_EQ(lib.GetEvent(i, record), 1);
      EXPECT_EQ(std::string(reinterpret_cast<char*>(record + 16)), "Dev" + std::to_string(logged - i));
    }
    EXPECT_EQ(CKavlibTestAccess::PreviousEventPointer(lib), Raid().EventPointer());
  }
}

TEST_F(SimulatedController, RepliesInPiecesOrLateStillArrive) {
  ASSERT_EQ(AttachPort(3), KAV_OK);
  uint8_t info[kSystemInfoSize];
  for (const char* fault : {"split-reply", "delay-reply"}) {
    ASSERT_TRUE(Raid().SetFault(fault, true));
    EXPECT_EQ(library_->GetSystemInfo(info), KAV_OK) << fault;
    ASSERT_TRUE(Raid().SetFault(fault, false));
  }
}

TEST_F(SimulatedController, BrokenRepliesGiveTheirStatusAndTheNextCommandWorks) {
  ASSERT_EQ(AttachPort(3), KAV_OK);
  uint8_t info[kSystemInfoSize];
  struct Case {
    const char* fault;
    int status;
  } cases[] = {{"bad-checksum", KAV_BAD_FRAME}, {"bad-header", KAV_BAD_FRAME},
               {"oversize-reply", KAV_READ_FAILED}, {"status-letter", 'E'}};
  for (const auto& c : cases) {
    ASSERT_TRUE(Raid().SetFault(c.fault, true));
    EXPECT_EQ(library_->GetSystemInfo(info), c.status) << c.fault;
    ASSERT_TRUE(Raid().SetFault(c.fault, false));
    EXPECT_EQ(library_->GetSystemInfo(info), KAV_OK) << "after " << c.fault;
  }
}

// The exchange on its own, with small time-outs.
TEST_F(SimulatedController, TransportTimeOutsUnderFaults) {
  WinIoctlInterface transport;
  ASSERT_TRUE(transport.OpenPort(3));
  const auto request = kavtest::CommandFrame(35);
  std::vector<uint8_t> reply(0x30000);
  auto exchange = [&](uint32_t timeout) {
    TransferRequest r;
    r.timeout = timeout;
    r.request = request.data();
    r.request_length = static_cast<int>(request.size());
    r.reply = reply.data();
    r.reply_capacity = static_cast<int>(reply.size());
    r.frame_length = &FrameLength;
    r.checksum = &FrameChecksum;
    return transport.Transact(r);
  };
  struct Case {
    const char* fault;
    int result;
  } cases[] = {{"refuse-writes", kTransportNotWritten}, {"fail-control", kTransportNotWritten},
               {"no-answer", kTransportNoReply}};
  for (const auto& c : cases) {
    ASSERT_TRUE(Raid().SetFault(c.fault, true));
    EXPECT_EQ(exchange(30), c.result) << c.fault;
    ASSERT_TRUE(Raid().SetFault(c.fault, false));
    EXPECT_EQ(exchange(0), 262) << "after " << c.fault;
  }
  // The port mutex is free again: another handle takes it at once.
  HANDLE other = CreateMutexA(nullptr, FALSE, "Iqsprd\\LfzMojabBunrv3");
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(WaitForSingleObject(other, 0), WAIT_OBJECT_0);
  ReleaseMutex(other);
  CloseHandle(other);
}

}  // namespace

namespace {

// Two library objects on one port, each with its own transport, from two
// threads: the port mutex keeps their exchanges from interleaving.
TEST_F(SimulatedController, TwoThreadsOnOnePortNeverInterleave) {
  auto worker = [](int* failures) {
    auto* transport = new WinIoctlInterface();
    CKavlib library;
    if (!transport->OpenPort(3) || library.Attach(transport) != KAV_OK) {
      if (library.GetTransport() == nullptr) delete transport;
      ++*failures;
      return;
    }
    const std::string request = "GET / HTTP/1.0\r\n\r\n";
    std::vector<uint8_t> response(kWebResponseCapacity);
    uint8_t info[kSystemInfoSize];
    for (int i = 0; i < 40; ++i) {
      int length = 0;
      if (library.GetSystemInfo(info) != KAV_OK) ++*failures;
      if (library.WebPassThrough(reinterpret_cast<const uint8_t*>(request.data()),
                                 static_cast<int>(request.size()), response.data(), &length) != KAV_OK ||
          length < 4 || std::memcmp(response.data(), "HTTP", 4) != 0) {
        ++*failures;
      }
    }
  };
  int failures_a = 0;
  int failures_b = 0;
  std::thread a(worker, &failures_a);
  std::thread b(worker, &failures_b);
  a.join();
  b.join();
  EXPECT_EQ(failures_a, 0);
  EXPECT_EQ(failures_b, 0);
}

}  // namespace
