// The firmware's SNMP engine behind command 30, driven with requests that
// Net-SNMP builds: a walk of the whole MIB, GET, errors and echoes.
#include <gtest/gtest.h>

#include "DriverHost.h"
#include "SnmpTestClient.h"
#include "sim/snmp/MibView.h"

namespace kavsim::testing {
namespace {

using Oid = std::vector<uint32_t>;
const Oid kRoot = {1, 3, 6, 1, 4, 1, 47319, 1, 1};

bool Under(const Oid& name, const Oid& prefix) {
  return name.size() > prefix.size() && std::equal(prefix.begin(), prefix.end(), name.begin());
}

Oid With(Oid base, std::initializer_list<uint32_t> tail) {
  base.insert(base.end(), tail.begin(), tail.end());
  return base;
}

class SnmpEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    sim_ = Simulator::LoadFile(std::string(KAV_SIM_SCENARIO_DIR) + "/two-controllers.json", &error);
    ASSERT_TRUE(sim_) << error;
  }
  // One request through command 30 as a host sends it.
  SnmpAnswer Ask(int port, const std::vector<uint8_t>& request, size_t* size = nullptr) {
    DriverHost host(*sim_->At(port));
    auto reply = host.Command(30, request);
    EXPECT_TRUE(reply.ok);
    EXPECT_TRUE(ValidReply(reply.frame));
    if (size != nullptr) *size = reply.frame.size() - 6;
    if (reply.frame.size() < 6) return {};
    return ParseSnmpAnswer(std::vector<uint8_t>(reply.frame.begin() + 5, reply.frame.end() - 1));
  }
  std::unique_ptr<Simulator> sim_;
};

TEST_F(SnmpEngineTest, GetNextWalksTheWholeMibInIncreasingOrderThenNoSuchName) {
  for (int port : sim_->Ports()) {
    Oid at = {1, 3, 6, 1, 4, 1, 47319};
    int objects = 0, integers = 0, texts = 0;
    std::set<uint32_t> groups;
    for (;;) {
      size_t size = 0;
      long reqid = 1000 + objects;
      SnmpAnswer a = Ask(port, BuildSnmpRequest(SNMP_MSG_GETNEXT, {at}, reqid), &size);
      ASSERT_TRUE(a.parsed);
      EXPECT_EQ(a.command, SNMP_MSG_RESPONSE);
      EXPECT_EQ(a.reqid, reqid);
      EXPECT_EQ(a.community, "public");
      EXPECT_LT(size, 1024u);
      ASSERT_EQ(a.bindings.size(), 1u);
      if (a.errstat != 0) {
        EXPECT_EQ(a.errstat, SNMP_ERR_NOSUCHNAME);
        EXPECT_EQ(a.errindex, 1);
        EXPECT_EQ(a.bindings[0].name, at) << "an error echoes the request's binding";
        break;
      }
      const auto& b = a.bindings[0];
      ASSERT_TRUE(b.name > at) << "strictly increasing";
      ASSERT_TRUE(Under(b.name, kRoot));
      ASSERT_TRUE(b.type == ASN_INTEGER || b.type == ASN_OCTET_STR) << b.type;
      (b.type == ASN_INTEGER ? integers : texts)++;
      groups.insert(b.name[kRoot.size()]);
      at = b.name;
      ASSERT_LT(++objects, 2000);
    }
    EXPECT_GT(integers, 0);
    EXPECT_GT(texts, 0);
    EXPECT_EQ(groups, (std::set<uint32_t>{1, 2, 3, 4, 5})) << "port " << port;
    std::vector<MibObject> view;
    sim_->At(port)->WithState([&view](FirmwareState& s) { view = BuildMibView(s); });
    EXPECT_EQ(objects, static_cast<int>(view.size()));
  }
}

TEST_F(SnmpEngineTest, GetAnswersExactObjectsAndValuesFollowTheModel) {
  SnmpAnswer a = Ask(2, BuildSnmpRequest(SNMP_MSG_GET, {With(kRoot, {1, 4, 0}), With(kRoot, {4, 1, 1, 2, 2}),
                                                         With(kRoot, {1, 10, 0})}, 7, "s3cret"));
  ASSERT_TRUE(a.parsed);
  EXPECT_EQ(a.reqid, 7);
  EXPECT_EQ(a.community, "s3cret");
  EXPECT_EQ(a.errstat, 0);
  ASSERT_EQ(a.bindings.size(), 3u);
  EXPECT_EQ(a.bindings[0].text, "V1.45 2026-03-02");
  EXPECT_EQ(a.bindings[1].text, "Volume#01");
  EXPECT_EQ(a.bindings[2].integer, 3) << "the event pointer after three scenario events";
  sim_->At(2)->AppendEvent(4, 0, 0, "");
  a = Ask(2, BuildSnmpRequest(SNMP_MSG_GET, {With(kRoot, {1, 10, 0})}));
  ASSERT_EQ(a.bindings.size(), 1u);
  EXPECT_EQ(a.bindings[0].integer, 4);
}

