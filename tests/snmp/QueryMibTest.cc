// SnmpPassThrough and QueryMib (slots 19 and 20) over a scripted controller:
// the request sent, the answers taken and refused, and the bounds of the
// caller's and the library's areas.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "library/commands/CKavlib.h"
#include "library/snmp/MibResults.h"
#include "tests/snmp/SnmpAnswerBytes.h"
#include "tests/snmp/SnmpScriptedTransport.h"

namespace {

const std::vector<uint32_t> kSysDescr = {1, 3, 6, 1, 2, 1, 1, 1, 0};

std::vector<uint32_t> Ids(const std::string& text) {
  IntegerList list(512);
  SNMPObjectIdentifier(text.c_str()).GetComponents(list);
  std::vector<uint32_t> out;
  for (int32_t i = 0; i < list.GetCount(); ++i) out.push_back(static_cast<uint32_t>(list.Get(i)));
  return out;
}

// The outputs of one QueryMib call, preset to values no answer produces so
// that an untouched output shows.
struct Query {
  static constexpr uint32_t kUntouchedId = 0xEEEEEEEE;
  int status = -1;
  int count = 0;
  uint32_t result[kQueryMibMaxIds + 8];
  uint8_t type = 0xEE;
  int32_t sentinel = 0;
  void* value = &sentinel;
  int value_length = -7;

  Query() {
    for (auto& id : result) id = kUntouchedId;
  }
  std::vector<uint32_t> Result() const { return std::vector<uint32_t>(result, result + count); }
  bool Untouched(int count_in) const {
    return count == count_in && result[0] == kUntouchedId && type == 0xEE && value == &sentinel &&
           value_length == -7;
  }
};

Query RunQuery(CKavlib& library, const std::vector<uint32_t>& ids, const char* community = nullptr,
               uint8_t get = 1) {
  Query q;
  q.count = static_cast<int>(ids.size());
  q.status = library.QueryMib(ids.data(), &q.count, community, q.result, &q.type, &q.value,
                              &q.value_length, get);
  return q;
}

class SnmpQueryMibScripted : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(controller.attach_status, KAV_OK); }
  void AnswerWith(const Bytes& body) {
    controller.SetScript([body](const Bytes&) { return ScriptedController::Reply{body}; });
  }
  CKavlib& library() { return controller.library; }
  std::vector<Bytes> sent() const { return controller.SnmpRequests(); }

  ScriptedController controller;
};

TEST_F(SnmpQueryMibScripted, RequestBytes) {
  AnswerWith(Answer(Int(0)));
  RunQuery(library(), kSysDescr, nullptr, 1);
  RunQuery(library(), kSysDescr, "", 0);
  RunQuery(library(), kSysDescr, "my community", 1);
  ASSERT_EQ(sent().size(), 3u);
  const Bytes pdu_rest = Hex("1A 02 01 01 02 01 00 02 01 00 30 0F 30 0D 06 08 2B 06 01 02 01 01 01 00 02 01 00");
  EXPECT_EQ(ToHex(sent()[0]), ToHex(Concat(Concat(Hex("30 27 02 01 00 04 06"), Text("public")),
                                           Concat(Hex("A0"), pdu_rest))));
  EXPECT_EQ(ToHex(sent()[1]), ToHex(Concat(Hex("30 21 02 01 00 04 00 A1"), pdu_rest)));
  EXPECT_EQ(ToHex(sent()[2]), ToHex(Concat(Concat(Hex("30 2D 02 01 00 04 0C"), Text("my community")),
                                           Concat(Hex("A0"), pdu_rest))));
}

TEST_F(SnmpQueryMibScripted, ArgumentsAreCheckedBeforeAnythingIsSent) {
  AnswerWith(Answer(Int(0)));
  const uint32_t ids[] = {1, 3, 6};
  uint32_t result[kQueryMibMaxIds];
  uint8_t type;
  void* value;
  int length, count = 3, zero = 0, negative = -1;
  const struct { const char* name; const uint32_t* ids; int* count; uint32_t* result; uint8_t* type;
                 void** value; int* length; } cases[] = {
      {"ids", nullptr, &count, result, &type, &value, &length},
      {"count", ids, nullptr, result, &type, &value, &length},
      {"result", ids, &count, nullptr, &type, &value, &length},
      {"type", ids, &count, result, nullptr, &value, &length},
      {"value", ids, &count, result, &type, nullptr, &length},
      {"value length", ids, &count, result, &type, &value, nullptr},
      {"count 0", ids, &zero, result, &type, &value, &length},
      {"count -1", ids, &negative, result, &type, &value, &length},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(library().QueryMib(c.ids, c.count, nullptr, c.result, c.type, c.value, c.length, 1),
              KAV_INVALID_ARGUMENT) << c.name;
  }
  EXPECT_TRUE(sent().empty());
}

