// kavsim and kavsimctl end to end: a running kavsim reached through the
// platform's device calls, events and faults injected with kavsimctl, and clear
// failures for bad arguments and unknown ports.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "DriverHost.h"
#include "SimTempDir.h"
#include "platform/windows.h"
#include "sim/server/ControlChannel.h"

extern char** environ;

namespace kavsim::testing {
namespace {

struct ToolRun {
  int status = -1;  // exit code, or -1 when it did not exit normally
  std::string out, err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

pid_t Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& out,
            const std::string& err) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

int Wait(pid_t pid) {
  int st = 0;
  if (waitpid(pid, &st, 0) != pid) return -1;
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

class KavsimToolTest : public ::testing::Test {
 protected:
  ToolRun Tool(const char* program, const std::vector<std::string>& args) {
    ToolRun r;
    std::string out = tmp_.path() + "/out", err = tmp_.path() + "/err";
    pid_t pid = Spawn(program, args, out, err);
    if (pid < 0) return r;
    r.status = Wait(pid);
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
  }
  ToolRun Ctl(std::vector<std::string> args) {
    args.insert(args.begin(), {"--device-dir", Dev()});
    return Tool(KAVSIMCTL, args);
  }
  std::string Dev() const { return tmp_.path() + "/dev"; }

  // Starts kavsim and waits until its control channel answers.
  bool StartKavsim(const std::string& scenario) {
    kavsim_ = Spawn(KAVSIM, {"--device-dir", Dev(), "--scenario", scenario}, tmp_.path() + "/kavsim.out",
                    tmp_.path() + "/kavsim.err");
    if (kavsim_ < 0) return false;
    for (int i = 0; i < 500; ++i) {
      bool ok = false;
      std::string reply;
      if (SendControl(Dev(), {"ports"}, &ok, &reply) && ok) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  int StopKavsim() {
    if (kavsim_ < 0) return -1;
    kill(kavsim_, SIGTERM);
    int rc = Wait(kavsim_);
    kavsim_ = -1;
    return rc;
  }
  void TearDown() override {
    if (kavsim_ > 0) {
      kill(kavsim_, SIGKILL);
      Wait(kavsim_);
    }
  }

  static std::string Scenario(const char* name) { return std::string(KAV_SIM_SCENARIO_DIR) + "/" + name; }

  TempDir tmp_;
  pid_t kavsim_ = -1;
};

TEST_F(KavsimToolTest, ServesTheScenarioToThePlatformsDeviceCalls) {
  ASSERT_TRUE(StartKavsim(Scenario("two-controllers.json")));
  setenv("KAV_DEVICE_DIR", Dev().c_str(), 1);
  for (int port : {2, 9}) {
    std::string path = "\\\\.\\scsi" + std::to_string(port) + ":";
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << port;
    auto probe = Block(miniport::kProbe, 0, nullptr, 28);
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(h, IOCTL_SCSI_MINIPORT, probe.data(), 28, probe.data(), 28, &returned, nullptr));
    EXPECT_EQ(Get32(probe.data() + 20), 63u);
    // The fault switched with kavsimctl reaches the device call.
    ASSERT_EQ(Ctl({"fault", "--port", std::to_string(port), "fail-control", "on"}).status, 0);
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_SCSI_MINIPORT, probe.data(), 28, probe.data(), 28, &returned, nullptr));
    ASSERT_EQ(Ctl({"fault", "--port", std::to_string(port), "fail-control", "off"}).status, 0);
    EXPECT_TRUE(DeviceIoControl(h, IOCTL_SCSI_MINIPORT, probe.data(), 28, probe.data(), 28, &returned, nullptr));
    CloseHandle(h);
  }
  EXPECT_EQ(StopKavsim(), 0);
  EXPECT_FALSE(std::filesystem::exists(Dev() + "/scsi2"));
  EXPECT_FALSE(std::filesystem::exists(Dev() + "/kavsim.ctl"));
  std::string log = Slurp(tmp_.path() + "/kavsim.out");
  EXPECT_NE(log.find("serving " + Dev() + "/scsi9"), std::string::npos) << log;
  EXPECT_NE(log.find("stopping on SIGTERM"), std::string::npos) << log;
}

TEST_F(KavsimToolTest, KavsimctlInjectsEventsAndFaultsAndShowsState) {
  ASSERT_TRUE(StartKavsim(Scenario("two-controllers.json")));
  ToolRun r = Ctl({"event", "--port", "9", "--type", "2", "--code", "11", "--byte2", "0", "--name", "Archive"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("event pointer now 4"), std::string::npos) << r.out;
  r = Ctl({"fault", "--port", "9", "status-letter", "on", "--letter", "M"});
  EXPECT_EQ(r.status, 0) << r.err;
  r = Ctl({"show", "--port", "9"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("pointer 4, 4 logged"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("faults: status-letter(M)"), std::string::npos) << r.out;
  r = Ctl({"show", "--port", "2"});
  EXPECT_NE(r.out.find("faults: none"), std::string::npos) << "faults are per port";
  std::string log = Slurp(tmp_.path() + "/kavsim.out");
  EXPECT_NE(log.find("port 9: event logged"), std::string::npos) << log;
  EXPECT_NE(log.find("port 9: fault status-letter switched on"), std::string::npos) << log;
}

TEST_F(KavsimToolTest, KavsimctlRefusesBadArgumentsAndUnknownPorts) {
  ASSERT_TRUE(StartKavsim(Scenario("two-controllers.json")));
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* message;
  } cases[] = {
      {{"show", "--port", "3"}, 1, "no controller on port 3"},
      {{"event", "--port", "4", "--type", "1", "--code", "0"}, 1, "no controller on port 4"},
      {{"show"}, 2, "--port P is needed"},
      {{"show", "--port", "two"}, 2, "bad port \"two\""},
      {{"event", "--port", "2", "--type", "x", "--code", "1"}, 2, "bad event type \"x\""},
      {{"event", "--port", "2", "--type", "1"}, 2, "--type and --code are needed"},
      {{"event", "--port", "2", "--type", "1", "--code", "256"}, 2, "bad event code"},
      {{"event", "--port", "2", "--type", "1", "--code", "1", "--name", "ABCDEFGHIJKLMNOPQ"}, 2,
       "longer than 16"},
      {{"fault", "--port", "2", "slow", "on"}, 2, "unknown fault \"slow\""},
      {{"fault", "--port", "2", "no-answer", "maybe"}, 2, "say on or off"},
      {{"fault", "--port", "2", "no-answer"}, 2, "NAME and on or off"},
      {{"fault", "--port", "2", "status-letter", "on", "--letter", "Z"}, 1, "A to T"},
      {{"show", "--port", "2", "--type", "1"}, 2, "unknown option \"--type\""},
      {{"frobnicate"}, 2, "unknown command \"frobnicate\""},
  };
  for (const Case& c : cases) {
    ToolRun r = Ctl(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0] << " " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  ToolRun r = Tool(KAVSIMCTL, {"show", "--port", "2"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--device-dir DIR is needed"), std::string::npos) << r.err;
  r = Tool(KAVSIMCTL, {"--device-dir", tmp_.path() + "/elsewhere", "show", "--port", "2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no kavsim is running"), std::string::npos) << r.err;
}

TEST_F(KavsimToolTest, KavsimRefusesBadArgumentsAndScenarios) {
  std::ofstream(tmp_.path() + "/bad.json") << R"({"controllers": [{"port": 1, "kind": "one"}]})";
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* message;
  } cases[] = {
      {{"--device-dir", Dev()}, 2, "both --device-dir and --scenario are needed"},
      {{"--device-dir", Dev(), "--scenario"}, 2, "missing value after --scenario"},
      {{"--device-dir", Dev(), "--verbose"}, 2, "unknown argument \"--verbose\""},
      {{"--device-dir", Dev(), "--scenario", tmp_.path() + "/missing.json"}, 1, "cannot open scenario"},
      {{"--device-dir", Dev(), "--scenario", tmp_.path() + "/bad.json"}, 1, "controllers[0].kind: must be an integer"},
  };
  for (const Case& c : cases) {
    ToolRun r = Tool(KAVSIM, c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

TEST_F(KavsimToolTest, EveryShippedScenarioIsServed) {
  for (const char* name : {"two-controllers.json", "five-controllers.json", "jbod.json", "kind3.json", "none.json"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(StartKavsim(Scenario(name)));
    std::string error;
    auto sim = Simulator::LoadFile(Scenario(name), &error);
    ASSERT_TRUE(sim) << error;
    for (int port : sim->Ports()) {
      EXPECT_TRUE(std::filesystem::exists(Dev() + "/scsi" + std::to_string(port)));
      EXPECT_EQ(Ctl({"show", "--port", std::to_string(port)}).status, 0);
    }
    if (sim->Ports().empty()) EXPECT_EQ(Ctl({"show", "--port", "0"}).status, 1);
    EXPECT_EQ(StopKavsim(), 0);
  }
}

}  // namespace
}  // namespace kavsim::testing