TEST_F(SnmpEngineTest, ErrorsAnswerNoSuchNameWithTheRequestBindings) {
  struct Case {
    int command;
    std::vector<Oid> names;
    long index;
  } cases[] = {
      {SNMP_MSG_GET, {With(kRoot, {1, 4})}, 1},                         // not a leaf instance
      {SNMP_MSG_GET, {With(kRoot, {1, 4, 0}), With(kRoot, {9, 9})}, 2},  // second missing
      {SNMP_MSG_GET, {With(kRoot, {3, 1, 1, 2, 7})}, 1},                 // no such raid set
      {SNMP_MSG_GETNEXT, {With(kRoot, {6})}, 1},                         // past the end
      {SNMP_MSG_SET, {With(kRoot, {1, 4, 0})}, 1},                       // nothing is writable
  };
  for (const Case& c : cases) {
    SnmpAnswer a = Ask(2, BuildSnmpRequest(c.command, c.names, 42));
    ASSERT_TRUE(a.parsed);
    EXPECT_EQ(a.reqid, 42);
    EXPECT_EQ(a.errstat, SNMP_ERR_NOSUCHNAME);
    EXPECT_EQ(a.errindex, c.index);
    ASSERT_EQ(a.bindings.size(), c.names.size());
    for (size_t i = 0; i < c.names.size(); ++i) EXPECT_EQ(a.bindings[i].name, c.names[i]);
  }
}

TEST_F(SnmpEngineTest, AcceptsTheHostLibrarysOwnEncoding) {
  // GETNEXT 1.3.6.1.2.1.1.1.0, request id 1, the binding's value INTEGER 0.
  std::vector<uint8_t> req = {0x30, 0x27, 0x02, 0x01, 0x00, 0x04, 0x06, 'p', 'u', 'b', 'l', 'i', 'c',
                              0xA1, 0x1A, 0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00,
                              0x30, 0x0F, 0x30, 0x0D, 0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01,
                              0x01, 0x01, 0x00, 0x02, 0x01, 0x00};
  SnmpAnswer a = Ask(9, req);
  ASSERT_TRUE(a.parsed);
  EXPECT_EQ(a.reqid, 1);
  EXPECT_EQ(a.errstat, 0);
  ASSERT_EQ(a.bindings.size(), 1u);
  EXPECT_EQ(a.bindings[0].name, With(kRoot, {1, 1, 0})) << "the first object of the MIB";
  EXPECT_EQ(a.bindings[0].text, "KV-1680");
}

TEST_F(SnmpEngineTest, UndecodableRequestsAndWrongCommunitiesGetStatusLetters) {
  DriverHost host(*sim_->At(2));
  auto good = BuildSnmpRequest(SNMP_MSG_GET, {With(kRoot, {1, 1, 0})});
  auto truncated = std::vector<uint8_t>(good.begin(), good.end() - 3);
  EXPECT_EQ(host.Status(30, truncated), 'B');
  EXPECT_EQ(host.Status(30, {}), 'B');
  // SNMPv2c is not what the firmware speaks.
  auto v2 = good;
  v2[4] = 1;
  EXPECT_EQ(host.Status(30, v2), 'B');
  sim_->At(2)->WithState([](FirmwareState& s) { s.community = "private"; });
  EXPECT_EQ(host.Status(30, good), 'K');
  EXPECT_EQ(host.Status(30, BuildSnmpRequest(SNMP_MSG_GET, {With(kRoot, {1, 1, 0})}, 1, "private")), 0);
}

TEST_F(SnmpEngineTest, ManyBindingsStayBelowTheReplyLimit) {
  std::vector<Oid> names(16, With(kRoot, {1, 1, 0}));
  size_t size = 0;
  SnmpAnswer a = Ask(2, BuildSnmpRequest(SNMP_MSG_GET, names), &size);
  EXPECT_LT(size, 1024u);
  EXPECT_EQ(a.errstat, 0);
  names.resize(40, With(kRoot, {1, 4, 0}));
  a = Ask(2, BuildSnmpRequest(SNMP_MSG_GET, names), &size);
  EXPECT_LT(size, 1024u);
  EXPECT_EQ(a.errstat, SNMP_ERR_TOOBIG);
}

}  // namespace
}  // namespace kavsim::testing
