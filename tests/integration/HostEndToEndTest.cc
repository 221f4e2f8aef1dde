// kavsnmpd with the real agent against simulated controllers, end to end with
// the real Net-SNMP managers, snmptrapd and (for AgentX) snmpd. The query
// tests serve the scenario in-process so they can read and change the model;
// the per-level trap test drives a kavsim process with kavsimctl, as an
// operator would.
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "sim/Simulator.h"
#include "sim/snmp/MibView.h"
#include "tests/integration/support/Processes.h"
#include "tests/integration/support/SnmpTools.h"

namespace kavit {
namespace {

const char kView[] = ".1.3.6.1.4.1.47319";
constexpr int kPorts[] = {2, 9};  // controller numbers 1 and 2

std::string Kavsnmpd() { return BinDir() + "/kavsnmpd"; }
std::string Agent() { return LibDir() + "/libKavSnmpAgent.so"; }
std::string Scenario(const std::string& name) { return SourceDir() + "/sim/scenarios/" + name; }

std::string OidText(const kavsim::OidPath& name) {
  std::string text;
  for (uint32_t id : name) text += "." + std::to_string(id);
  return text;
}

// How snmpwalk -On prints a value of the firmware's MIB; empty when the text
// is printed in a form this test does not reproduce (hex).
std::string Printed(const kavsim::MibObject& object) {
  if (object.is_integer) return "INTEGER: " + std::to_string(object.integer);
  if (object.text.empty()) return "\"\"";
  for (unsigned char c : object.text)
    if (c < 0x20 || c >= 0x7f || c == '"' || c == '\\') return "";
  return "STRING: \"" + object.text + "\"";
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    devices_ = dir_.File("devices");
    ASSERT_EQ(mkdir(devices_.c_str(), 0755), 0);
    ipc_ = dir_.File("ipc");
    ASSERT_EQ(mkdir(ipc_.c_str(), 0755), 0);
    ASSERT_EQ(system(("mkdir -p " + dir_.File("pf/KVADM/SNMP")).c_str()), 0);
    WriteSettings(4, "public");
  }

  void WriteSettings(int level, const std::string& community) {
    // Written whole and renamed, as the tray tool's writer does.
    std::string path = dir_.File("pf/KVADM/SNMP/KavSnmp.ini");
    WriteFile(path + ".new", "[HTTPPROXY]\nPort=81\n[SNMP]\nNoLevel=" + std::to_string(level) +
                                 "\nCommunity=" + community + "\n");
    ASSERT_EQ(rename((path + ".new").c_str(), path.c_str()), 0);
  }

  void ServeInProcess(const std::string& scenario = "two-controllers.json") {
    std::string error;
    sim_ = kavsim::Simulator::LoadFile(Scenario(scenario), &error);
    ASSERT_TRUE(sim_) << error;
    server_ = std::make_unique<kavsim::DeviceServer>(*sim_, devices_);
    ASSERT_TRUE(server_->Start(&error)) << error;
  }

  void ServeWithKavsim(const std::string& scenario = "two-controllers.json") {
    ASSERT_TRUE(kavsim_.Start({BinDir() + "/kavsim", "--device-dir", devices_, "--scenario",
                               Scenario(scenario)},
                              dir_.File("kavsim.log")));
    ASSERT_TRUE(kavsim_.WaitForLog("kavsim: ready", 10000)) << kavsim_.log();
  }

  // Its own device, settings and IPC directories: the port mutexes are
  // machine-wide, and a test holding one through a silent controller's
  // time-out must not stall the hosts of other tests.
  Env HostEnv() const {
    return {{"KAV_DEVICE_DIR", devices_},
            {"KAV_IPC_DIR", ipc_},
            {"KAV_PROGRAM_FILES", dir_.File("pf")},
            {"KAV_AGENT_TRACE", dir_.File("agent-trace.log")}};
  }

  void StartHost() {
    port_ = FreeUdpPort();
    ASSERT_TRUE(traps_.Start(dir_.path(), FreeUdpPort()));
    ASSERT_TRUE(host_.Start({Kavsnmpd(), "--agent", Agent(), "--listen",
                             "udp:127.0.0.1:" + std::to_string(port_), "--trap-sink",
                             "127.0.0.1:" + std::to_string(traps_.port())},
                            dir_.File("kavsnmpd.log"), HostEnv()));
    ASSERT_TRUE(host_.WaitForLog("kavsnmpd: serving", 20000)) << host_.log();
  }

