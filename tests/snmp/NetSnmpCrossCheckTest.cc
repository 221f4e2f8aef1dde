// Cross-check with an independent SNMP implementation (Net-SNMP): every
// request QueryMib sends must parse there, and answers that Net-SNMP builds
// must decode through our classes and QueryMib to the OID, type and value
// Net-SNMP put in.
#include <gtest/gtest.h>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstring>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "library/commands/CKavlib.h"
#include "library/snmp/BerElement.h"
#include "library/snmp/MibResults.h"
#include "library/snmp/SNMPInteger.h"
#include "library/snmp/SNMPNull.h"
#include "library/snmp/SNMPObjectIdentifier.h"
#include "library/snmp/SNMPOctetString.h"
#include "library/snmp/SNMPPDU.h"
#include "library/snmp/SNMPUnknownObject.h"
#include "tests/snmp/SnmpScriptedTransport.h"

namespace {

struct PduDeleter {
  void operator()(netsnmp_pdu* pdu) const { snmp_free_pdu(pdu); }
};
using NetSnmpPdu = std::unique_ptr<netsnmp_pdu, PduDeleter>;

// Net-SNMP's parser on one message, as an agent engine receives it.
NetSnmpPdu ParseWithNetSnmp(Bytes message, int* rc) {
  netsnmp_session session;
  std::memset(&session, 0, sizeof session);
  NetSnmpPdu pdu(static_cast<netsnmp_pdu*>(std::calloc(1, sizeof(netsnmp_pdu))));
  *rc = snmp_parse(nullptr, &session, pdu.get(), message.data(), message.size());
  return pdu;
}

// Net-SNMP's encoder on one SNMPv1 PDU.
Bytes BuildWithNetSnmp(netsnmp_pdu* pdu) {
  netsnmp_session session;
  snmp_sess_init(&session);
  session.version = SNMP_VERSION_1;
  size_t length = 2048, offset = 0;
  auto* packet = static_cast<u_char*>(std::malloc(length));
  const int rc = snmp_build(&packet, &length, &offset, &session, pdu);
  Bytes out;
  // The packet is built backwards, at the end of the buffer.
  if (rc == 0) out.assign(packet + length - offset, packet + length);
  std::free(packet);
  return out;
}

std::vector<uint32_t> ToIds(const oid* name, size_t length) {
  return std::vector<uint32_t>(name, name + length);
}

std::vector<uint32_t> ComponentsOf(const SNMPObjectIdentifier& identifier) {
  IntegerList list(512);
  identifier.GetComponents(list);
  std::vector<uint32_t> out;
  for (int32_t i = 0; i < list.GetCount(); ++i) out.push_back(static_cast<uint32_t>(list.Get(i)));
  return out;
}

class SnmpNetSnmpCrossCheck : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(controller.attach_status, KAV_OK); }
  ScriptedController controller;
};

TEST_F(SnmpNetSnmpCrossCheck, EveryRequestQueryMibSendsParses) {
  const std::vector<std::vector<uint32_t>> oids = {
      {1, 3, 6, 1, 2, 1, 1, 1, 0},
      {1, 3, 6, 1, 4, 1, 47319, 1, 1, 3, 1},
      {1, 3, 6, 1, 4, 1, 47319, 127, 128, 16383, 16384, 2097151, 268435455, 4294967295u},
      {1, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
      {0, 0},
      {1, 39, 0},
  };
  const std::vector<const char*> communities = {nullptr, "", "private", "x y\tz"};
  const std::string longest_setting(127, 's'), longest(255, 'c');
  std::vector<const char*> all_communities = communities;
  all_communities.push_back(longest_setting.c_str());
  all_communities.push_back(longest.c_str());

  controller.SetScript([](const Bytes&) { return ScriptedController::Reply{{'A'}}; });
  for (const auto& ids : oids) {
    for (const char* community : all_communities) {
      for (uint8_t get : {1, 0}) {
        int count = static_cast<int>(ids.size());
        uint32_t result[kQueryMibMaxIds];
        uint8_t type;
        void* value;
        int value_length;
        controller.library.QueryMib(ids.data(), &count, community, result, &type, &value,
                                    &value_length, get);
        ASSERT_FALSE(controller.SnmpRequests().empty());
        const Bytes request = controller.SnmpRequests().back();
        const std::string expected_community = community ? community : "public";
        SCOPED_TRACE(ToHex(request));

        int rc = -1;
        const NetSnmpPdu pdu = ParseWithNetSnmp(request, &rc);
        ASSERT_EQ(rc, 0);
        EXPECT_EQ(pdu->version, SNMP_VERSION_1);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(pdu->community), pdu->community_len),
                  expected_community);
        EXPECT_EQ(pdu->command, get ? SNMP_MSG_GET : SNMP_MSG_GETNEXT);
        EXPECT_EQ(pdu->reqid, 1);
        EXPECT_EQ(pdu->errstat, 0);
        EXPECT_EQ(pdu->errindex, 0);
        ASSERT_NE(pdu->variables, nullptr);
        EXPECT_EQ(pdu->variables->next_variable, nullptr);
        EXPECT_EQ(ToIds(pdu->variables->name, pdu->variables->name_length), ids);
        EXPECT_EQ(pdu->variables->type, ASN_INTEGER);
        EXPECT_EQ(*pdu->variables->val.integer, 0);
      }
    }
  }
  EXPECT_EQ(controller.SnmpRequests().size(), oids.size() * all_communities.size() * 2);
}

