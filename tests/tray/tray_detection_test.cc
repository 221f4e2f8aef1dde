// Controller detection of the tray tool against simulated controllers served
// in-process: no controller, two on ports 2 and 9, one of them failing its
// Attach, and five, of which only the four lowest are probed and recorded.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <poll.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "ControllerTable.h"
#include "sim/Simulator.h"
#include "tray_fakes.h"

namespace {

std::mutex g_log_mutex;
std::vector<std::string> g_log;

void Remember(const std::string& line) {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  g_log.push_back(line);
}

bool Connected(const std::string& endpoint) {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  for (const std::string& line : g_log) {
    if (line == endpoint + ": connected") return true;
  }
  return false;
}

std::unique_ptr<kavsim::Simulator> Load(const char* scenario) {
  std::string error;
  auto sim = kavsim::Simulator::LoadFile(std::string(KAV_SCENARIO_DIR) + "/" + scenario, &error);
  EXPECT_NE(sim, nullptr) << error;
  return sim;
}

int Attached(const ControllerTable& table) {
  int attached = 0;
  for (const ControllerRecord& record : table.records) {
    if (const_cast<CKavlib&>(record.library).GetTransport() != nullptr) ++attached;
  }
  return attached;
}

TEST(TrayDetection, NoControllerFillsNoRecord) {
  TempMachine machine;
  ControllerTable table;
  DetectControllers(table);
  EXPECT_EQ(table.count, 0);
  EXPECT_EQ(Attached(table), 0);
}

TEST(TrayDetection, TwoControllersFillTwoRecordsEvenWhenAnAttachFails) {
  for (bool failing : {false, true}) {
    SCOPED_TRACE(failing ? "port 2 answers every command with a status letter" : "healthy");
    TempMachine machine;
    auto sim = Load("two-controllers.json");
    ASSERT_NE(sim, nullptr);
    if (failing) ASSERT_TRUE(sim->At(2)->SetFault("status-letter", true));
    kavsim::DeviceServer server(*sim, (machine.root / "devices").string());
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    ControllerTable table;
    DetectControllers(table);
    EXPECT_EQ(table.count, 2);
    EXPECT_EQ(Attached(table), 2);
  }
}

TEST(TrayDetection, FiveControllersRecordTheFourLowestAndProbeNoFurther) {
  TempMachine machine;
  auto sim = Load("five-controllers.json");
  ASSERT_NE(sim, nullptr);
  ASSERT_EQ(sim->Ports(), (std::vector<int>{0, 1, 2, 3, 4}));
  kavsim::DeviceServer server(*sim, (machine.root / "devices").string());
  server.SetLog(Remember);
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  // A listener of our own behind the fifth controller tells whether probing went on.
  int sentinel = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string path = (machine.root / "devices/scsi5").string();
  std::strcpy(address.sun_path, path.c_str());
  ASSERT_EQ(bind(sentinel, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(listen(sentinel, 4), 0);

  ControllerTable table;
  DetectControllers(table);
  EXPECT_EQ(table.count, 4);
  EXPECT_EQ(Attached(table), 4);
  pollfd waiting = {sentinel, POLLIN, 0};
  EXPECT_EQ(poll(&waiting, 1, 0), 0) << "port 5 was probed";
  close(sentinel);
  server.Stop();  // every connection has been logged once the server stops
  EXPECT_TRUE(Connected("scsi3"));
  EXPECT_FALSE(Connected("scsi4"));
}

}  // namespace
