// The firmware model's command handlers, through the driver as a host sees them.
#include <gtest/gtest.h>

#include "DriverHost.h"
#include "sim/model/EventLog.h"

namespace kavsim::testing {
namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> Keyed(std::vector<uint8_t> tail) {
  std::vector<uint8_t> p = {8, 'K', 'a', 'V', 'o', 'R', 'q', 'I', 'n'};
  p.insert(p.end(), tail.begin(), tail.end());
  return p;
}

std::vector<uint8_t> Text16(const std::string& s) {
  std::vector<uint8_t> p(16, 0);
  p[0] = static_cast<uint8_t>(s.size());
  std::copy(s.begin(), s.end(), p.begin() + 1);
  return p;
}

constexpr const char* kScenario = R"({"controllers": [
  {"port": 0, "kind": 1, "utc_clock": false, "event_slots": 64,
   "raid_sets": [{"name": "Raid Set # 00", "members": [0, 1], "capacity_mb": 2000}],
   "volumes": [{"name": "Volume#00", "raid_set": 0, "capacity_mb": 1000}],
   "disks": [{"number": 0, "state": "member", "raid_set": 0}, {"number": 1, "state": "member", "raid_set": 0}],
   "hardware_monitor": {"voltages": [{"name": "12V", "mv": 3000}, {"name": "5V", "mv": 3100}],
                        "fans": [{"name": "Fan 1", "rpm": 2000, "limit": 900}],
                        "temperatures": [{"name": "Controller", "celsius": 45}, {"name": "Backplane", "celsius": null}],
                        "status": [5], "trailer": {"form": "tagged", "value": 64}}},
  {"port": 1, "subsystem": "jbod"},
  {"port": 2, "kind": 3, "long_volume_records": false, "highest_unit": 1,
   "raid_sets": [{"members": [0]}], "volumes": [{"raid_set": 0}],
   "disks": [{"number": 0, "unit": 1, "model": "UNIT1DISK0"}],
   "hardware_monitor": {"voltages": [], "trailer": {"form": "plain", "value": 7}}}]})";

class FirmwareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    sim_ = Simulator::LoadText(kScenario, &error);
    ASSERT_TRUE(sim_) << error;
  }
  DriverHost Host(int port) { return DriverHost(*sim_->At(port)); }
  std::unique_ptr<Simulator> sim_;
};

TEST_F(FirmwareTest, StatusLettersForRequestsTheFirmwareRefuses) {
  struct Case {
    int port;
    uint8_t code;
    std::vector<uint8_t> payload;
    char letter;
  } cases[] = {
      {0, 99, {}, 'H'},                           // no such command
      {1, 25, {}, 'H'},                           // not on a JBOD subsystem
      {1, 27, {}, 'H'},
      {0, 26, {4}, 'T'},                          // 64 slots: pages 0..3
      {0, 26, {}, 'B'},
      {0, 32, {16}, 'T'},
      {0, 33, {16}, 'T'},
      {0, 34, {32, 0}, 'T'},
      {0, 34, {0, 1}, 'B'},                       // units only on kind 3
      {2, 34, {0, 2}, 'T'},                       // past the highest unit
      {0, 16, std::vector<uint8_t>(33, 0), 'D'},  // prefix missing
      {0, 17, Keyed(std::vector<uint8_t>(47, ' ')), 'B'},
      {0, 18, [] { auto p = Keyed(std::vector<uint8_t>(16, ' ')); p[1] = 'k'; return p; }(), 'D'},
      {0, 29, Keyed({24, 3, 7, 14, 5, 9, 0x55, 0xAA}), 'H'},  // no UTC on this controller
      {0, 29, Keyed({24, 13, 7, 14, 5, 9}), 'B'},
      {0, 24, {4, 0x55, 0xAA, 0xA5, 0x5A}, 'B'},
      {0, 24, [] { std::vector<uint8_t> p = {4, 0x55, 0xAA, 0xA5, 0x5A}; p.resize(2005); return p; }(), 'T'},
      {0, 24, {0xFF, 0x55, 0xAA, 0xA5, 0x00}, 'D'},
      {0, 49, {2}, 'B'},
      {0, 52, {4}, 'B'},
      {0, 55, {1, 8, 1, 1, 0, 0}, 'B'},
      {0, 50, Text16("Array-01"), 'B'},
      {0, 20, {16}, 'B'},
      {0, 30, {0x30, 0x03, 0x02}, 'B'},           // not an SNMP message
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Host(c.port).Status(c.code, c.payload), c.letter)
        << "port " << c.port << " command " << int{c.code};
  }
}

