// The SNMP utility and management functions.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/snmp.h"

namespace {

struct ParseCase {
  const char* text;
  bool ok;
  std::vector<UINT> ids;
};

TEST(SnmpUtilTest, StrToOidTakesCompleteAndMib2RelativeText) {
  const ParseCase cases[] = {
      {".1.3.6.1.4.1.47319.1.2.3", true, {1, 3, 6, 1, 4, 1, 47319, 1, 2, 3}},
      {"1.1.0", true, {1, 3, 6, 1, 2, 1, 1, 1, 0}},
      {".4294967295", true, {4294967295u}},
      {".4294967296", false, {}},
      {"", false, {}},
      {".", false, {}},
      {".1..3", false, {}},
      {".1.3.", false, {}},
      {".1.x", false, {}},
  };
  for (const ParseCase& c : cases) {
    AsnObjectIdentifier oid{99, nullptr};
    std::string text = c.text;
    EXPECT_EQ(SnmpMgrStrToOid(text.data(), &oid) != FALSE, c.ok) << c.text;
    ASSERT_EQ(oid.idLength, c.ids.size()) << c.text;
    for (size_t i = 0; i < c.ids.size(); ++i) EXPECT_EQ(oid.ids[i], c.ids[i]) << c.text;
    SnmpUtilOidFree(&oid);
    EXPECT_EQ(oid.ids, nullptr);
  }
}

TEST(SnmpUtilTest, DottedTextBelongsToTheLayerUntilTheNextCall) {
  UINT ids[] = {1, 3, 6, 1, 4294967295u};
  EXPECT_STREQ(SnmpUtilIdsToA(ids, 5), "1.3.6.1.4294967295");
  AsnObjectIdentifier oid{3, ids};
  EXPECT_STREQ(SnmpUtilOidToA(&oid), "1.3.6");
  EXPECT_STREQ(SnmpUtilIdsToA(nullptr, 0), "<null oid>");
}

TEST(SnmpUtilTest, CopiesAndFreesOwnTheirMemory) {
  UINT ids[] = {1, 3, 6};
  AsnObjectIdentifier constant{3, ids};
  auto* list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(2 * sizeof(SnmpVarBind)));
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(SnmpUtilOidCpy(&list[0].name, &constant));
  EXPECT_NE(list[0].name.ids, ids);
  EXPECT_EQ(list[0].name.ids[2], 6u);
  list[0].value.asnType = ASN_OCTETSTRING;
  list[0].value.asnValue.string.stream = static_cast<BYTE*>(SnmpUtilMemAlloc(5));
  list[0].value.asnValue.string.length = 5;
  list[0].value.asnValue.string.dynamic = TRUE;
  ASSERT_TRUE(SnmpUtilOidCpy(&list[1].name, &constant));
  list[1].value.asnType = ASN_OBJECTIDENTIFIER;
  ASSERT_TRUE(SnmpUtilOidCpy(&list[1].value.asnValue.object, &constant));
  SnmpVarBindList bindings{list, 2};
  SnmpUtilVarBindListFree(&bindings);  // LeakSanitizer checks that everything went
  EXPECT_EQ(bindings.list, nullptr);
  EXPECT_EQ(bindings.len, 0u);
  SnmpUtilMemFree(nullptr);
}

}  // namespace