  // Every object both controllers' engines serve, named as the host serves
  // them (the ninth sub-identifier is the controller number).
  std::vector<VarLine> ExpectedWalk() {
    std::vector<VarLine> lines;
    for (int number = 1; number <= 2; ++number) {
      std::vector<kavsim::MibObject> view;
      sim_->At(kPorts[number - 1])->WithState([&](kavsim::FirmwareState& s) {
        view = kavsim::BuildMibView(s);
      });
      for (kavsim::MibObject& object : view) {
        object.name[8] = static_cast<uint32_t>(number);
        lines.push_back({OidText(object.name), Printed(object)});
      }
    }
    return lines;
  }

  RunResult Tool(const std::string& tool, const std::string& version,
                 const std::vector<std::string>& args, int timeout_s = 5) {
    return SnmpTool(tool, version, port_, args, dir_.path(), "public", timeout_s);
  }

  // Traps received so far whose binding carries the text.
  int TrapsWith(const std::string& text) const {
    int n = 0;
    for (const ReceivedTrap& t : traps_.Traps()) n += t.bindings.find(text) != std::string::npos;
    return n;
  }

  TempDir dir_;
  std::string devices_;
  std::string ipc_;
  std::unique_ptr<kavsim::Simulator> sim_;
  std::unique_ptr<kavsim::DeviceServer> server_;
  Daemon kavsim_;
  TrapReceiver traps_;
  Daemon host_;
  int port_ = 0;
};

void ExpectSameWalk(const std::vector<VarLine>& got, const std::vector<VarLine>& expected) {
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].oid, expected[i].oid) << i;
    if (!expected[i].value.empty()) EXPECT_EQ(got[i].value, expected[i].value) << got[i].oid;
  }
}

std::vector<VarLine> WalkLines(const RunResult& r) {
  std::vector<VarLine> lines = ParseVarLines(r.out);
  if (!lines.empty() && lines.back().value.find("No more variables") != std::string::npos)
    lines.pop_back();
  return lines;
}

TEST_F(EndToEnd, WalksGiveBothControllersObjectsAndGetSeesAStateChange) {
  ASSERT_NO_FATAL_FAILURE(ServeInProcess());
  ASSERT_NO_FATAL_FAILURE(StartHost());
  std::vector<VarLine> expected = ExpectedWalk();
  ASSERT_GT(expected.size(), 20u);
  struct Walk {
    const char* tool;
    const char* version;
  } walks[] = {{"snmpwalk", "1"}, {"snmpwalk", "2c"}, {"snmpbulkwalk", "2c"}};
  for (const Walk& walk : walks) {
    SCOPED_TRACE(std::string(walk.tool) + " v" + walk.version);
    RunResult r = Tool(walk.tool, walk.version, {kView});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    ExpectSameWalk(WalkLines(r), expected);
  }

  // Change controller 2's model and find an object that shows it.
  std::vector<kavsim::MibObject> before, after;
  sim_->At(9)->WithState([&](kavsim::FirmwareState& s) {
    before = kavsim::BuildMibView(s);
    s.disks.at(0).temperature += 7;
    s.model = "KV-1680-X";
    after = kavsim::BuildMibView(s);
  });
  ASSERT_EQ(before.size(), after.size());
  int changed = 0;
  for (size_t i = 0; i < after.size(); ++i) {
    if (Printed(before[i]) == Printed(after[i])) continue;
    kavsim::OidPath name = after[i].name;
    name[8] = 2;
    RunResult r = Tool("snmpget", "2c", {OidText(name)});
    EXPECT_NE(r.out.find(OidText(name) + " = " + Printed(after[i])), std::string::npos) << r.all();
    ++changed;
  }
  EXPECT_GE(changed, 1);
  EXPECT_EQ(host_.Stop(SIGTERM), 0) << host_.log();
}

TEST_F(EndToEnd, NamesNoControllerServesAreNoSuchObjectsNeverMadeUpValues) {
  ASSERT_NO_FATAL_FAILURE(ServeInProcess());
  ASSERT_NO_FATAL_FAILURE(StartHost());
  const std::vector<std::string> unroutable = {
      ".1.3.6.1.4.1.47319.1.1.99.99.0",  // missing object
      ".1.3.6.1.4.1.47319.1",            // fewer than nine sub-identifiers
      ".1.3.6.1.4.1.47319.1.3.1.1.0",    // controller 3 of 2
      ".1.3.6.1.4.1.47319.1.0.1.1.0",    // controller 0
  };
  for (const std::string& name : unroutable) {
    SCOPED_TRACE(name);
    RunResult v1 = Tool("snmpget", "1", {name});
    EXPECT_NE(v1.all().find("noSuchName"), std::string::npos) << v1.all();
    RunResult v2 = Tool("snmpget", "2c", {name});
    EXPECT_NE(v2.out.find(name + " = No Such Instance"), std::string::npos) << v2.all();
  }
}

