// Scenario files: every shipped scenario loads, and mistakes are reported with
// where they are.
#include <gtest/gtest.h>

#include <filesystem>

#include "sim/Simulator.h"

namespace kavsim {
namespace {

TEST(ScenarioTest, ShippedScenariosLoadWithTheirPorts) {
  struct Case {
    const char* file;
    std::vector<int> ports;
  } cases[] = {
      {"two-controllers.json", {2, 9}},
      {"five-controllers.json", {0, 1, 2, 3, 4}},
      {"jbod.json", {0}},
      {"kind3.json", {0}},
      {"none.json", {}},
  };
  for (const Case& c : cases) {
    std::string error;
    auto sim = Simulator::LoadFile(std::string(KAV_SIM_SCENARIO_DIR) + "/" + c.file, &error);
    ASSERT_TRUE(sim) << c.file << ": " << error;
    EXPECT_EQ(sim->Ports(), c.ports) << c.file;
  }
}

TEST(ScenarioTest, MistakesAreReportedWithTheirPlace) {
  struct Case {
    const char* json;
    const char* message;
  } cases[] = {
      {"{", "not valid JSON"},
      {R"({"controllers": [{"port": 1}, {"port": 1}]})", "port 1 is used twice"},
      {R"({"controllers": [{"port": 16}]})", "controllers[0].port: must be from 0 to 15"},
      {R"({"controllers": [{}]})", "needs a \"port\""},
      {R"({"controllers": [{"port": 0, "event_slots": 100}]})", "event_slots: must be a multiple of 16"},
      {R"({"controllers": [{"port": 0, "colour": "red"}]})", "unknown key \"colour\""},
      {R"({"controllers": [{"port": 0, "volumes": [{"raid_set": 0}]}]})", "names no raid set"},
      {R"({"controllers": [{"port": 0, "model": 5}]})", "model: must be a string"},
      {R"({"controllers": [{"port": 0, "ip_address": "1.2.3"}]})", "not an IPv4 address"},
      {R"({"controllers": [{"port": 0, "subsystem": "tape"}]})", "must be one of raid, jbod"},
      {R"({"controllers": [{"port": 0, "disks": [{"number": 1}, {"number": 1}]}]})", "repeats a device number"},
      {R"({"controllers": [{"port": 0, "system_info_bytes": {"300": 1}}]})", "offset must be 0 to 255"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Simulator::LoadText(c.json, &error)) << c.json;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.json << " gave: " << error;
  }
  std::string error;
  EXPECT_FALSE(Simulator::LoadFile("/nonexistent/scenario.json", &error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(ScenarioTest, SystemInformationOverridesWin) {
  std::string error;
  auto sim = Simulator::LoadText(
      R"({"controllers": [{"port": 0, "system_info_bytes": {"174": 4, "200": 9}}]})", &error);
  ASSERT_TRUE(sim) << error;
  auto info = sim->At(0)->SystemInfo();
  EXPECT_EQ(info[174], 4);
  EXPECT_EQ(info[200], 9);
}

}  // namespace
}  // namespace kavsim
