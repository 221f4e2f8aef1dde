// Start-up, discovery, settings and unload of the loaded agent.
#include <algorithm>
#include <filesystem>

#include "platform/testing.h"
#include "tests/agent/agent_host.h"

namespace {

// The serial number object of controller `number` (the engine's
// 1.3.6.1.4.1.47319.1.1.1.2.0 as the agent shows it).
Oid Serial(UINT number) { return Enterprise({1, number, 1, 2, 0}); }

std::string SerialOf(int port) { return "SER-PORT-" + std::to_string(port); }

std::string Controllers(std::initializer_list<int> ports) {
  std::vector<std::string> list;
  for (int port : ports) {
    list.push_back(ControllerJson(port, "\"serial\": \"" + SerialOf(port) + "\""));
  }
  return ScenarioJson(list);
}

bool Connected(int port) {
  std::string line = "scsi" + std::to_string(port) + ": connected";
  for (const std::string& l : AgentHost::ServerLog()) {
    if (l == line) return true;
  }
  return false;
}

using AgentLifecycle = AgentHost;

TEST_F(AgentLifecycle, ControllersNumberedInPortOrder) {
  StartSimulator(Controllers({2, 9}));
  Load();
  ASSERT_TRUE(Init());
  ASSERT_NE(trap_event_, nullptr);
  EXPECT_EQ(Dotted(Oid(view_.ids, view_.ids + view_.idLength)), "1.3.6.1.4.1.47319");
  EXPECT_EQ(CountTrace("[2] devices found."), 1);
  EXPECT_EQ(Get(Serial(1)).text, SerialOf(2));
  EXPECT_EQ(Get(Serial(2)).text, SerialOf(9));
  Var third = Get(Serial(3));
  EXPECT_EQ(third.name, Serial(3));
  EXPECT_EQ(third.type, ASN_NULL);
  // The table is filled once: a second start-up is refused and changes nothing.
  EXPECT_FALSE(Init());
  EXPECT_EQ(Get(Serial(2)).text, SerialOf(9));
}

// A JBOD subsystem takes a number; its engine is not reachable, so queries and
// walks pass over it.
TEST_F(AgentLifecycle, JbodSubsystemTakesANumberAndAnswersNothing) {
  StartSimulator(ScenarioJson({ControllerJson(2, "\"subsystem\": \"jbod\""),
                               ControllerJson(9, "\"serial\": \"" + SerialOf(9) + "\"")}));
  Load();
  ASSERT_TRUE(Init());
  EXPECT_EQ(CountTrace("[2] devices found."), 1);
  EXPECT_EQ(Get(Serial(1)).type, ASN_NULL);
  EXPECT_EQ(Get(Serial(2)).text, SerialOf(9));
  Var first = GetNext(Enterprise({}));
  ASSERT_GE(first.name.size(), 9u);
  EXPECT_EQ(first.name[8], 2u);
  EXPECT_GE(CountTrace("Failed to KavSnmp, state = 0x48"), 1);
}

TEST_F(AgentLifecycle, FiveControllersUseTheFourOnTheLowestPorts) {
  StartSimulator(Controllers({0, 1, 3, 5, 7}));
  Load();
  ASSERT_TRUE(Init());
  EXPECT_EQ(CountTrace("[4] devices found."), 1);
  EXPECT_EQ(Get(Serial(4)).text, SerialOf(5));
  EXPECT_EQ(Get(Serial(5)).type, ASN_NULL);
  // Discovery ended with the fourth: port 7 was never opened.
  EXPECT_TRUE(Connected(5));
  EXPECT_FALSE(Connected(7));
}

TEST_F(AgentLifecycle, NoControllerStartsNothingAndUnloadsWithoutWaiting) {
  StartSimulator(ScenarioJson({}));
  Load();
  trap_event_ = reinterpret_cast<HANDLE>(0x1);
  EXPECT_FALSE(Init());
  EXPECT_EQ(trap_event_, reinterpret_cast<HANDLE>(0x1));  // not written
  EXPECT_EQ(CountTrace("[0] devices found."), 1);
  Unload();
  std::vector<std::string> lines = TraceLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Event_Thread exited!!"), 0);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.back(), "DLL_PROCESS_DETACH.");
}

TEST_F(AgentLifecycle, UnloadStopsTheRunningEventThreadFirst) {
  StartSimulator(Controllers({2, 9}));
  WriteSettings(4);
  Load();
  ASSERT_TRUE(Init());
  // Let the thread get into its polls, with an event in flight.
  At(9)->AppendEvent(2, 11, 0, "Vol01");
  ASSERT_TRUE(WaitForTrace("Reading Configuration....", 2, 3000));
  Unload();
  std::vector<std::string> lines = TraceLines();
  auto at = [&lines](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) - lines.begin();
  };
  EXPECT_EQ(at("DLL_PROCESS_ATTACH."), 0);
  EXPECT_EQ(lines.at(1), "Kavor SNMP agent started.");
  EXPECT_LT(at("CleanUp(...) starting..."), at("CleanUp(...) done."));
  EXPECT_LT(at("CleanUp(...) done."), at("Event_Thread exited!!"));
  EXPECT_LT(at("Event_Thread exited!!"), at("DLL_PROCESS_DETACH."));
  EXPECT_EQ(lines.back(), "DLL_PROCESS_DETACH.");
  // The library loads and starts again from scratch.
  Load();
  ASSERT_TRUE(Init());
  EXPECT_EQ(Get(Serial(2)).text, SerialOf(9));
}