TEST_F(FirmwareTest, CommandsCarriedOutAnswerA) {
  struct Case {
    int port;
    uint8_t code;
    std::vector<uint8_t> payload;
  } cases[] = {
      {0, 16, [] { auto p = Bytes("\x0fGrOvEmIlLsPaTcH hello           "); return p; }()},
      {0, 17, Keyed(Bytes(std::string("forty") + std::string(43, ' ')))},
      {0, 18, Keyed(Bytes("name            "))},
      {0, 23, Keyed({0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6})},
      {0, 29, Keyed({24, 3, 7, 14, 5, 9})},
      {2, 29, Keyed({24, 3, 7, 14, 5, 9, 0x55, 0xAA})},
      {0, 24, {0xFF, 0x55, 0xAA, 0xA5, 0x5A}},
      {2, 24, [] { std::vector<uint8_t> p = {31, 0x55, 0xAA, 0xA5, 0x5A}; p.resize(2005); return p; }()},
      {0, 20, Text16("with blanks")},
      {0, 50, Text16("Array01")},
      {1, 50, Text16("")},
      {0, 21, {}},
      {1, 21, {}},
      {0, 48, {}},
      {0, 49, {1}},
      {0, 51, {0}},
      {0, 52, {3}},
      {0, 53, {200}},
      {0, 55, {1, 7, 1, 1, 0, 0}},
      {0, 57, {1, 10, 0, 0, 5}},
      {0, 36, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Host(c.port).Status(c.code, c.payload), 'A')
        << "port " << c.port << " command " << int{c.code};
  }
  EXPECT_EQ(sim_->At(0)->LastText(16), "hello");
  EXPECT_EQ(sim_->At(0)->LastText(17), "forty");
  EXPECT_EQ(sim_->At(0)->LastText(20), "with blanks");
  EXPECT_EQ(sim_->At(0)->LastText(50), "Array01");
}

TEST_F(FirmwareTest, SubsystemAndSystemInformationRecords) {
  auto raid = Host(0).Body(19);
  auto jbod = Host(1).Body(19);
  ASSERT_GE(raid.size(), 44u);
  ASSERT_GE(jbod.size(), 44u);
  EXPECT_EQ(std::string(raid.begin(), raid.begin() + 20), "Kavor RAID Subsystem");
  EXPECT_EQ(std::string(jbod.begin(), jbod.begin() + 20), "Kavor JBOD Subsystem");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(raid.data() + 24)), "1220");

  auto info = Host(0).Body(35);
  ASSERT_EQ(info.size(), 256u);
  EXPECT_EQ(Get32(info.data() + 148), 64u);
  EXPECT_EQ(info[174], 5);
  EXPECT_EQ(info[189], 1);
  EXPECT_EQ(info[195], 0);
  EXPECT_EQ(std::string(info.begin() + 56, info.begin() + 61), "V1.45");
  EXPECT_EQ(Host(2).Body(35)[189], 3);
  EXPECT_EQ(Host(1).Body(35).size(), 256u) << "system information works on JBOD";
}

