// Prefixed and keyed commands, the controller clock and the simple control
// commands: argument checks and byte-exact payloads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "library/commands/CKavlib.h"
#include "platform/testing.h"
#include "tests/support/ScriptedTransport.h"

using kavtest::Bytes;
using kavtest::ScriptedReply;
using kavtest::ScriptedTransport;

namespace {

const Bytes kKeyed = {8, 'K', 'a', 'V', 'o', 'R', 'q', 'I', 'n'};

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
Bytes Blanks(size_t n) { return Bytes(n, ' '); }
Bytes Zeros(size_t n) { return Bytes(n, 0); }
Bytes Text(const std::string& s) { return kavtest::ToBytes(s); }

struct PayloadCase {
  const char* what;
  std::function<int(CKavlib&)> call;
  int status;            // expected result with an 'A' reply
  int code;              // command expected, or -1 for no exchange
  Bytes payload;
  uint8_t kind = 0;
};

void RunPayloadCases(const std::vector<PayloadCase>& cases) {
  for (const auto& c : cases) {
    CKavlib library;
    Bytes info = kavtest::SystemInfo(c.kind);
    info[kSysInfoAcceptsUtc] = 1;
    ScriptedTransport* transport = kavtest::AttachScripted(library, info);
    transport->SetResponder([](const kavtest::SentExchange&) { return ScriptedReply::Status('A'); });
    EXPECT_EQ(c.call(library), c.status) << c.what;
    if (c.code < 0) {
      EXPECT_TRUE(transport->Sent().empty()) << c.what;
      continue;
    }
    ASSERT_EQ(transport->Sent().size(), 1u) << c.what;
    EXPECT_EQ(transport->Sent()[0].code(), c.code) << c.what;
    EXPECT_EQ(transport->Sent()[0].payload(), c.payload) << c.what;
  }
}

TEST(KeyedCommands, PayloadsAndTextLimits) {
  const std::string sixteen = "ABCDEFGHIJKLMNOP";
  const std::string forty(40, 'x');
  const uint8_t record[6] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
  const Bytes prefix = Concat({{15}, Text("GrOvEmIlLsPaTcH ")});
  RunPayloadCases({
      {"16: five characters", [](CKavlib& l) { return l.SendPrefixedText16("Hello"); }, 0, 16,
       Concat({prefix, Text("Hello"), Blanks(11)})},
      {"16: sixteen characters", [&](CKavlib& l) { return l.SendPrefixedText16(sixteen.c_str()); },
       0, 16, Concat({prefix, Text(sixteen)})},
      {"16: seventeen", [](CKavlib& l) { return l.SendPrefixedText16("ABCDEFGHIJKLMNOPQ"); }, 6, -1,
       {}},
      {"16: empty", [](CKavlib& l) { return l.SendPrefixedText16(""); }, 6, -1, {}},
      {"16: null", [](CKavlib& l) { return l.SendPrefixedText16(nullptr); }, 6, -1, {}},
      {"17: forty", [&](CKavlib& l) { return l.SetKeyedText17(forty.c_str()); }, 0, 17,
       Concat({kKeyed, Text(forty), Blanks(8)})},
      {"17: forty-one", [&](CKavlib& l) { return l.SetKeyedText17((forty + "y").c_str()); }, 6, -1,
       {}},
      {"18: eight", [](CKavlib& l) { return l.SetKeyedText18("12345678"); }, 0, 18,
       Concat({kKeyed, Text("12345678"), Blanks(8)})},
      {"18: nine", [](CKavlib& l) { return l.SetKeyedText18("123456789"); }, 6, -1, {}},
      {"23", [&](CKavlib& l) { return l.SetKeyedValue23(record); }, 0, 23,
       Concat({kKeyed, Zeros(8), {1, 2, 3, 4, 5, 6}})},
      {"23: null", [](CKavlib& l) { return l.SetKeyedValue23(nullptr); }, 6, -1, {}},
  });
}

class ControllerClock : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    saved_tz_ = tz ? tz : "";
    had_tz_ = tz != nullptr;
  }
  void TearDown() override {
    KavTestSetClock(-1);
    if (had_tz_) {
      setenv("TZ", saved_tz_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  std::string saved_tz_;
  bool had_tz_ = false;
};

TEST_F(ControllerClock, SendsLocalOrUtcTime) {
  setenv("TZ", "UTC-2", 1);  // two hours east of UTC
  tzset();
  KavTestSetClock(1709820309);  // 2024-03-07 14:05:09 UTC
  RunPayloadCases({
      {"local", [](CKavlib& l) { return l.SetControllerTime(0); }, 0, 29,
       Concat({kKeyed, {24, 3, 7, 16, 5, 9}})},
      {"local, flag 256 is 0", [](CKavlib& l) { return l.SetControllerTime(256); }, 0, 29,
       Concat({kKeyed, {24, 3, 7, 16, 5, 9}})},
      {"utc", [](CKavlib& l) { return l.SetControllerTime(1); }, 0, 29,
       Concat({kKeyed, {24, 3, 7, 14, 5, 9, 0x55, 0xAA}})},
  });
}

TEST_F(ControllerClock, UtcNeedsAControllerThatTakesIt) {
  CKavlib library;
  ScriptedTransport* transport = kavtest::AttachScripted(library, kavtest::SystemInfo());
  EXPECT_EQ(library.SetControllerTime(1), KAV_INVALID_ARGUMENT);
  EXPECT_TRUE(transport->Sent().empty());
}

TEST(KeyedCommands, JbodTakesTheTextCommandsButNotTheClock) {
  CKavlib library;
  ScriptedTransport* transport =
      kavtest::AttachScripted(library, kavtest::SystemInfo(), "Kavor JBOD Subsystem");
  transport->SetResponder([](const kavtest::SentExchange&) { return ScriptedReply::Status('A'); });
  EXPECT_EQ(library.SetControllerTime(0), KAV_NOT_AVAILABLE);
  EXPECT_EQ(library.SendPrefixedText16("abc"), KAV_OK);
  EXPECT_EQ(library.RunCommand21(), KAV_OK);
  EXPECT_EQ(library.SetName50("abc"), KAV_OK);
  EXPECT_EQ(library.SetOption49(1), KAV_NOT_AVAILABLE);
  EXPECT_EQ(transport->Sent().size(), 3u);
}

TEST(KeyedCommands, TheControllersRefusalIsTheStatus) {
  CKavlib library;
  ScriptedTransport* transport = kavtest::AttachScripted(library, kavtest::SystemInfo());
  transport->Queue(ScriptedReply::Status('K'));
  EXPECT_EQ(library.SetKeyedText18("x"), 'K');
}

TEST(ControlCommands, ChecksAndPayloads) {
  const Bytes array01 = Concat({{7}, Text("Array01"), Zeros(8)});
  RunPayloadCases({
      {"48", [](CKavlib& l) { return l.RunCommand48(); }, 0, 48, {}},
      {"21", [](CKavlib& l) { return l.RunCommand21(); }, 0, 21, {}},
      {"49: 1", [](CKavlib& l) { return l.SetOption49(1); }, 0, 49, {1}},
      {"49: 2", [](CKavlib& l) { return l.SetOption49(2); }, 6, -1, {}},
      {"49: 256 is 0", [](CKavlib& l) { return l.SetOption49(256); }, 0, 49, {0}},
      {"51: 0", [](CKavlib& l) { return l.SetOption51(0); }, 0, 51, {0}},
      {"51: 2", [](CKavlib& l) { return l.SetOption51(2); }, 6, -1, {}},
      {"52: 3", [](CKavlib& l) { return l.SetOption52(3); }, 0, 52, {3}},
      {"52: 4", [](CKavlib& l) { return l.SetOption52(4); }, 6, -1, {}},
      {"53: 0 on kind 1", [](CKavlib& l) { return l.SetOption53(0); }, 0, 53, {3}, 1},
      {"53: 2 on kind 1", [](CKavlib& l) { return l.SetOption53(2); }, 0, 53, {1}, 1},
      {"53: 4 on kind 1", [](CKavlib& l) { return l.SetOption53(4); }, 6, -1, {}, 1},
      {"53: 0 on kind 3", [](CKavlib& l) { return l.SetOption53(0); }, 0, 53, {0}, 3},
      {"53: 4 on kind 0", [](CKavlib& l) { return l.SetOption53(4); }, 0, 53, {4}, 0},
      {"50: Array01", [](CKavlib& l) { return l.SetName50("Array01"); }, 0, 50, array01},
      {"50: Array-01", [](CKavlib& l) { return l.SetName50("Array-01"); }, 6, -1, {}},
      {"50: empty", [](CKavlib& l) { return l.SetName50(""); }, 0, 50, Zeros(16)},
      {"50: sixteen", [](CKavlib& l) { return l.SetName50("ABCDEFGHIJKLMNOP"); }, 6, -1, {}},
      {"50: null", [](CKavlib& l) { return l.SetName50(nullptr); }, 6, -1, {}},
      {"20: blanks", [](CKavlib& l) { return l.SetText20("a b"); }, 0, 20,
       Concat({{3}, Text("a b"), Zeros(12)})},
      {"20: fifteen", [](CKavlib& l) { return l.SetText20("ABCDEFGHIJKLMNO"); }, 0, 20,
       Concat({{15}, Text("ABCDEFGHIJKLMNO")})},
      {"20: sixteen", [](CKavlib& l) { return l.SetText20("ABCDEFGHIJKLMNOP"); }, 6, -1, {}},
      {"57", [](CKavlib& l) { return l.SetIpAddress(1, "10.0.0.5"); }, 0, 57, {1, 10, 0, 0, 5}},
      {"57: written order", [](CKavlib& l) { return l.SetIpAddress(0x102, "192.168.1.20"); }, 0, 57,
       {2, 192, 168, 1, 20}},
      {"57: broadcast", [](CKavlib& l) { return l.SetIpAddress(1, "255.255.255.255"); }, 6, -1, {}},
      {"57: not an address", [](CKavlib& l) { return l.SetIpAddress(1, "ten.0.0.5"); }, 6, -1, {}},
      {"57: null", [](CKavlib& l) { return l.SetIpAddress(1, nullptr); }, 6, -1, {}},
      {"55", [](CKavlib& l) { return l.SetOptions55(1, 7, 1); }, 0, 55, {1, 7, 1, 1, 0, 0}},
      {"55: a 2", [](CKavlib& l) { return l.SetOptions55(2, 0, 0); }, 6, -1, {}},
      {"55: b 8", [](CKavlib& l) { return l.SetOptions55(1, 8, 1); }, 6, -1, {}},
      {"55: c 2", [](CKavlib& l) { return l.SetOptions55(0, 0, 2); }, 6, -1, {}},
  });
}

TEST(ControlCommands, Command48HasTheShortTimeout) {
  CKavlib library;
  ScriptedTransport* transport = kavtest::AttachScripted(library, kavtest::SystemInfo());
  transport->Queue(ScriptedReply::Status('A'));
  EXPECT_EQ(library.RunCommand48(), KAV_OK);
  EXPECT_EQ(transport->Sent()[0].timeout, 3000u);
}

}  // namespace