// A controller that answers the probe but whose Attach fails keeps its number
// and is left alone afterwards, even once it answers again.
TEST_F(AgentLifecycle, ControllerWhoseAttachFailedKeepsItsNumberAndIsSkipped) {
  StartSimulator(Controllers({2, 9}));
  WriteSettings(4);
  ASSERT_TRUE(At(2)->SetFault("bad-checksum", true));
  Load();
  ASSERT_TRUE(Init());
  ASSERT_TRUE(At(2)->SetFault("bad-checksum", false));
  EXPECT_EQ(CountTrace("[2] devices found."), 1);
  EXPECT_EQ(Get(Serial(1)).type, ASN_NULL);
  EXPECT_EQ(Get(Serial(2)).text, SerialOf(9));
  // A walk passes over it to the next controller.
  Var first = GetNext(Enterprise({}));
  ASSERT_GE(first.name.size(), 9u);
  EXPECT_EQ(first.name[8], 2u);
  // Its events are never polled; the attached controller's are.
  At(2)->AppendEvent(2, 12, 0, "Lost");
  At(9)->AppendEvent(2, 11, 0, "Vol01");
  std::vector<Trap> traps = CollectTraps(1, 3000);
  ASSERT_EQ(traps.size(), 1u);
  EXPECT_EQ(traps[0].message, "Controller#2 Vol01 Volume Degraded");
  EXPECT_TRUE(CollectTraps(1, 1300).empty());
}

TEST_F(AgentLifecycle, SettingsAsReadAtStartUp) {
  StartSimulator(Controllers({2}));
  const std::string long_community(200, 'c');
  struct {
    std::string file, port, level, community;
  } cases[] = {
      {"", "81", "0", "public"},
      {"[HTTPPROXY]\nPort=0\n[SNMP]\nNoLevel=7\nCommunity=abc def\n", "0", "7", "abc def"},
      {"[SNMP]\nNoLevel=-2\nCommunity=" + long_community + "\n", "81", "-2",
       long_community.substr(0, 127)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    WriteSettingsFile(c.file);
    std::filesystem::remove(trace_file_);
    Load();
    ASSERT_TRUE(Init());
    std::vector<std::string> lines = TraceLines();
    auto read = std::find(lines.begin(), lines.end(), "Reading Configuration....");
    ASSERT_LT(read + 3, lines.end());
    EXPECT_EQ(read[1], "1. Starting of Http Port = [" + c.port + "].");
    EXPECT_EQ(read[2], "2. SNMP Notification Level = [" + c.level + "].");
    EXPECT_EQ(read[3], "3. SNMP Community String = [" + c.community + "].");
    Unload();
  }
}

}  // namespace

namespace {

// Without a usable program files folder the path is never built from an
// unknown folder text: the agent reads the defaults.
TEST_F(AgentLifecycle, SettingsFallBackToDefaultsWithoutTheFolder) {
  StartSimulator(Controllers({2}));
  WriteSettings(3, "private");
  const std::string too_long = "/" + std::string(250, 'p');
  struct {
    KavShellFault fault;
    std::string folder;
  } cases[] = {
      {KAV_SHELL_LOAD_FAILS, ""},
      {KAV_SHELL_PROC_MISSING, ""},
      {KAV_SHELL_LOOKUP_FAILS, ""},
      {KAV_SHELL_OK, too_long},  // folder and file name exceed MAX_PATH
  };
  Load();
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.fault));
    KavTestSetShellFault(c.fault);
    if (!c.folder.empty()) setenv("KAV_PROGRAM_FILES", c.folder.c_str(), 1);
    Reply r = Query(SNMP_PDU_GET, {});
    KavTestSetShellFault(KAV_SHELL_OK);
    setenv("KAV_PROGRAM_FILES", program_files_.c_str(), 1);
    std::vector<std::string> lines = TraceLines();
    ASSERT_GE(lines.size(), 4u);
    auto last = lines.end() - 5;  // the read's four lines, then the binding count
    EXPECT_EQ(last[0], "Reading Configuration....");
    EXPECT_EQ(last[2], "2. SNMP Notification Level = [0].");
    EXPECT_EQ(last[3], "3. SNMP Community String = [public].");
    EXPECT_EQ(CountTrace("Program files folder not available, using defaults."),
              static_cast<int>(&c - cases) + 1);
  }
  Query(SNMP_PDU_GET, {});
  EXPECT_EQ(TraceLines().end()[-3], "2. SNMP Notification Level = [3].");
}

}  // namespace