TEST_F(FirmwareTest, RecordsAndEmptyRecords) {
  auto raid = Host(0).Body(32, {0});
  ASSERT_EQ(raid.size(), 272u);
  EXPECT_NE(raid[61], 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(raid.data())), "Raid Set # 00");
  auto none = Host(0).Body(32, {3});
  ASSERT_EQ(none.size(), 272u);
  EXPECT_EQ(none[61], 0);

  auto vol = Host(0).Body(33, {0});
  ASSERT_EQ(vol.size(), 128u);
  EXPECT_NE(Get32(vol.data() + 16), 0u);
  EXPECT_EQ(Get32(vol.data() + 28), 64u) << "stripe size";
  EXPECT_EQ(Get32(Host(0).Body(33, {1}).data() + 16), 0u);
  EXPECT_EQ(Host(2).Body(33, {0}).size(), 64u) << "short volume records";

  auto dev = Host(0).Body(34, {1, 0});
  ASSERT_EQ(dev.size(), 256u);
  EXPECT_NE(dev[76], 0);
  EXPECT_EQ(Host(0).Body(34, {5, 0})[76], 0);
  // Kind 3 addresses devices by unit.
  auto unit1 = Host(2).Body(34, {0, 1});
  EXPECT_NE(unit1[76], 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(unit1.data())), "UNIT1DISK0");
  EXPECT_EQ(Host(2).Body(34, {0, 0})[76], 0);
}

TEST_F(FirmwareTest, HardwareMonitorGroupsAndBothTrailerForms) {
  auto m = Host(0).Body(27);
  std::vector<uint8_t> want = {2, 1, 2, 1,  0xB8, 0x0B, 0x1C, 0x0C,  0xD0, 0x07, 0x84, 0x03,
                               45, 0x80,   5,  0x55, 0xAA, 0x01, 64};
  EXPECT_EQ(m, want);
  auto plain = Host(2).Body(27);
  ASSERT_FALSE(plain.empty());
  EXPECT_EQ(plain[0], 0);
  EXPECT_EQ(plain.back(), 7);
  EXPECT_EQ(plain.size(), 4u + 2 * plain[0] + 4 * plain[1] + plain[2] + plain[3] + 1);
}

TEST_F(FirmwareTest, ClockSetLocallyStampsEvents) {
  ASSERT_EQ(Host(0).Status(29, Keyed({24, 3, 7, 14, 5, 9})), 'A');
  sim_->At(0)->AppendEvent(2, 11, 0, "Volume#00");
  auto page = sim_->At(0)->EventPage(0);
  const uint8_t* rec = page.data() + 15 * 32;
  EXPECT_EQ(rec[0], 2);
  EXPECT_EQ(rec[1], 11);
  CalendarTime t{};
  ASSERT_TRUE(DecodeCalendarStamp(Get32(rec + 4), &t));
  EXPECT_EQ(t.year, 2024);
  EXPECT_EQ(t.month, 3);
  EXPECT_EQ(t.day, 7);
  EXPECT_EQ(t.hour, 14);
  EXPECT_LE(t.minute * 60 + t.second - (5 * 60 + 9), 5);
}

TEST_F(FirmwareTest, PlainTimeStampsHaveBit31Clear) {
  std::string error;
  auto sim = Simulator::LoadText(R"({"controllers": [{"port": 3, "time_stamps": "plain"}]})", &error);
  ASSERT_TRUE(sim) << error;
  sim->At(3)->AppendEvent(4, 0, 0, "");
  auto page = sim->At(3)->EventPage(0);
  EXPECT_EQ(Get32(page.data() + 15 * 32 + 4) & 0x80000000u, 0u);
}

TEST_F(FirmwareTest, WebServerAnswersInExtendedForm) {
  struct Case {
    std::string request;
    std::string status_line;
  } cases[] = {
      {"GET / HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK"},
      {"GET /missing HTTP/1.0\r\n\r\n", "HTTP/1.0 404 Not Found"},
      {"nonsense", "HTTP/1.0 400 Bad Request"},  // a short piece ends the request
      {"DELETE / HTTP/1.0\r\n\r\n", "HTTP/1.0 501 Not Implemented"},
  };
  for (const Case& c : cases) {
    auto r = Host(1).Command(22, Bytes(c.request));
    ASSERT_TRUE(r.ok) << c.request;
    ASSERT_GT(r.frame.size(), 8u);
    size_t length = r.frame[5] | (size_t{r.frame[6]} << 8) | (size_t{r.frame[7]} << 16);
    EXPECT_EQ(r.frame.size(), length + 6);
    std::string response = "HTTP" + std::string(r.frame.begin() + 9, r.frame.end() - 1);
    EXPECT_EQ(response.substr(0, c.status_line.size()), c.status_line) << c.request;
  }
}

}  // namespace
}  // namespace kavsim::testing