TEST_F(SnmpQueryMibScripted, OverlongOidTextAndCommunityAreRefused) {
  AnswerWith(Answer(Int(0)));
  // 63 characters of OID text fit the text area, 64 do not.
  std::vector<uint32_t> fits(31, 1);
  fits.push_back(10);  // 31 * "1." + "10" = 64 characters
  EXPECT_EQ(RunQuery(library(), fits).status, KAV_INVALID_ARGUMENT);
  fits.back() = 1;  // 63 characters
  EXPECT_EQ(RunQuery(library(), fits).status, KAV_OK);
  const std::vector<uint32_t> negative(6, 0x80000000u);  // "-2147483648." * 6 > 63
  EXPECT_EQ(RunQuery(library(), negative).status, KAV_INVALID_ARGUMENT);
  EXPECT_EQ(OidToText(negative.data(), nullptr), nullptr);

  const std::string longest(255, 'c');
  EXPECT_EQ(RunQuery(library(), kSysDescr, longest.c_str()).status, KAV_OK);
  EXPECT_EQ(RunQuery(library(), kSysDescr, (longest + "c").c_str()).status, KAV_INVALID_ARGUMENT);
  ASSERT_EQ(sent().size(), 2u);
  // The longest request is sent whole: community and binding both present.
  EXPECT_EQ(sent()[1].size(), 4u + 3u + 3u + 255u + 28u);
}

TEST(SnmpOidToText, FormatsSignedDecimal) {
  const uint32_t ids[] = {1, 3, 6, 1, 0x80000000u, 4294967295u};
  int count = 4;
  EXPECT_STREQ(OidToText(ids, &count), "1.3.6.1");
  count = 6;
  EXPECT_STREQ(OidToText(ids, &count), "1.3.6.1.-2147483648.-1");
  count = 1;
  EXPECT_STREQ(OidToText(ids, &count), "1");
  count = 0;
  EXPECT_EQ(OidToText(ids, &count), nullptr);
  EXPECT_EQ(SharedMibResults().oid_text[0], '\0');
}

struct AnswerCase {
  const char* name;
  Bytes body;
  int status;        // 0, or -1 for "refused with some nonzero status"
  uint8_t type;
  int value_length;  // -7: left as it was
  Bytes text;        // type 4: the bytes the value points to
  int32_t integer;   // type 2
  std::string oid = kAnswerOid;
};

AnswerCase Refused(const char* name, Bytes body, int status = -1) {
  return AnswerCase{name, std::move(body), status, 0, -7, {}, 0};
}

std::string Components(int n) {
  std::string text = "1.3";
  for (int i = 2; i < n; ++i) text += "." + std::to_string(i);
  return text;
}

