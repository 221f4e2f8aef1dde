// kavsnmpd against a small fake agent, driven with the real Net-SNMP managers
// and trap receiver: request conversion, the answers that are not values,
// read-only access, traps to v1 and v2c sinks, memory hand-over, signals, the
// listeners it opens, and AgentX mode behind a private snmpd.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "tests/integration/support/Processes.h"
#include "tests/integration/support/SnmpTools.h"

namespace kavit {
namespace {

const char kView[] = ".1.3.6.1.4.1.47319";
const char kObject[] = ".1.3.6.1.4.1.47319.1.1.1.0";

std::string Kavsnmpd() { return BinDir() + "/kavsnmpd"; }
std::string FakeAgent() { return LibDir() + "/libkav_fake_agent.so"; }

class FakeAgentHost : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    fifo_ = dir_.File("traps.fifo");
    ASSERT_EQ(mkfifo(fifo_.c_str(), 0600), 0);
    agent_log_ = dir_.File("agent.log");
  }

  Env AgentEnv(const Env& extra = {}) const {
    Env env = {{"FAKE_AGENT_LOG", agent_log_}, {"FAKE_AGENT_FIFO", fifo_}};
    for (const auto& [key, value] : extra) env[key] = value;
    return env;
  }

  // Starts kavsnmpd in master mode with both kinds of trap sink pointing at
  // one receiver; returns when it serves.
  void StartHost(const Env& extra_env = {}, std::vector<std::string> extra_args = {}) {
    port_ = FreeUdpPort();
    trap_port_ = FreeUdpPort();
    ASSERT_TRUE(traps_.Start(dir_.path(), trap_port_)) << ReadFile(dir_.File("snmptrapd.out"));
    std::string sink = "127.0.0.1:" + std::to_string(trap_port_);
    std::vector<std::string> argv = {Kavsnmpd(), "--agent", FakeAgent(), "--listen",
                                     "udp:127.0.0.1:" + std::to_string(port_), "--trap-sink",
                                     sink, "--trap2-sink", sink};
    argv.insert(argv.end(), extra_args.begin(), extra_args.end());
    ASSERT_TRUE(host_.Start(argv, dir_.File("kavsnmpd.log"), AgentEnv(extra_env)));
    ASSERT_TRUE(host_.WaitForLog("kavsnmpd: serving", 10000)) << host_.log();
  }

  RunResult Tool(const std::string& tool, const std::string& version,
                 const std::vector<std::string>& args, const std::string& community = "public") {
    return SnmpTool(tool, version, port_, args, dir_.path(), community);
  }

  void RaiseTrap(const std::string& line) { WriteFile(fifo_, line + "\n"); }

  std::string AgentLog() const { return ReadFile(agent_log_); }

  TempDir dir_;
  std::string fifo_;
  std::string agent_log_;
  int port_ = 0;
  int trap_port_ = 0;
  TrapReceiver traps_;
  Daemon host_;
};

