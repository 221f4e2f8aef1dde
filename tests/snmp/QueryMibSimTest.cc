// QueryMib against the simulated controller, through the real miniport
// transport and the platform's device calls: the firmware's SNMP engine (built
// on Net-SNMP) answers what our codec sends.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "library/commands/CKavlib.h"
#include "library/transport/WinIoctlInterface.h"
#include "sim/Simulator.h"
#include "sim/snmp/MibView.h"
#include "tests/sim/SimTempDir.h"

namespace {

const std::vector<uint32_t> kMibRoot = {1, 3, 6, 1, 4, 1, 47319, 1, 1};
const std::vector<uint32_t> kModel = {1, 3, 6, 1, 4, 1, 47319, 1, 1, 1, 1, 0};

struct Answer {
  int status = -1;
  std::vector<uint32_t> oid;
  uint8_t type = 0xEE;
  bool is_integer = false;
  int32_t integer = 0;
  std::string text;
  int value_length = -7;
};

Answer Ask(CKavlib& library, const std::vector<uint32_t>& ids, bool get,
           const char* community = nullptr) {
  Answer a;
  int count = static_cast<int>(ids.size());
  uint32_t result[kQueryMibMaxIds];
  void* value = nullptr;
  a.status = library.QueryMib(ids.data(), &count, community, result, &a.type, &value,
                              &a.value_length, get ? 1 : 0);
  if (a.status != KAV_OK) return a;
  a.oid.assign(result, result + count);
  if (a.type == 2) {
    a.is_integer = true;
    a.integer = *static_cast<const int32_t*>(value);
  } else if (a.type == 4) {
    a.text.assign(static_cast<const char*>(value), static_cast<size_t>(a.value_length));
  }
  return a;
}

class SnmpQueryMibSim : public ::testing::Test {
 protected:
  void Load(const std::string& scenario) {
    std::string error;
    sim_ = kavsim::Simulator::LoadFile(std::string(KAV_SIM_SCENARIO_DIR) + "/" + scenario, &error);
    ASSERT_NE(sim_, nullptr) << error;
    const std::string devices = dir_.path() + "/dev";
    server_ = std::make_unique<kavsim::DeviceServer>(*sim_, devices);
    ASSERT_TRUE(server_->Start(&error)) << error;
    setenv("KAV_DEVICE_DIR", devices.c_str(), 1);
    setenv("KAV_DEVICE_TIMEOUT_MS", "2000", 1);
  }
  void Attach(int port, int expected_status = KAV_OK) {
    auto* transport = new WinIoctlInterface();
    ASSERT_TRUE(transport->OpenPort(port));
    ASSERT_EQ(library_.Attach(transport), expected_status);
  }
  void TearDown() override {
    if (server_) server_->Stop();
  }

  kavsim::testing::TempDir dir_;
  std::unique_ptr<kavsim::Simulator> sim_;
  std::unique_ptr<kavsim::DeviceServer> server_;
  CKavlib library_;
};

TEST_F(SnmpQueryMibSim, GetAndGetNextWalkTheWholeMib) {
  Load("two-controllers.json");
  Attach(9);
  std::vector<kavsim::MibObject> view;
  sim_->At(9)->WithState([&view](kavsim::FirmwareState& s) { view = kavsim::BuildMibView(s); });
  ASSERT_GT(view.size(), 20u);

  const Answer model = Ask(library_, kModel, true);
  ASSERT_EQ(model.status, KAV_OK);
  EXPECT_EQ(model.oid, kModel);
  EXPECT_EQ(model.type, 4);
  EXPECT_EQ(model.text, "KV-1680");

  // GETNEXT from the root visits every object in order, then is refused.
  std::vector<uint32_t> at = kMibRoot;
  for (const kavsim::MibObject& expected : view) {
    const Answer next = Ask(library_, at, false);
    ASSERT_EQ(next.status, KAV_OK);
    ASSERT_EQ(next.oid, expected.name);
    if (expected.is_integer) {
      EXPECT_EQ(next.type, 2);
      EXPECT_EQ(next.value_length, 4);
      EXPECT_EQ(next.integer, expected.integer);
    } else {
      EXPECT_EQ(next.type, 4);
      EXPECT_EQ(next.text, expected.text);
    }
    at = next.oid;
  }
  EXPECT_NE(Ask(library_, at, false).status, KAV_OK);
}

TEST_F(SnmpQueryMibSim, ErrorAnswersAreRefusedAndWriteNothing) {
  Load("two-controllers.json");
  Attach(2);
  std::vector<uint32_t> missing = kModel;
  missing[10] = 99;  // no such column: noSuchName
  int count = static_cast<int>(missing.size());
  uint32_t result[kQueryMibMaxIds] = {7};
  uint8_t type = 0xEE;
  int32_t sentinel = 0;
  void* value = &sentinel;
  int value_length = -7;
  EXPECT_NE(library_.QueryMib(missing.data(), &count, nullptr, result, &type, &value,
                              &value_length, 1), KAV_OK);
  EXPECT_EQ(count, static_cast<int>(missing.size()));
  EXPECT_EQ(result[0], 7u);
  EXPECT_EQ(type, 0xEE);
  EXPECT_EQ(value, &sentinel);
  EXPECT_EQ(value_length, -7);

  // A community the engine does not accept is answered with a status letter.
  sim_->At(2)->WithState([](kavsim::FirmwareState& s) { s.community = "secret"; });
  EXPECT_NE(Ask(library_, kModel, true, "public").status, KAV_OK);
  EXPECT_EQ(Ask(library_, kModel, true, "secret").status, KAV_OK);

  // A firmware that answers only the status letter 'A' gives an empty answer.
  ASSERT_TRUE(sim_->At(2)->SetFaultLetter('A'));
  sim_->At(2)->SetFault(kavsim::Fault::kStatusLetter, true);
  EXPECT_NE(Ask(library_, kModel, true, "secret").status, KAV_OK);
}

TEST_F(SnmpQueryMibSim, OctetStringWithAnEmbeddedZeroIsCutThere) {
  Load("two-controllers.json");
  Attach(2);
  sim_->At(2)->WithState([](kavsim::FirmwareState& s) { s.model = std::string("KV\0X-1220", 9); });
  const Answer model = Ask(library_, kModel, true);
  ASSERT_EQ(model.status, KAV_OK);
  EXPECT_EQ(model.type, 4);
  EXPECT_EQ(model.value_length, 2);
  EXPECT_EQ(model.text, "KV");
}

TEST_F(SnmpQueryMibSim, JbodIsNotAskedAtAll) {
  Load("jbod.json");
  Attach(0);
  ASSERT_TRUE(library_.IsJbod());
  // Were anything sent, this fault would answer it with 'C' (67).
  ASSERT_TRUE(sim_->At(0)->SetFaultLetter('C'));
  sim_->At(0)->SetFault(kavsim::Fault::kStatusLetter, true);
  EXPECT_EQ(Ask(library_, kModel, true).status, KAV_NOT_AVAILABLE);
  EXPECT_EQ(Ask(library_, kModel, false).status, KAV_NOT_AVAILABLE);
}

}  // namespace
