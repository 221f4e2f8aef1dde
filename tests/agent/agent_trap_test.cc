// The event thread and traps of the loaded agent: levels, messages and trap
// numbers, events logged before start-up, settings changes, event storms.
#include <algorithm>

#include "tests/agent/agent_host.h"

namespace {

class AgentTraps : public AgentHost {
 protected:
  // Controllers on ports 2 and 9 with a SCSI host bus and device events that
  // name channels.
  void Start(int level, const std::string& events_before = "") {
    std::string extra = "\"host_bus\": \"scsi\", \"kind\": 1";
    if (!events_before.empty()) extra += ", \"events\": " + events_before;
    StartSimulator(ScenarioJson({ControllerJson(2, extra), ControllerJson(9, extra)}));
    WriteSettings(level);
    Load();
    ASSERT_TRUE(Init(GetTickCount() - 5000));
  }
  // Composed events show as settings reads on the event thread.
  int Reads() const { return CountTrace("Reading Configuration...."); }
  // Waits until `events` more events than `before` have been composed, and
  // for the pause after the last.
  void WaitComposed(int before, int events, int timeout_ms = 4000) {
    ASSERT_TRUE(WaitForTrace("Reading Configuration....", before + events, timeout_ms));
    Sleep(150);
  }
};

struct LoggedEvent {
  int type, code, byte2;
  const char* name;
  int severity;  // as the agent judges it
  int specific;
  const char* message;  // on controller 2
};

const LoggedEvent kEvents[] = {
    {2, 11, 0, "Vol01", 1, 267, "Controller#2 Vol01 Volume Degraded"},
    {3, 8, 4, "", 2, 392, "Controller#2 IDE Channel # 5 PCI Parity Error"},
    {2, 4, 0, "Vol01", 3, 260, "Controller#2 Vol01 Complete Init"},
    {4, 0, 0, "", 4, 512, "Controller#2 HOST SCSI Bus Reset\n"},
    {5, 39, 0, "", 1, 679, "Controller#2 H/W MONITOR Test Event"},
    {6, 8, 0, "admin", 0, 776, "Controller#2 admin HTTP Log In"},
    {6, 7, 5, "Cage 1", 5, 775, "Controller#2 Cage 1 Offlined"},
    {1, 5, 0, "Raid", 0, 0, nullptr},  // not a known code: skipped, no pause
};

class AgentTrapLevels : public AgentTraps, public ::testing::WithParamInterface<int> {};

// Each level sends the events whose severity is at most the level, in the
// order they were logged, with their trap number and message.
TEST_P(AgentTrapLevels, LevelSelectsTheEventsSent) {
  const int level = GetParam();
  Start(level);
  int before = Reads();
  for (const LoggedEvent& e : kEvents) At(9)->AppendEvent(e.type, e.code, e.byte2, e.name);
  std::vector<const LoggedEvent*> expected;
  for (const LoggedEvent& e : kEvents) {
    if (e.message != nullptr && level != 0 && e.severity <= level) expected.push_back(&e);
  }
  std::vector<Trap> traps = CollectTraps(expected.size(), 4000);
  WaitComposed(before, 7);
  for (Trap& t : DrainTraps()) traps.push_back(t);
  ASSERT_EQ(traps.size(), expected.size());
  for (size_t i = 0; i < traps.size(); ++i) {
    SCOPED_TRACE(expected[i]->message);
    EXPECT_EQ(traps[i].message, expected[i]->message);
    EXPECT_EQ(traps[i].specific, expected[i]->specific);
    EXPECT_EQ(traps[i].generic, SNMP_GENERICTRAP_ENTERSPECIFIC);
    EXPECT_EQ(Dotted(traps[i].enterprise), "1.3.6.1.4.1.47319.1.1");
    EXPECT_EQ(Dotted(traps[i].name), "1.3.6.1.2.1.1.1.0");
    EXPECT_EQ(traps[i].type, ASN_OCTETSTRING);
    EXPECT_GE(traps[i].stamp, 5000u);
  }
  std::vector<std::string> lines = TraceLines();
  auto traced = std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind("Event Trap: [", 0) == 0;
  });
  EXPECT_EQ(traced, static_cast<long>(expected.size()));
  EXPECT_TRUE(DrainTraps().empty());
}