TEST_F(SnmpQueryMibScripted, Answers) {
  AnswerShape twelve;
  twelve.name = "1.3.6.1.4.1.47319.1.1.3.1.7";
  AnswerShape id2, status2, sequence_pdu, widest, too_wide, counter_status;
  id2.request_id = 2;
  status2.error_status = 2;
  sequence_pdu.pdu_tag = 0x30;
  widest.name = Components(kQueryMibMaxIds);
  too_wide.name = Components(kQueryMibMaxIds + 1);
  const Bytes answer = Answer(El(0x04, Text("V1.51")));
  const Bytes bad_status_type = El(0x30, Concat(Concat(Int(0), El(0x04, Text("public"))),
      El(0xA2, Concat(Concat(Int(1), Int(0, 0x43)), Concat(Int(0), El(0x30, El(0x30, Concat(Oid(kAnswerOid), Int(5)))))))));
  const Bytes name_not_oid = El(0x30, Concat(Concat(Int(0), El(0x04, Text("public"))),
      El(0xA2, Concat(Concat(Int(1), Int(0)), Concat(Int(0), El(0x30, El(0x30, Concat(El(0x04, Text("x")), Int(5)))))))));
  const Bytes empty_list = El(0x30, Concat(Concat(Int(0), El(0x04, Text("public"))),
      El(0xA2, Concat(Concat(Int(1), Int(0)), Concat(Int(0), El(0x30, {}))))));

  const AnswerCase cases[] = {
      {"firmware version text", answer, 0, 4, 5, Text("V1.51"), 0},
      {"embedded zero byte", Answer(El(0x04, Hex("61 00 62"))), 0, 4, 1, Text("a"), 0},
      {"empty octet string", Answer(El(0x04, {})), 0, 4, 0, {}, 0},
      {"integer FF", Answer(El(0x02, Hex("FF"))), 0, 2, 4, {}, 255},
      {"integer -1", Answer(El(0x02, Hex("FF FF FF FF"))), 0, 2, 4, {}, -1},
      {"time ticks", Answer(Int(256, 0x43)), 0, 0x43, -7, {}, 0},
      {"unsigned32", Answer(Int(7, 0x47)), 0, 0x47, -7, {}, 0},
      {"counter32", Answer(Int(7, 0x41)), 0, 0x00, -7, {}, 0},
      {"null", Answer(El(0x05, {})), 0, 0x05, -7, {}, 0},
      {"ip address whole", Answer(El(0x40, Hex("0A 00 00 01"))), 0, 4, 4, Hex("0A 00 00 01"), 0},
      {"long text cut to the value area", Answer(El(0x04, Bytes(300, 'v'))), 0, 4, 255,
       Bytes(255, 'v'), 0},
      {"twelve components", Answer(Int(1), twelve), 0, 2, 4, {}, 1, twelve.name},
      {"widest name", Answer(Int(1), widest), 0, 2, 4, {}, 1, widest.name},
      {"pdu tag not examined", Answer(Int(3), sequence_pdu), 0, 2, 4, {}, 3},
      {"trailing bytes up to 1024", Concat(answer, Bytes(1024 - answer.size(), 0)), 0, 4, 5,
       Text("V1.51"), 0},
      Refused("name too wide", Answer(Int(1), too_wide), KAV_REPLY_TOO_LARGE),
      Refused("reply over 1024 bytes", Concat(answer, Bytes(1025 - answer.size(), 0)), KAV_REPLY_TOO_LARGE),
      Refused("reply of 2048 bytes", Concat(answer, Bytes(2048 - answer.size(), 0)), KAV_REPLY_TOO_LARGE),
      Refused("reply over 2048 bytes", Bytes(2049, 0), KAV_REPLY_TOO_LARGE),
      Refused("wrong request id", Answer(Int(1), id2)),
      Refused("error status noSuchName", Answer(Int(1), status2)),
      Refused("error status not an INTEGER", bad_status_type),
      Refused("name not an identifier", name_not_oid),
      Refused("no binding", empty_list),
      Refused("status letter A only", Text("A")),
      Refused("outer content over 512 bytes", Answer(El(0x04, Bytes(520, 'x')))),
      Refused("answer cut short", Bytes(answer.begin(), answer.end() - 3)),
      Refused("garbage", Hex("FF FF FF FF")),
  };
  for (const auto& c : cases) {
    AnswerWith(c.body);
    const Query q = RunQuery(library(), kSysDescr);
    if (c.status != 0) {
      if (c.status > 0) EXPECT_EQ(q.status, c.status) << c.name;
      EXPECT_NE(q.status, KAV_OK) << c.name;
      EXPECT_TRUE(q.Untouched(static_cast<int>(kSysDescr.size()))) << c.name;
      continue;
    }
    ASSERT_EQ(q.status, KAV_OK) << c.name;
    EXPECT_EQ(q.Result(), Ids(c.oid)) << c.name;
    EXPECT_EQ(q.result[q.count], Query::kUntouchedId) << c.name;
    EXPECT_EQ(q.type, c.type) << c.name;
    EXPECT_EQ(q.value_length, c.value_length) << c.name;
    if (c.type == 2) {
      ASSERT_EQ(q.value, &SharedMibResults().value_integer) << c.name;
      EXPECT_EQ(*static_cast<int32_t*>(q.value), c.integer) << c.name;
    } else if (c.type == 4) {
      ASSERT_EQ(q.value, SharedMibResults().value_text) << c.name;
      const auto* text = static_cast<const uint8_t*>(q.value);
      EXPECT_EQ(Bytes(text, text + q.value_length), c.text) << c.name;
      EXPECT_EQ(text[q.value_length], 0) << c.name;
    } else {
      EXPECT_EQ(q.value, &q.sentinel) << c.name;
    }
  }
}