TEST_F(FakeAgentHost, WalksWithV1V2cAndBulkGiveEveryObjectWithItsValue) {
  ASSERT_NO_FATAL_FAILURE(StartHost());
  const std::vector<VarLine> expected = {
      {".1.3.6.1.4.1.47319.1.1.1.0", "INTEGER: 42"},
      {".1.3.6.1.4.1.47319.1.1.2.0", "STRING: \"fake controller one\""},
      {".1.3.6.1.4.1.47319.1.1.3.0", "\"\""},
      {".1.3.6.1.4.1.47319.1.1.4.0", "Counter32: 4000000000"},
      {".1.3.6.1.4.1.47319.1.1.5.0", "Timeticks: (12345) 0:02:03.45"},
      {".1.3.6.1.4.1.47319.1.1.6.0", "IpAddress: 127.0.0.1"},
      {".1.3.6.1.4.1.47319.1.1.7.0", "OID: .1.3.6.1.4.1.47319.1.1"},
      {".1.3.6.1.4.1.47319.1.1.8.0", "STRING: \"static text\""},
      {".1.3.6.1.4.1.47319.1.2.1.0", "INTEGER: -7"},
      {".1.3.6.1.4.1.47319.1.2.2.0", "STRING: \"fake controller two\""},
  };
  struct Walk {
    const char* tool;
    const char* version;
  } walks[] = {{"snmpwalk", "1"}, {"snmpwalk", "2c"}, {"snmpbulkwalk", "2c"}};
  for (const Walk& walk : walks) {
    SCOPED_TRACE(std::string(walk.tool) + " v" + walk.version);
    RunResult r = Tool(walk.tool, walk.version, {kView});
    ASSERT_EQ(r.exit_code, 0) << r.all();
    std::vector<VarLine> got = ParseVarLines(r.out);
    // v2c walks end on endOfMibView, printed as one more line for the last name.
    if (!got.empty() && got.back().value.find("No more variables") != std::string::npos)
      got.pop_back();
    ASSERT_EQ(got.size(), expected.size()) << r.all();
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(got[i].oid, expected[i].oid);
      EXPECT_EQ(got[i].value, expected[i].value);
    }
  }
  EXPECT_EQ(host_.Stop(SIGTERM), 0) << host_.log();
}

TEST_F(FakeAgentHost, GetAnswersNoSuchObjectErrorsAndNeverAMadeUpValue) {
  ASSERT_NO_FATAL_FAILURE(StartHost());
  struct Case {
    const char* version;
    std::vector<std::string> names;
    const char* expect;
  } cases[] = {
      {"2c", {kObject}, "INTEGER: 42"},
      // The agent leaves the binding as it came: no such object.
      {"2c", {".1.3.6.1.4.1.47319.1.1.99.0"}, "No Such Instance"},
      {"1", {".1.3.6.1.4.1.47319.1.1.99.0"}, "noSuchName"},
      {"2c", {".1.3.6.1.4.1.47319.1"}, "No Such Instance"},
      {"1", {".1.3.6.1.4.1.47319.1"}, "noSuchName"},
      // A value of a type that cannot be sent is an error, not a guess.
      {"2c", {".1.3.6.1.4.1.47319.1.1.12.0"}, "genErr"},
      // The agent's error status and index name the second binding.
      {"2c", {kObject, ".1.3.6.1.4.1.47319.1.9.0"}, "Failed object: .1.3.6.1.4.1.47319.1.9.0"},
      {"1", {kObject, ".1.3.6.1.4.1.47319.1.9.0"}, "Failed object: .1.3.6.1.4.1.47319.1.9.0"},
      // Outside the agent's view nothing is served.
      {"2c", {".1.3.6.1.2.1.1.1.0"}, "No Such Object"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("v") + c.version + " " + c.names.back());
    RunResult r = Tool("snmpget", c.version, c.names);
    EXPECT_NE(r.all().find(c.expect), std::string::npos) << r.all();
    EXPECT_FALSE(r.timed_out);
  }
  RunResult error = Tool("snmpget", "2c", {kObject, ".1.3.6.1.4.1.47319.1.9.0"});
  EXPECT_NE(error.all().find("genErr"), std::string::npos) << error.all();
  EXPECT_EQ(host_.Stop(SIGTERM), 0) << host_.log();
}