TEST_F(EndToEnd, SettingsChangesApplyToTheNextQueryAndEventWithoutARestart) {
  ASSERT_NO_FATAL_FAILURE(ServeInProcess());
  // Controller 1's engine answers only its own community.
  sim_->At(2)->WithState([](kavsim::FirmwareState& s) { s.community = "s3cret"; });
  WriteSettings(0, "public");
  ASSERT_NO_FATAL_FAILURE(StartHost());
  std::vector<VarLine> expected = ExpectedWalk();
  const VarLine& first = expected.front();  // an object of controller 1

  RunResult refused = Tool("snmpget", "2c", {first.oid});
  EXPECT_NE(refused.out.find("No Such Instance"), std::string::npos) << refused.all();
  WriteSettings(0, "s3cret");
  RunResult answered = Tool("snmpget", "2c", {first.oid});
  EXPECT_NE(answered.out.find(first.oid + " = " + first.value), std::string::npos)
      << answered.all();

  // Level 0: the event is composed but not sent; level 4: the next one is.
  sim_->At(9)->AppendEvent(2, 11, 0, "Quiet");
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(TrapsWith("Quiet"), 0);
  WriteSettings(4, "s3cret");
  sim_->At(9)->AppendEvent(2, 11, 0, "Loud");
  EXPECT_TRUE(WaitUntil([&] { return TrapsWith("\"Controller#2 Loud Volume Degraded\"") == 1; },
                        5000))
      << ReadFile(dir_.File("snmptrapd.log"));
}

TEST_F(EndToEnd, EventsFromKavsimctlArriveOncePerLevelWithCodeAndMessage) {
  ASSERT_NO_FATAL_FAILURE(ServeWithKavsim());
  ASSERT_NO_FATAL_FAILURE(StartHost());
  struct Event {
    int port, type, code, byte2;
    const char* name;
    int severity;
    int specific;
    const char* message;
  } events[] = {
      {9, 2, 11, 0, "Archive", 1, 267, "Controller#2 Archive Volume Degraded"},
      {2, 5, 20, 0, "", 2, 660, "Controller#1 H/W MONITOR Controller Over Temperature Recovered"},
      {2, 1, 0, 0, "Raid Set # 01", 3, 128, "Controller#1 Raid Set # 01 Create RaidSet"},
      {9, 3, 10, 2, "", 4, 394, "Controller#2 IDE Channel # 3 PassThrough Disk Created"},
  };
  size_t received = 0;
  for (int level = 1; level <= 4; ++level) {
    SCOPED_TRACE("level " + std::to_string(level));
    WriteSettings(level, "public");
    for (const Event& e : events) {
      std::vector<std::string> argv = {BinDir() + "/kavsimctl", "--device-dir", devices_, "event",
                                       "--port", std::to_string(e.port), "--type",
                                       std::to_string(e.type), "--code", std::to_string(e.code),
                                       "--byte2", std::to_string(e.byte2)};
      if (*e.name) {
        argv.push_back("--name");
        argv.push_back(e.name);
      }
      RunResult r = RunProgram(argv);
      ASSERT_EQ(r.exit_code, 0) << r.all();
    }
    received += static_cast<size_t>(level);  // severities up to the level
    ASSERT_TRUE(traps_.WaitForTraps(1, received, 8000)) << traps_.Traps().size();
    // The agent judges each event against the level when it reads it: let it
    // finish this round (and anything that should not come have its chance)
    // before the level changes.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(traps_.Traps().size(), received);
  }
  std::vector<ReceivedTrap> got = traps_.Traps();
  EXPECT_EQ(got.size(), 10u);
  for (const Event& e : events) {
    SCOPED_TRACE(e.message);
    int count = 0;
    for (const ReceivedTrap& t : got) {
      if (t.specific != e.specific) continue;
      ++count;
      EXPECT_EQ(t.enterprise, ".1.3.6.1.4.1.47319.1.1");
      EXPECT_EQ(t.generic, 6);
      EXPECT_NE(t.bindings.find(std::string(".1.3.6.1.2.1.1.1.0 = STRING: \"") + e.message),
                std::string::npos)
          << t.bindings;
    }
    EXPECT_EQ(count, 5 - e.severity) << "one trap per level that lets it through";
  }
}