TEST_F(SnmpQueryMibScripted, ExchangeFailuresArePassedOn) {
  const struct { int failure; int status; } cases[] = {
      {kTransportNoReply, KAV_REPLY_TIMEOUT},
      {kTransportNotWritten, KAV_WRITE_TIMEOUT},
      {kTransportReadFailed, KAV_READ_FAILED},
  };
  for (const auto& c : cases) {
    controller.SetScript([&c](const Bytes&) { return ScriptedController::Reply{{}, c.failure}; });
    const Query q = RunQuery(library(), kSysDescr);
    EXPECT_EQ(q.status, c.status);
    EXPECT_TRUE(q.Untouched(static_cast<int>(kSysDescr.size())));
  }
  AnswerWith(Text("C"));  // a status letter
  EXPECT_EQ(RunQuery(library(), kSysDescr).status, 'C');
}

TEST(SnmpQueryMibNoController, JbodAndUnattached) {
  ScriptedController jbod(true);
  ASSERT_TRUE(jbod.library.IsJbod());
  jbod.SetScript([](const Bytes&) { return ScriptedController::Reply{Answer(Int(1))}; });
  const Query q = RunQuery(jbod.library, kSysDescr);
  EXPECT_EQ(q.status, KAV_NOT_AVAILABLE);
  EXPECT_TRUE(q.Untouched(static_cast<int>(kSysDescr.size())));
  EXPECT_TRUE(jbod.SnmpRequests().empty());

  CKavlib unattached;
  EXPECT_EQ(RunQuery(unattached, kSysDescr).status, KAV_NO_TRANSPORT);
}

TEST_F(SnmpQueryMibScripted, SharedStorageShowsTheLatestAnswer) {
  AnswerWith(Answer(El(0x04, Text("first"))));
  const Query first = RunQuery(library(), kSysDescr);
  AnswerWith(Answer(El(0x04, Text("second"))));
  const Query second = RunQuery(library(), kSysDescr);
  ASSERT_EQ(first.status, KAV_OK);
  ASSERT_EQ(second.status, KAV_OK);
  EXPECT_EQ(first.value, second.value);
  EXPECT_STREQ(static_cast<const char*>(first.value), "second");
}

TEST_F(SnmpQueryMibScripted, PassThroughCopiesTheWholeReply) {
  const uint8_t request[] = {0x30, 0x00};
  int length = -1;
  uint8_t reply[2048];
  EXPECT_EQ(library().SnmpPassThrough(request, 0, reply, &length), KAV_INVALID_ARGUMENT);
  EXPECT_EQ(library().SnmpPassThrough(request, -1, reply, &length), KAV_INVALID_ARGUMENT);
  EXPECT_EQ(library().SnmpPassThrough(nullptr, 2, reply, &length), KAV_INVALID_ARGUMENT);
  EXPECT_EQ(library().SnmpPassThrough(request, 2, nullptr, &length), KAV_INVALID_ARGUMENT);
  EXPECT_EQ(library().SnmpPassThrough(request, 2, reply, nullptr), KAV_INVALID_ARGUMENT);
  EXPECT_TRUE(sent().empty());

  Bytes body(300);
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 7);
  AnswerWith(body);
  std::memset(reply, 0xEE, sizeof reply);
  ASSERT_EQ(library().SnmpPassThrough(request, 2, reply, &length), KAV_OK);
  EXPECT_EQ(length, 300);
  EXPECT_EQ(Bytes(reply, reply + 300), body);
  EXPECT_EQ(reply[300], 0xEE);
  ASSERT_EQ(sent().size(), 1u);
  EXPECT_EQ(sent()[0], Hex("30 00"));

  // A failed exchange leaves the caller's area and length alone.
  AnswerWith(Text("E"));
  length = -1;
  EXPECT_EQ(library().SnmpPassThrough(request, 2, reply, &length), 'E');
  EXPECT_EQ(length, -1);
  EXPECT_EQ(reply[0], body[0]);
}

}  // namespace