TEST_F(FakeAgentHost, GetNextAnswersOutsideTheViewOrNotAfterTheRequestAreNotTaken) {
  ASSERT_NO_FATAL_FAILURE(StartHost());
  // Past the last object the agent leaves the binding unchanged; below .1.3 it
  // answers a smaller name; below .1.4 a name outside the view. Each ends the
  // view cleanly instead of looping or leaking a foreign name.
  for (const char* start : {".1.3.6.1.4.1.47319.1.2.2.0", ".1.3.6.1.4.1.47319.1.3",
                            ".1.3.6.1.4.1.47319.1.4"}) {
    SCOPED_TRACE(start);
    RunResult v2 = Tool("snmpgetnext", "2c", {start});
    EXPECT_NE(v2.out.find("No more variables left in this MIB View"), std::string::npos)
        << v2.all();
    RunResult v1 = Tool("snmpgetnext", "1", {start});
    EXPECT_NE(v1.all().find("noSuchName"), std::string::npos) << v1.all();
    EXPECT_EQ(v1.all().find("47320"), std::string::npos) << v1.all();
  }
  // From before the view the first object comes back.
  RunResult first = Tool("snmpgetnext", "2c", {".1.3.6.1.4.1"});
  EXPECT_NE(first.out.find(std::string(kObject) + " = INTEGER: 42"), std::string::npos)
      << first.all();
}

TEST_F(FakeAgentHost, OnlyTheCommunityMayReadAndNobodyMayWrite) {
  ASSERT_NO_FATAL_FAILURE(StartHost());
  for (const char* version : {"1", "2c"}) {
    SCOPED_TRACE(version);
    RunResult wrong = SnmpTool("snmpget", version, port_, {kObject}, dir_.path(), "private", 1);
    EXPECT_NE(wrong.all().find("Timeout"), std::string::npos) << wrong.all();
    RunResult set = Tool("snmpset", version, {kObject, "i", "5"});
    EXPECT_NE(set.exit_code, 0) << set.all();
    EXPECT_EQ(set.all().find("INTEGER: 5"), std::string::npos) << set.all();
  }
  EXPECT_EQ(AgentLog().find("SET reached the agent"), std::string::npos);
  EXPECT_NE(Tool("snmpget", "2c", {kObject}).out.find("INTEGER: 42"), std::string::npos);
}

// Trap names handed over as the agent's constants or as heap copies: the host
// must free exactly the latter (ASan and LeakSanitizer watch the host).
class FakeAgentTraps : public FakeAgentHost, public ::testing::WithParamInterface<bool> {};

TEST_P(FakeAgentTraps, ReachV1AndV2cSinksOnceEachAndSurviveAStorm) {
  ASSERT_NO_FATAL_FAILURE(StartHost(GetParam() ? Env{{"FAKE_AGENT_HEAP_NAMES", "1"}} : Env{}));
  RaiseTrap("trap 267 Controller#2 Vol01 Volume Degraded");
  ASSERT_TRUE(traps_.WaitForTraps(1, 1, 5000)) << host_.log();
  ASSERT_TRUE(traps_.WaitForTraps(2, 1, 5000)) << host_.log();
  std::vector<ReceivedTrap> got = traps_.Traps();
  ASSERT_EQ(got.size(), 2u);
  for (const ReceivedTrap& trap : got) {
    EXPECT_NE(trap.bindings.find(".1.3.6.1.2.1.1.1.0 = STRING: \"Controller#2 Vol01 Volume "
                                 "Degraded\""),
              std::string::npos)
        << trap.bindings;
    if (trap.version == 1) {
      EXPECT_EQ(trap.agent_address, "127.0.0.1");
      EXPECT_EQ(trap.enterprise, ".1.3.6.1.4.1.47319.1.1");
      EXPECT_EQ(trap.generic, 6);
    } else {
      EXPECT_NE(trap.bindings.find("= OID: .1.3.6.1.4.1.47319.1.1.0.267"), std::string::npos)
          << trap.bindings;
    }
  }
  EXPECT_NE(ReadFile(dir_.File("snmptrapd.log")).find("|6|.267|"), std::string::npos);

  RaiseTrap("storm 200");
  ASSERT_TRUE(traps_.WaitForTraps(1, 201, 20000)) << traps_.Traps().size();
  ASSERT_TRUE(traps_.WaitForTraps(2, 201, 20000));
  std::string log = ReadFile(dir_.File("snmptrapd.log"));
  for (int i = 0; i < 200; ++i) {
    std::string text = "\"storm " + std::to_string(i) + "\"";
    size_t first = log.find(text);
    ASSERT_NE(first, std::string::npos) << text;
    size_t second = log.find(text, first + 1);
    ASSERT_NE(second, std::string::npos) << text;
    EXPECT_EQ(log.find(text, second + 1), std::string::npos) << text << " arrived too often";
  }
  EXPECT_EQ(host_.Stop(SIGTERM), 0) << host_.log();
}