TEST_F(EndToEnd, AStormOf200EventsLosesNoTrap) {
  ASSERT_NO_FATAL_FAILURE(ServeInProcess());
  ASSERT_NO_FATAL_FAILURE(StartHost());
  for (int i = 0; i < 200; ++i) {
    char name[17];
    snprintf(name, sizeof name, "Storm%03d", i);
    sim_->At(9)->AppendEvent(2, 8, 0, name);  // Create Volume, a warning
  }
  ASSERT_TRUE(traps_.WaitForTraps(1, 200, 60000)) << traps_.Traps().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  std::string log = ReadFile(dir_.File("snmptrapd.log"));
  for (int i = 0; i < 200; ++i) {
    char text[64];
    snprintf(text, sizeof text, "\"Controller#2 Storm%03d Create Volume\"", i);
    size_t at = log.find(text);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_EQ(log.find(text, at + 1), std::string::npos) << text << " arrived twice";
  }
}

TEST_F(EndToEnd, AControllerAnsweringGarbageDoesNotHideTheOtherOne) {
  ASSERT_NO_FATAL_FAILURE(ServeInProcess());
  ASSERT_NO_FATAL_FAILURE(StartHost());
  std::vector<VarLine> expected = ExpectedWalk();
  const VarLine& of_first = expected.front();
  const VarLine& of_second = expected.back();
  int n = 0;
  for (const char* fault : {"status-letter", "bad-checksum", "bad-header"}) {
    SCOPED_TRACE(fault);
    ASSERT_TRUE(sim_->At(2)->SetFault(fault, true));
    RunResult dead = Tool("snmpget", "2c", {of_first.oid});
    EXPECT_NE(dead.out.find("No Such Instance"), std::string::npos) << dead.all();
    RunResult dead_v1 = Tool("snmpget", "1", {of_first.oid});
    EXPECT_NE(dead_v1.all().find("noSuchName"), std::string::npos) << dead_v1.all();
    RunResult alive = Tool("snmpget", "2c", {of_second.oid});
    EXPECT_NE(alive.out.find(of_second.oid + " = " + of_second.value), std::string::npos)
        << alive.all();
    // A walk passes over the broken controller and gives all of the other.
    std::vector<VarLine> walk = WalkLines(Tool("snmpbulkwalk", "2c", {kView}));
    ASSERT_FALSE(walk.empty());
    EXPECT_EQ(walk.front().oid.rfind(".1.3.6.1.4.1.47319.1.2.", 0), 0u) << walk.front().oid;
    EXPECT_EQ(walk.back().oid, of_second.oid);
    std::string name = "StillHere" + std::to_string(++n);
    sim_->At(9)->AppendEvent(2, 12, 0, name);
    EXPECT_TRUE(WaitUntil([&] { return TrapsWith(name + " Volume Failed") == 1; }, 8000));
    ASSERT_TRUE(sim_->At(2)->SetFault(fault, false));
  }
  RunResult back = Tool("snmpget", "2c", {of_first.oid});
  EXPECT_NE(back.out.find(of_first.oid + " = " + of_first.value), std::string::npos) << back.all();
}

// A controller that takes requests and never answers holds each exchange for
// the library's 60 s exchange time-out. The host then stalls for that long,
// not longer, and everything else is served afterwards. (About a minute.)
TEST_F(EndToEnd, ASilentControllerStallsTheHostForOneExchangeTimeOutOnly) {
  ASSERT_NO_FATAL_FAILURE(ServeInProcess());
  ASSERT_NO_FATAL_FAILURE(StartHost());
  std::vector<VarLine> expected = ExpectedWalk();
  const VarLine of_first = expected.front();
  const VarLine of_second = expected.back();
  ASSERT_TRUE(sim_->At(2)->SetFault("no-answer", true));
  using std::chrono::steady_clock;
  auto start = steady_clock::now();
  RunResult dead;
  std::thread silent([&] { dead = Tool("snmpget", "2c", {of_first.oid}, 150); });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  RunResult alive = Tool("snmpget", "2c", {of_second.oid}, 150);
  auto alive_after = steady_clock::now() - start;
  silent.join();
  EXPECT_NE(dead.out.find("No Such Instance"), std::string::npos) << dead.all();
  EXPECT_NE(alive.out.find(of_second.oid + " = " + of_second.value), std::string::npos)
      << alive.all();
  // The query waits for its own exchange and at most one of the event thread.
  EXPECT_LT(alive_after, std::chrono::seconds(130));
  sim_->At(9)->AppendEvent(2, 12, 0, "Survivor");
  EXPECT_TRUE(WaitUntil([&] { return TrapsWith("Survivor Volume Failed") == 1; }, 130000, 100));
  ASSERT_TRUE(sim_->At(2)->SetFault("no-answer", false));
}

