// The query relay over scripted controllers, for the answers the simulator
// never gives: value types the relay cannot carry, answers that do not move a
// GETNEXT on, and answer names at and beyond the relay's room.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/snmp.h"
#include "tests/support/ScriptedTransport.h"
#include "win32/KavSnmpAgent/AgentState.h"
#include "win32/KavSnmpAgent/KavSnmpAgent.h"

namespace {

using kavtest::Bytes;
using kavtest::ScriptedReply;
using Oid = std::vector<UINT>;

Bytes Tlv(uint8_t tag, const Bytes& content) {
  Bytes out = {tag};
  size_t n = content.size();
  if (n < 128) {
    out.push_back(static_cast<uint8_t>(n));
  } else {
    out.push_back(0x82);
    out.push_back(static_cast<uint8_t>(n >> 8));
    out.push_back(static_cast<uint8_t>(n));
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Integer(uint8_t v) { return {0x02, 0x01, v}; }

Bytes OidBer(const Oid& oid) {
  Bytes content = {static_cast<uint8_t>(oid[0] * 40 + oid[1])};
  for (size_t i = 2; i < oid.size(); ++i) {
    Bytes part;
    UINT v = oid[i];
    part.insert(part.begin(), static_cast<uint8_t>(v & 0x7F));
    while ((v >>= 7) != 0) part.insert(part.begin(), static_cast<uint8_t>(0x80 | (v & 0x7F)));
    content = content + part;
  }
  return Tlv(0x06, content);
}

// The engine's GetResponse (request id 1, no error) with one binding.
Bytes Response(const Oid& name, const Bytes& value) {
  Bytes list = Tlv(0x30, Tlv(0x30, OidBer(name) + value));
  Bytes pdu = Tlv(0xA2, Integer(1) + Integer(0) + Integer(0) + list);
  return Tlv(0x30, Integer(0) + Tlv(0x04, {'p', 'u', 'b'}) + pdu);
}

Oid Engine(std::initializer_list<UINT> tail) {
  Oid oid = {1, 3, 6, 1, 4, 1, 47319, 1, 1};
  oid.insert(oid.end(), tail.begin(), tail.end());
  return oid;
}
Oid AsController(Oid oid, UINT number) {
  oid[8] = number;
  return oid;
}

// What each scripted controller's engine answers next; an empty queue gives
// noSuchName, as at the end of the engine's objects.
std::deque<Bytes> g_Answers[2];

void AttachScriptedControllers() {
  static bool attached = false;
  if (attached) return;
  attached = true;
  for (int i = 0; i < 2; ++i) {
    int status = -1;
    kavtest::ScriptedTransport* transport =
        kavtest::AttachScripted(g_Controllers[i], kavtest::SystemInfo(1), "Kavor RAID Subsystem",
                                &status);
    ASSERT_EQ(status, 0);
    transport->SetResponder([i](const kavtest::SentExchange& sent) {
      if (sent.code() != 30) return ScriptedReply::Status('A');
      if (g_Answers[i].empty()) {
        Bytes pdu = Tlv(0xA2, Integer(1) + Integer(2) + Integer(1) + Tlv(0x30, {}));
        return ScriptedReply::Frame(Tlv(0x30, Integer(0) + Tlv(0x04, {'p'}) + pdu));
      }
      Bytes answer = g_Answers[i].front();
      g_Answers[i].pop_front();
      return ScriptedReply::Frame(answer);
    });
    g_ControllerAttached[i] = true;
  }
  g_nControllerCount = 2;
}

struct Result {
  Oid name;
  BYTE type;
  int32_t number;
  AsnInteger32 status = -7;
};

Result Ask(BYTE type, const Oid& name) {
  SnmpVarBind binding = {};
  AsnObjectIdentifier source = {static_cast<UINT>(name.size()), const_cast<UINT*>(name.data())};
  SnmpUtilOidCpy(&binding.name, &source);
  binding.value.asnType = ASN_NULL;
  RFC1157VarBindList list = {&binding, 1};
  Result r;
  AsnInteger32 index = -7;
  SnmpExtensionQuery(type, &list, &r.status, &index);
  r.name.assign(binding.name.ids, binding.name.ids + binding.name.idLength);
  r.type = binding.value.asnType;
  r.number = binding.value.asnValue.number;
  SnmpUtilVarBindFree(&binding);
  return r;
}

struct AnswerCase {
  const char* what;
  BYTE type;
  Oid request;
  std::vector<Bytes> first, second;  // what controllers 1 and 2 answer
  Oid expected_name;                 // the request itself: left as it came
  BYTE expected_type;
  int32_t expected_number;
};

Oid LongName(size_t length) {
  Oid oid = Engine({});
  while (oid.size() < length) oid.push_back(static_cast<UINT>(oid.size()));
  return oid;
}

TEST(RelayAnswers, TypesOrderAndLength) {
  AttachScriptedControllers();
  const Bytes ticks = Tlv(0x43, {0x01, 0x00});
  const AnswerCase cases[] = {
      {"GET of a value the relay cannot carry is no such object", SNMP_PDU_GET,
       AsController(Engine({1, 5, 0}), 2), {}, {Response(Engine({1, 5, 0}), ticks)},
       AsController(Engine({1, 5, 0}), 2), ASN_NULL, 0},
      {"GETNEXT passes over such a value to the next object", SNMP_PDU_GETNEXT,
       AsController(Engine({1, 4, 0}), 2), {},
       {Response(Engine({1, 5, 0}), ticks), Response(Engine({1, 6, 0}), Integer(7))},
       AsController(Engine({1, 6, 0}), 2), ASN_INTEGER, 7},
      {"GETNEXT answered with no later name moves on to the next controller", SNMP_PDU_GETNEXT,
       AsController(Engine({1, 4, 0}), 1), {Response(Engine({1, 4, 0}), Integer(3))},
       {Response(Engine({1, 1, 0}), Integer(9))}, AsController(Engine({1, 1, 0}), 2), ASN_INTEGER,
       9},
      {"GETNEXT answered outside the engine's objects on the last controller ends", SNMP_PDU_GETNEXT,
       AsController(Engine({9}), 2), {}, {Response({1, 3, 6, 1, 4, 1, 47319, 2, 1}, Integer(1))},
       AsController(Engine({9}), 2), ASN_NULL, 0},
      {"an answer name of 128 sub-identifiers fits", SNMP_PDU_GETNEXT,
       AsController(Engine({1, 5, 0}), 2), {}, {Response(LongName(128), Integer(5))},
       AsController(LongName(128), 2), ASN_INTEGER, 5},
      {"a longer one is a failed query", SNMP_PDU_GETNEXT, AsController(Engine({1, 5, 0}), 2),
       {}, {Response(LongName(129), Integer(5))}, AsController(Engine({1, 5, 0}), 2), ASN_NULL,
       0},
  };
  for (const AnswerCase& c : cases) {
    SCOPED_TRACE(c.what);
    g_Answers[0].assign(c.first.begin(), c.first.end());
    g_Answers[1].assign(c.second.begin(), c.second.end());
    Result r = Ask(c.type, c.request);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.name, c.expected_name);
    EXPECT_EQ(r.type, c.expected_type);
    if (c.expected_type == ASN_INTEGER) EXPECT_EQ(r.number, c.expected_number);
    EXPECT_TRUE(g_Answers[0].empty() && g_Answers[1].empty());
  }
}

}  // namespace