INSTANTIATE_TEST_SUITE_P(NameOwnership, FakeAgentTraps, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "HeapNames" : "ConstantNames"; });

class FakeAgentSignals : public FakeAgentHost, public ::testing::WithParamInterface<int> {};

TEST_P(FakeAgentSignals, StopServingUnloadTheAgentAndExitZeroQuickly) {
  ASSERT_NO_FATAL_FAILURE(StartHost());
  ASSERT_NE(Tool("snmpget", "2c", {kObject}).out.find("INTEGER: 42"), std::string::npos);
  int elapsed_ms = 0;
  EXPECT_EQ(host_.Stop(GetParam(), 3000, &elapsed_ms), 0) << host_.log();
  EXPECT_LT(elapsed_ms, 3000);
  std::string log = AgentLog();
  size_t init = log.find("init");
  size_t unload = log.find("unload");
  ASSERT_NE(init, std::string::npos) << log;
  ASSERT_NE(unload, std::string::npos) << log;
  EXPECT_LT(init, unload);
  EXPECT_NE(host_.log().find("agent unloaded"), std::string::npos) << host_.log();
}

INSTANTIATE_TEST_SUITE_P(Signals, FakeAgentSignals, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& info) { return info.param == SIGTERM ? "Term" : "Int"; });

TEST_F(FakeAgentHost, ASlowAgentDelaysOtherRequestsOnlyAsLongAsItTakes) {
  ASSERT_NO_FATAL_FAILURE(StartHost({{"FAKE_AGENT_SLOW_MS", "1200"}}));
  std::thread slow([&] {
    RunResult r = SnmpTool("snmpget", "2c", port_, {".1.3.6.1.4.1.47319.1.1.11.0"}, dir_.path(),
                           "public", 5);
    EXPECT_NE(r.out.find("INTEGER: 11"), std::string::npos) << r.all();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  auto start = std::chrono::steady_clock::now();
  RunResult fast = SnmpTool("snmpget", "2c", port_, {kObject}, dir_.path(), "public", 5);
  auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  slow.join();
  EXPECT_NE(fast.out.find("INTEGER: 42"), std::string::npos) << fast.all();
  EXPECT_LT(waited.count(), 4000);
}

TEST_F(FakeAgentHost, ListensOnlyWhereToldAndNeverForSmux) {
  ASSERT_NO_FATAL_FAILURE(StartHost());
  RunResult ss = RunProgram({"ss", "-H", "-lntup"});
  ASSERT_EQ(ss.exit_code, 0) << ss.all();
  std::string mine = "pid=" + std::to_string(host_.pid()) + ",";
  std::string listen = "127.0.0.1:" + std::to_string(port_) + " ";
  bool found_listener = false;
  std::istringstream lines(ss.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.find(mine) == std::string::npos) continue;
    SCOPED_TRACE(line);
    EXPECT_EQ(line.rfind("udp", 0), 0u) << "kavsnmpd must open no TCP listener";
    EXPECT_EQ(line.find(":199 "), std::string::npos);
    // Besides the listener only the trap sockets, bound to loopback.
    EXPECT_NE(line.find("127.0.0.1:"), std::string::npos);
    found_listener |= line.find(listen) != std::string::npos;
  }
  EXPECT_TRUE(found_listener) << ss.out;
}

TEST(KavsnmpdCommandLine, RefusesToRunWithoutAUsableAgent) {
  TempDir dir;
  RunResult help = RunProgram({Kavsnmpd(), "--help"});
  EXPECT_EQ(help.exit_code, 0);
  for (const char* option : {"--agent", "--listen", "--community", "--trap-sink", "--trap2-sink",
                             "--agentx", "--verbose", "--help"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;

  struct Case {
    std::vector<std::string> args;
    Env env;
    int exit_code;
    const char* message;
  } cases[] = {
      {{}, {}, 2, "--agent PATH is required"},
      {{"--agent", FakeAgent(), "--bogus"}, {}, 2, "unknown option"},
      {{"--agent", FakeAgent(), "--trap-sink", "127.0.0.1:99999"}, {}, 2, "bad trap sink"},
      {{"--agent", FakeAgent(), "--community", "two words"}, {}, 2, "--community"},
      {{"--agent", dir.File("missing.so")}, {}, 1, "cannot load the agent"},
      {{"--agent", "/lib/x86_64-linux-gnu/libc.so.6"}, {}, 1, "is not an SNMP extension agent"},
      {{"--agent", FakeAgent(), "--listen", "udp:127.0.0.1:" + std::to_string(FreeUdpPort())},
       {{"FAKE_AGENT_NO_CONTROLLER", "1"}},
       1,
       "no controller"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {Kavsnmpd()};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    RunResult r = RunProgram(argv, c.env, 10000);
    SCOPED_TRACE(c.message);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.all();
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.all();
  }
}

}  // namespace
}  // namespace kavit

namespace kavit {
namespace {

TEST(FakeAgentAgentx, ServesTheSameWalkAndTrapsThroughAPrivateSnmpd) {
  TempDir dir;
  std::string fifo = dir.File("traps.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  TrapReceiver traps;
  ASSERT_TRUE(traps.Start(dir.path(), FreeUdpPort()));
  MasterAgent snmpd;
  ASSERT_TRUE(snmpd.Start(dir.path(), FreeUdpPort(), traps.port()))
      << ReadFile(dir.File("snmpd.log"));
  Daemon host;
  ASSERT_TRUE(host.Start({Kavsnmpd(), "--agent", FakeAgent(), "--agentx", snmpd.socket_path()},
                         dir.File("kavsnmpd.log"),
                         {{"FAKE_AGENT_LOG", dir.File("agent.log")}, {"FAKE_AGENT_FIFO", fifo}}));
  ASSERT_TRUE(host.WaitForLog("as an AgentX subagent", 10000)) << host.log();

  RunResult walk = SnmpTool("snmpbulkwalk", "2c", snmpd.port(), {kView}, dir.path());
  std::vector<VarLine> lines = ParseVarLines(walk.out);
  ASSERT_EQ(lines.size(), 10u) << walk.all();
  EXPECT_EQ(lines.front().oid, kObject);
  EXPECT_EQ(lines.back().value, "STRING: \"fake controller two\"");
  RunResult missing = SnmpTool("snmpget", "1", snmpd.port(), {".1.3.6.1.4.1.47319.1.1.99.0"},
                               dir.path());
  EXPECT_NE(missing.all().find("noSuchName"), std::string::npos) << missing.all();

  WriteFile(fifo, "trap 391 Controller#1 IDE Channel # 3 Device Failed\n");
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (const ReceivedTrap& t : traps.Traps())
          if (t.specific == 391) return true;
        return false;
      },
      5000))
      << ReadFile(dir.File("snmptrapd.log"));
  for (const ReceivedTrap& t : traps.Traps()) {
    if (t.specific != 391) continue;  // snmpd's own coldStart
    EXPECT_EQ(t.enterprise, ".1.3.6.1.4.1.47319.1.1");
    EXPECT_EQ(t.generic, 6);
    EXPECT_NE(t.bindings.find("\"Controller#1 IDE Channel # 3 Device Failed\""), std::string::npos);
  }
  EXPECT_EQ(host.Stop(SIGTERM, 3000), 0) << host.log();
}

}  // namespace
}  // namespace kavit