TEST_F(EndToEnd, AgentxModeBehindAPrivateSnmpdGivesTheSameWalkAndTraps) {
  ASSERT_NO_FATAL_FAILURE(ServeInProcess());
  ASSERT_TRUE(traps_.Start(dir_.path(), FreeUdpPort()));
  MasterAgent snmpd;
  ASSERT_TRUE(snmpd.Start(dir_.path(), FreeUdpPort(), traps_.port()))
      << ReadFile(dir_.File("snmpd.log"));
  ASSERT_TRUE(host_.Start({Kavsnmpd(), "--agent", Agent(), "--agentx", snmpd.socket_path()},
                          dir_.File("kavsnmpd.log"), HostEnv()));
  ASSERT_TRUE(host_.WaitForLog("as an AgentX subagent", 20000)) << host_.log();
  port_ = snmpd.port();
  for (const char* version : {"1", "2c"}) {
    SCOPED_TRACE(version);
    RunResult r = Tool("snmpwalk", version, {kView});
    ExpectSameWalk(WalkLines(r), ExpectedWalk());
  }
  sim_->At(2)->AppendEvent(3, 7, 1, "");
  EXPECT_TRUE(WaitUntil(
      [&] { return TrapsWith("\"Controller#1 IDE Channel # 2 Device Failed\"") == 1; }, 8000))
      << ReadFile(dir_.File("snmptrapd.log"));
  for (const ReceivedTrap& t : traps_.Traps()) {
    if (t.bindings.find("Device Failed") == std::string::npos) continue;
    EXPECT_EQ(t.specific, 391);
    EXPECT_EQ(t.enterprise, ".1.3.6.1.4.1.47319.1.1");
  }
  EXPECT_EQ(host_.Stop(SIGTERM, 3000), 0) << host_.log();
}

TEST_F(EndToEnd, SigtermUnloadsTheAgentInOrderAndExitsZeroWithin3s) {
  ASSERT_NO_FATAL_FAILURE(ServeInProcess());
  ASSERT_NO_FATAL_FAILURE(StartHost());
  ASSERT_EQ(Tool("snmpget", "2c", {ExpectedWalk().front().oid}).exit_code, 0);
  int elapsed_ms = 0;
  EXPECT_EQ(host_.Stop(SIGTERM, 3000, &elapsed_ms), 0) << host_.log();
  EXPECT_LT(elapsed_ms, 3000);
  std::string trace = ReadFile(dir_.File("agent-trace.log"));
  size_t cleanup = trace.find("CleanUp(...) starting...");
  size_t thread_exit = trace.find("Event_Thread exited!!");
  size_t detach = trace.find("DLL_PROCESS_DETACH.");
  ASSERT_NE(cleanup, std::string::npos) << trace;
  ASSERT_NE(thread_exit, std::string::npos) << trace;
  ASSERT_NE(detach, std::string::npos) << trace;
  EXPECT_LT(cleanup, thread_exit);
  EXPECT_LT(thread_exit, detach);
  EXPECT_NE(host_.log().find("agent unloaded"), std::string::npos) << host_.log();
}

TEST_F(EndToEnd, NoControllerMeansAClearMessageAndANonzeroExit) {
  ASSERT_NO_FATAL_FAILURE(ServeInProcess("none.json"));
  RunResult r = RunProgram({Kavsnmpd(), "--agent", Agent(), "--listen",
                            "udp:127.0.0.1:" + std::to_string(FreeUdpPort())},
                           HostEnv(), 20000);
  EXPECT_EQ(r.exit_code, 1) << r.all();
  EXPECT_NE(r.err.find("no controller"), std::string::npos) << r.all();
}

}  // namespace
}  // namespace kavit
