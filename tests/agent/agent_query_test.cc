// The query relay of the loaded agent: routing by controller number, walking
// across controllers, error status and index, and the settings' community.
#include <algorithm>

#include "tests/agent/agent_host.h"

namespace {

Oid Object(UINT controller, std::initializer_list<UINT> tail) {
  Oid oid = Enterprise({1, controller});
  oid.insert(oid.end(), tail.begin(), tail.end());
  return oid;
}
// Scalars of the engine's controller group: 1 model, 2 serial, 7 kind.
Oid Serial(UINT controller) { return Object(controller, {1, 2, 0}); }
Oid Kind(UINT controller) { return Object(controller, {1, 7, 0}); }
Oid FirstObject(UINT controller) { return Object(controller, {1, 1, 0}); }

class AgentQuery : public AgentHost {
 protected:
  void StartTwo(const std::string& extra2 = "", const std::string& extra9 = "") {
    std::string more2 = extra2.empty() ? "" : ", " + extra2;
    std::string more9 = extra9.empty() ? "" : ", " + extra9;
    StartSimulator(ScenarioJson({
        ControllerJson(2, "\"serial\": \"SER-TWO\", \"kind\": 1" + more2),
        ControllerJson(9, "\"serial\": \"SER-NINE\", \"kind\": 3" + more9),
    }));
    Load();
    ASSERT_TRUE(Init());
  }
};

TEST_F(AgentQuery, GetAndGetNextRewriteTheControllerNumber) {
  StartTwo();
  Var serial = Get(Serial(2));
  EXPECT_EQ(serial.name, Serial(2));
  EXPECT_EQ(serial.type, ASN_OCTETSTRING);
  EXPECT_EQ(serial.text, "SER-NINE");
  Var kind = Get(Kind(2));
  EXPECT_EQ(kind.type, ASN_INTEGER);
  EXPECT_EQ(kind.number, 3);
  EXPECT_EQ(Get(Kind(1)).number, 1);
  // The engine was asked as controller 1; the answer comes back as 2.
  EXPECT_GE(CountTrace("Call MibFunc: 1.3.6.1.4.1.47319.1.1.1.7.0"), 1);
  Var next = GetNext(Object(2, {1, 1, 0}));
  EXPECT_EQ(next.name, Serial(2));
  EXPECT_EQ(next.text, "SER-NINE");
  // Any request type but GET is relayed as GETNEXT.
  Reply set = Query(SNMP_PDU_SET, {Object(2, {1, 1, 0})});
  EXPECT_EQ(set.vars[0].name, Serial(2));
  EXPECT_EQ(set.error_status, 0);
}

// Names the relay cannot route to a controller never touch anything outside
// the name or the table: GET leaves them as they came (no such object); GETNEXT
// starts at the first controller's first object when the name sorts before it.
TEST_F(AgentQuery, NamesOutsideTheControllersSubtrees) {
  StartTwo();
  struct Case {
    BYTE type;
    Oid name;
    Oid answer;  // empty: the binding stays as it came
  } cases[] = {
      {SNMP_PDU_GET, Enterprise({}), {}},
      {SNMP_PDU_GET, Enterprise({1}), {}},
      {SNMP_PDU_GET, Object(0, {1, 2, 0}), {}},
      {SNMP_PDU_GET, Object(3, {1, 2, 0}), {}},
      {SNMP_PDU_GET, Object(0xFFFFFFFFu, {1, 2, 0}), {}},
      {SNMP_PDU_GET, Enterprise({2, 2, 1, 2, 0}), {}},
      {SNMP_PDU_GET, {1, 3, 6}, {}},
      {SNMP_PDU_GET, {}, {}},
      {SNMP_PDU_GETNEXT, Enterprise({}), FirstObject(1)},
      {SNMP_PDU_GETNEXT, Enterprise({1}), FirstObject(1)},
      {SNMP_PDU_GETNEXT, Enterprise({0, 5, 5}), FirstObject(1)},
      {SNMP_PDU_GETNEXT, Object(0, {9, 9}), FirstObject(1)},
      {SNMP_PDU_GETNEXT, {1, 3, 6, 1, 2, 1}, FirstObject(1)},
      {SNMP_PDU_GETNEXT, Object(1, {99}), FirstObject(2)},
      {SNMP_PDU_GETNEXT, Object(2, {99}), {}},
      {SNMP_PDU_GETNEXT, Object(3, {}), {}},
      {SNMP_PDU_GETNEXT, Object(0xFFFFFFFFu, {}), {}},
      {SNMP_PDU_GETNEXT, Enterprise({2}), {}},
      {SNMP_PDU_GETNEXT, {1, 3, 6, 1, 6}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.type == SNMP_PDU_GET ? "GET " : "GETNEXT ") + Dotted(c.name));
    Reply r = Query(c.type, {c.name});
    EXPECT_EQ(r.result, TRUE);
    EXPECT_EQ(r.error_status, 0);
    EXPECT_EQ(r.error_index, -7);
    if (c.answer.empty()) {
      EXPECT_EQ(r.vars[0].name, c.name);
      EXPECT_EQ(r.vars[0].type, ASN_NULL);
    } else {
      EXPECT_EQ(r.vars[0].name, c.answer);
      EXPECT_EQ(r.vars[0].type, ASN_OCTETSTRING);
    }
  }
}