struct NetSnmpAnswer {
  const char* name;
  std::vector<oid> oid_name;
  u_char asn_type;
  Bytes value;  // raw value as Net-SNMP takes it (a long for integer types)
  const std::type_info* kind;
  uint8_t tag;
  Bytes content;      // our object's content (octet strings, unknown types)
  int32_t integer;    // our object's value (integer types)
  uint8_t query_type; // what QueryMib reports
  Bytes query_value;  // QueryMib's value bytes (type 4) or the 4 bytes of the integer (type 2)
};

Bytes Long(long v) { return Bytes(reinterpret_cast<const uint8_t*>(&v), reinterpret_cast<const uint8_t*>(&v) + sizeof v); }
Bytes Le32(int32_t v) { return Bytes(reinterpret_cast<const uint8_t*>(&v), reinterpret_cast<const uint8_t*>(&v) + 4); }
Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST_F(SnmpNetSnmpCrossCheck, AnswersBuiltByNetSnmpDecode) {
  const std::vector<oid> firmware = {1, 3, 6, 1, 4, 1, 47319, 1, 1, 2, 1, 0};
  const std::vector<oid> wide = {1, 3, 6, 1, 4, 1, 47319, 1, 1, 128, 16384, 4294967295ul};
  const NetSnmpAnswer cases[] = {
      {"octet string", firmware, ASN_OCTET_STR, Str("V1.51"), &typeid(SNMPOctetString), 0x04,
       Str("V1.51"), 0, 4, Str("V1.51")},
      {"embedded zero", firmware, ASN_OCTET_STR, Hex("61 00 62"), &typeid(SNMPOctetString), 0x04,
       Hex("61 00 62"), 0, 4, Str("a")},
      {"long octet string", wide, ASN_OCTET_STR, Bytes(200, 'L'), &typeid(SNMPOctetString), 0x04,
       Bytes(200, 'L'), 0, 4, Bytes(200, 'L')},
      {"integer 255 with sign byte", firmware, ASN_INTEGER, Long(255), &typeid(SNMPInteger), 0x02,
       {}, 255, 2, Le32(255)},
      {"integer 0", firmware, ASN_INTEGER, Long(0), &typeid(SNMPInteger), 0x02, {}, 0, 2, Le32(0)},
      {"integer max", wide, ASN_INTEGER, Long(2147483647), &typeid(SNMPInteger), 0x02, {},
       2147483647, 2, Le32(2147483647)},
      // The dialect reads integers without sign extension: -1 (FF) is 255.
      {"integer -1", firmware, ASN_INTEGER, Long(-1), &typeid(SNMPInteger), 0x02, {}, 255, 2,
       Le32(255)},
      {"time ticks", firmware, ASN_TIMETICKS, Long(123456), &typeid(SNMPTimeTicks), 0x43, {},
       123456, 0x43, {}},
      {"ip address", firmware, ASN_IPADDRESS, Hex("0A 00 00 01"), &typeid(SNMPIPAddress), 0x04,
       Hex("0A 00 00 01"), 0, 4, Hex("0A 00 00 01")},
      {"counter32", firmware, ASN_COUNTER, Long(300), &typeid(SNMPUnknownObject), 0x00,
       Hex("01 2C"), 0, 0x00, {}},
      {"gauge32", firmware, ASN_GAUGE, Long(4294967295l), &typeid(SNMPUnknownObject), 0x00,
       Hex("00 FF FF FF FF"), 0, 0x00, {}},
      {"null", wide, ASN_NULL, {}, &typeid(SNMPNull), 0x05, {}, 0, 0x05, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    netsnmp_pdu* built = snmp_pdu_create(SNMP_MSG_RESPONSE);
    built->version = SNMP_VERSION_1;
    built->reqid = 1;
    built->community = static_cast<u_char*>(std::malloc(6));
    std::memcpy(built->community, "public", 6);
    built->community_len = 6;
    snmp_pdu_add_variable(built, c.oid_name.data(), c.oid_name.size(), c.asn_type,
                          c.value.empty() ? nullptr : c.value.data(), c.value.size());
    const Bytes answer = BuildWithNetSnmp(built);
    snmp_free_pdu(built);
    ASSERT_FALSE(answer.empty());

    // Through our classes.
    ByteBuffer received(static_cast<int32_t>(answer.size()));
    Fill(received, answer);
    BerElement outer;
    ASSERT_TRUE(ReadElement(received, 0, outer));
    const SNMPMessage message(outer.content);
    ASSERT_EQ(message.GetCount(), 3);
    const auto* pdu = dynamic_cast<const SNMPPDU*>(message.GetPdu());
    ASSERT_NE(pdu, nullptr);
    EXPECT_EQ(pdu->GetTag(), 0xA2);
    EXPECT_EQ(pdu->GetRequestId(), 1);
    EXPECT_EQ(pdu->GetErrorStatus(), 0);
    ASSERT_NE(pdu->GetVarBindList(), nullptr);
    const SNMPSequence* binding = pdu->GetVarBindList()->SequenceAt(0);
    ASSERT_NE(binding, nullptr);
    const auto* name = dynamic_cast<const SNMPObjectIdentifier*>(binding->At(0));
    ASSERT_NE(name, nullptr);
    const std::vector<uint32_t> expected_ids(c.oid_name.begin(), c.oid_name.end());
    EXPECT_EQ(ComponentsOf(*name), expected_ids);
    const SNMPObject* value = binding->At(1);
    ASSERT_NE(value, nullptr);
    const SNMPObject& value_ref = *value;
    EXPECT_EQ(typeid(value_ref), *c.kind);
    EXPECT_EQ(value->GetTag(), c.tag);
    if (const auto* integer = dynamic_cast<const SNMPInteger*>(value)) {
      EXPECT_EQ(integer->GetValue(), c.integer);
    }
    ByteBuffer content(512);
    if (const auto* octets = dynamic_cast<const SNMPOctetString*>(value)) octets->GetContent(content);
    if (const auto* unknown = dynamic_cast<const SNMPUnknownObject*>(value)) unknown->GetContent(content);
    EXPECT_EQ(ToBytes(content), c.content);

    // Through QueryMib.
    controller.SetScript([answer](const Bytes&) { return ScriptedController::Reply{answer}; });
    const uint32_t ids[] = {1, 3, 6, 1, 4, 1, 47319, 1, 1};
    int count = 9;
    uint32_t result[kQueryMibMaxIds] = {};
    uint8_t type = 0xEE;
    void* out = nullptr;
    int out_length = -1;
    ASSERT_EQ(controller.library.QueryMib(ids, &count, nullptr, result, &type, &out, &out_length, 0),
              KAV_OK);
    EXPECT_EQ(std::vector<uint32_t>(result, result + count), expected_ids);
    EXPECT_EQ(type, c.query_type);
    if (c.query_type == 2 || c.query_type == 4) {
      ASSERT_NE(out, nullptr);
      const auto* bytes = static_cast<const uint8_t*>(out);
      EXPECT_EQ(Bytes(bytes, bytes + out_length), c.query_value);
    } else {
      EXPECT_EQ(out, nullptr);
      EXPECT_EQ(out_length, -1);
    }
  }
}

TEST_F(SnmpNetSnmpCrossCheck, ErrorAnswersAndTrapsBuiltByNetSnmp) {
  const oid name_oid[] = {1, 3, 6, 1, 4, 1, 47319, 1, 1, 9};
  const uint32_t name[] = {1, 3, 6, 1, 4, 1, 47319, 1, 1, 9};
  const struct { long reqid; long errstat; } errors[] = {{2, 0}, {1, SNMP_ERR_NOSUCHNAME}, {1, SNMP_ERR_GENERR}};
  for (const auto& e : errors) {
    netsnmp_pdu* built = snmp_pdu_create(SNMP_MSG_RESPONSE);
    built->version = SNMP_VERSION_1;
    built->reqid = e.reqid;
    built->errstat = e.errstat;
    built->errindex = e.errstat ? 1 : 0;
    built->community = static_cast<u_char*>(std::malloc(6));
    std::memcpy(built->community, "public", 6);
    built->community_len = 6;
    snmp_pdu_add_variable(built, name_oid, 10, ASN_NULL, nullptr, 0);
    const Bytes answer = BuildWithNetSnmp(built);
    snmp_free_pdu(built);
    controller.SetScript([answer](const Bytes&) { return ScriptedController::Reply{answer}; });
    int count = 10;
    uint32_t result[kQueryMibMaxIds];
    uint8_t type = 0xEE;
    void* out = nullptr;
    int out_length = -1;
    const size_t sent_before = controller.SnmpRequests().size();
    EXPECT_NE(controller.library.QueryMib(name, &count, nullptr,
                                          result, &type, &out, &out_length, 1), KAV_OK);
    EXPECT_EQ(controller.SnmpRequests().size(), sent_before + 1);
    EXPECT_EQ(count, 10);
    EXPECT_EQ(type, 0xEE);
  }

  // A version-1 trap decodes into a trap PDU with its six fields.
  netsnmp_pdu* trap = snmp_pdu_create(SNMP_MSG_TRAP);
  trap->version = SNMP_VERSION_1;
  trap->community = static_cast<u_char*>(std::malloc(6));
  std::memcpy(trap->community, "public", 6);
  trap->community_len = 6;
  const oid enterprise[] = {1, 3, 6, 1, 4, 1, 47319, 1, 1};
  trap->enterprise = static_cast<oid*>(std::malloc(sizeof enterprise));
  std::memcpy(trap->enterprise, enterprise, sizeof enterprise);
  trap->enterprise_length = 9;
  const uint8_t address[4] = {127, 0, 0, 1};
  std::memcpy(trap->agent_addr, address, 4);
  trap->trap_type = SNMP_TRAP_ENTERPRISESPECIFIC;
  trap->specific_type = 258;
  trap->time = 4242;
  const oid sys_descr[] = {1, 3, 6, 1, 2, 1, 1, 1, 0};
  snmp_pdu_add_variable(trap, sys_descr, 9, ASN_OCTET_STR, "Controller#1 event", 18);
  const Bytes bytes = BuildWithNetSnmp(trap);
  snmp_free_pdu(trap);
  ByteBuffer received(static_cast<int32_t>(bytes.size()));
  Fill(received, bytes);
  BerElement outer;
  ASSERT_TRUE(ReadElement(received, 0, outer));
  const SNMPMessage message(outer.content);
  const SNMPSequence* pdu = message.GetPdu();
  ASSERT_NE(pdu, nullptr);
  EXPECT_NE(dynamic_cast<const SNMPTrapPDU*>(pdu), nullptr);
  ASSERT_EQ(pdu->GetCount(), 6);
  EXPECT_EQ(ComponentsOf(*dynamic_cast<const SNMPObjectIdentifier*>(pdu->At(0))),
            std::vector<uint32_t>(enterprise, enterprise + 9));
  EXPECT_EQ(pdu->At(1)->GetTag(), 0x04);  // IpAddress, kept under the OCTET STRING identifier
  EXPECT_EQ(pdu->IntegerAt(2)->GetValue(), 6);
  EXPECT_EQ(pdu->IntegerAt(3)->GetValue(), 258);
  EXPECT_EQ(pdu->IntegerAt(4)->GetTag(), 0x43);
  EXPECT_EQ(pdu->IntegerAt(4)->GetValue(), 4242);
  EXPECT_EQ(pdu->SequenceAt(5)->GetCount(), 1);
}

}  // namespace