INSTANTIATE_TEST_SUITE_P(Levels, AgentTrapLevels, ::testing::Values(0, 1, 2, 3, 4, 7, -1));

TEST_F(AgentTraps, EventsLoggedBeforeStartUpAreNeverSent) {
  Start(4, "[{\"type\": 2, \"code\": 12, \"name\": \"Old\"}, {\"type\": 5, \"code\": 39}]");
  At(2)->AppendEvent(2, 11, 0, "New");
  std::vector<Trap> traps = CollectTraps(1, 3000);
  ASSERT_EQ(traps.size(), 1u);
  EXPECT_EQ(traps[0].message, "Controller#1 New Volume Degraded");
  EXPECT_TRUE(CollectTraps(1, 1300).empty());
}

// The level is re-read for every composed event.
TEST_F(AgentTraps, LevelChangeAppliesToTheNextEvent) {
  Start(0);
  int before = Reads();
  At(2)->AppendEvent(2, 11, 0, "Quiet");
  WaitComposed(before, 1);
  EXPECT_TRUE(DrainTraps().empty());
  WriteSettings(1);
  At(2)->AppendEvent(2, 12, 0, "Loud");
  std::vector<Trap> traps = CollectTraps(1, 3000);
  ASSERT_EQ(traps.size(), 1u);
  EXPECT_EQ(traps[0].message, "Controller#1 Loud Volume Failed");
  EXPECT_EQ(traps[0].specific, 268);
}

// A storm of events that the host collects only afterwards: every trap is
// still handed over, oldest first, one per event.
TEST_F(AgentTraps, EventStormLosesNoTrap) {
  Start(4);
  constexpr int kStorm = 24;
  int before = Reads();
  for (int i = 0; i < kStorm; ++i) {
    At(i % 2 == 0 ? 2 : 9)->AppendEvent(2, i % 22, 0, "V" + std::to_string(i));
  }
  WaitComposed(before, kStorm, 8000);
  std::vector<Trap> traps = DrainTraps();
  ASSERT_EQ(traps.size(), static_cast<size_t>(kStorm));
  // Each controller's events arrive in the order they were logged.
  int next[2] = {0, 1};
  for (const Trap& t : traps) {
    int controller = t.message.rfind("Controller#1 ", 0) == 0 ? 0 : 1;
    int i = next[controller];
    next[controller] += 2;
    EXPECT_EQ(t.specific, 256 + i % 22);
    EXPECT_NE(t.message.find(" V" + std::to_string(i) + " "), std::string::npos) << t.message;
  }
  EXPECT_TRUE(DrainTraps().empty());
}

}  // namespace

namespace {

// Queries and event polls share the controllers: both go on side by side, and
// neither disturbs the other's results.
TEST_F(AgentTraps, QueriesWhileEventsArePolled) {
  Start(4);
  size_t objects = Walk(Enterprise({})).size();
  ASSERT_GT(objects, 0u);
  constexpr int kEvents = 8;
  for (int i = 0; i < kEvents; ++i) At(i % 2 == 0 ? 2 : 9)->AppendEvent(3, 7, i, "");
  std::vector<Trap> traps;
  for (int round = 0; round < 4 && traps.size() < kEvents; ++round) {
    EXPECT_EQ(Walk(Enterprise({})).size(), objects);
    for (Trap& t : DrainTraps()) traps.push_back(t);
  }
  for (Trap& t : CollectTraps(kEvents - traps.size(), 4000)) traps.push_back(t);
  ASSERT_EQ(traps.size(), static_cast<size_t>(kEvents));
  for (const Trap& t : traps) EXPECT_EQ(t.specific, 391);
}

}  // namespace