TEST_F(AgentQuery, WalkVisitsEveryControllerInOrder) {
  StartTwo();
  std::vector<Var> walk = Walk(Enterprise({}));
  ASSERT_FALSE(walk.empty());
  size_t first_of_second = 0;
  for (size_t i = 0; i < walk.size(); ++i) {
    SCOPED_TRACE(Dotted(walk[i].name));
    ASSERT_GE(walk[i].name.size(), 10u);
    EXPECT_TRUE(std::equal(walk[i].name.begin(), walk[i].name.begin() + 8,
                           Enterprise({1}).begin()));
    EXPECT_TRUE(walk[i].type == ASN_INTEGER || walk[i].type == ASN_OCTETSTRING);
    if (i > 0) EXPECT_TRUE(walk[i - 1].name < walk[i].name);
    if (walk[i].name[8] == 2 && first_of_second == 0) first_of_second = i;
  }
  ASSERT_GT(first_of_second, 0u);
  EXPECT_EQ(walk.size(), 2 * first_of_second);  // both controllers serve the same objects
  EXPECT_EQ(walk.back().name[8], 2u);
  auto serials = std::count_if(walk.begin(), walk.end(), [](const Var& v) {
    return v.text == "SER-TWO" || v.text == "SER-NINE";
  });
  EXPECT_EQ(serials, 2);
}

TEST_F(AgentQuery, DeadControllerDoesNotHideTheOthers) {
  StartTwo();
  size_t full = Walk(Enterprise({})).size();
  ASSERT_TRUE(At(2)->SetFault("bad-checksum", true));
  std::vector<Var> walk = Walk(Enterprise({}));
  ASSERT_EQ(walk.size(), full / 2);
  for (const Var& v : walk) EXPECT_EQ(v.name.at(8), 2u);
  EXPECT_GE(CountTrace("Failed to KavSnmp, state = 0x2"), 1);
  // A GET of the dead controller's object fails quietly.
  Reply r = Query(SNMP_PDU_GET, {Serial(1)});
  EXPECT_EQ(r.error_status, 0);
  EXPECT_EQ(r.vars[0].name, Serial(1));
  EXPECT_EQ(r.vars[0].type, ASN_NULL);
}

// The serial's bytes cannot be had: genErr, the error index names the binding,
// and the bindings after it stay as they came.
TEST_F(AgentQuery, FailedValueAllocationIsGenErrAtItsIndex) {
  const std::string serial = "GENERR-SERIAL";  // 13 bytes: no name is that long
  StartTwo("", "\"serial\": \"" + serial + "\"");
  FailAllocationsOfSize(static_cast<UINT>(serial.size()));
  Reply r = Query(SNMP_PDU_GET, {Kind(1), Serial(2), Kind(2)});
  FailAllocationsOfSize(0);
  EXPECT_EQ(r.error_status, SNMP_ERRORSTATUS_GENERR);
  EXPECT_EQ(r.error_index, 2);
  EXPECT_EQ(r.vars[0].number, 1);
  EXPECT_EQ(r.vars[1].name, Serial(2));
  EXPECT_EQ(r.vars[1].type, ASN_OCTETSTRING);
  EXPECT_EQ(r.vars[1].text, "");
  EXPECT_EQ(r.vars[2].type, ASN_NULL);
  EXPECT_EQ(r.vars[2].name, Kind(2));
  EXPECT_EQ(CountTrace("ErrStat = 0x5"), 1);

  Reply ok = Query(SNMP_PDU_GET, {Kind(1), Serial(2)});
  EXPECT_EQ(ok.error_status, 0);
  EXPECT_EQ(ok.error_index, -7);
  EXPECT_EQ(ok.vars[1].text, serial);
  Reply empty = Query(SNMP_PDU_GET, {});
  EXPECT_EQ(empty.error_status, -7);
  EXPECT_EQ(empty.error_index, -7);
}

// The community is re-read for every query: a change applies to the next one.
TEST_F(AgentQuery, CommunityChangeAppliesToTheNextQuery) {
  StartTwo("\"community\": \"secret\"", "\"community\": \"secret\"");
  Var refused = Get(Serial(1));
  EXPECT_EQ(refused.type, ASN_NULL);
  EXPECT_GE(CountTrace("Community = [public]"), 1);
  WriteSettings(0, "secret");
  Var answered = Get(Serial(1));
  EXPECT_EQ(answered.text, "SER-TWO");
  EXPECT_GE(CountTrace("Community = [secret]"), 1);
}

}  // namespace
