// The SNMP containers: encodings of bindings, PDUs and messages, decoding
// through CreateObject, and the decoder's behaviour on malformed content.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>

#include "library/snmp/BerElement.h"
#include "library/snmp/CreateObject.h"
#include "library/snmp/SNMPInteger.h"
#include "library/snmp/SNMPNull.h"
#include "library/snmp/SNMPObjectIdentifier.h"
#include "library/snmp/SNMPOctetString.h"
#include "library/snmp/SNMPPDU.h"
#include "library/snmp/SNMPUnknownObject.h"
#include "tests/snmp/SnmpTestBytes.h"

namespace {

const char* kBinding = "30 0D 06 08 2B 06 01 02 01 01 01 00 02 01 00";

std::unique_ptr<SNMPSequence> BindingList() {
  auto list = std::make_unique<SNMPSequence>();
  list->Add(std::make_unique<SNMPVariablePair>(
      std::make_unique<SNMPObjectIdentifier>("1.3.6.1.2.1.1.1.0"),
      std::make_unique<SNMPInteger>(0)));
  return list;
}

std::unique_ptr<SNMPObject> DecodeOne(const Bytes& bytes) {
  ByteBuffer source(static_cast<int32_t>(bytes.size()));
  Fill(source, bytes);
  BerElement element;
  EXPECT_TRUE(ReadElement(source, 0, element));
  return CreateObject(element);
}

// The dynamic class of a decoded object (null has none).
const std::type_info& KindOf(const SNMPObject* object) {
  if (object == nullptr) return typeid(nullptr);
  const SNMPObject& ref = *object;
  return typeid(ref);
}

SNMPSequence DecodeContent(const Bytes& content) {
  ByteBuffer buffer(static_cast<int32_t>(content.size()));
  Fill(buffer, content);
  return SNMPSequence(buffer);
}

TEST(SnmpContainers, EncodingsFromValues) {
  SNMPVariablePair binding(std::make_unique<SNMPObjectIdentifier>("1.3.6.1.2.1.1.1.0"),
                           std::make_unique<SNMPInteger>(0));
  EXPECT_EQ(ToHex(EncodeToBytes(binding)), ToHex(Hex(kBinding)));

  auto list = BindingList();
  EXPECT_EQ(EncodeToBytes(*list), Concat(Hex("30 0F"), Hex(kBinding)));

  SNMPPDU pdu(0xA0, 1, 0, 0, BindingList());
  EXPECT_EQ(ToHex(EncodeToBytes(pdu)),
            ToHex(Concat(Hex("A0 1A 02 01 01 02 01 00 02 01 00 30 0F"), Hex(kBinding))));
  EXPECT_EQ(pdu.GetEncodedCount(), 4);
  EXPECT_EQ(EncodeToBytes(SNMPSequence()), Hex("30 00"));

  SNMPMessage message(0, "public", std::make_unique<SNMPPDU>(0xA1, 1, 0, 0, BindingList()));
  EXPECT_EQ(ToHex(EncodeToBytes(message)),
            ToHex(Concat(Hex("30 27 02 01 00 04 06 70 75 62 6C 69 63"),
                         Concat(Hex("A1 1A 02 01 01 02 01 00 02 01 00 30 0F"), Hex(kBinding)))));
}

TEST(SnmpContainers, AnElementThatDoesNotFitIsLeftOutAndLaterOnesAreTried) {
  SNMPSequence sequence;
  sequence.Add(std::make_unique<SNMPOctetString>(std::string(500, 'a').c_str()));  // 504 bytes
  sequence.Add(std::make_unique<SNMPOctetString>(std::string(10, 'b').c_str()));   // 12: no room
  sequence.Add(std::make_unique<SNMPInteger>(1));                                  // 3: fits
  sequence.Add(nullptr);                                                           // nothing
  const Bytes encoded = EncodeToBytes(sequence, 1024);
  ASSERT_EQ(encoded.size(), 4u + 507u);
  EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + 4), Hex("30 82 01 FB"));
  EXPECT_EQ(Bytes(encoded.end() - 3, encoded.end()), Hex("02 01 01"));
  EXPECT_EQ(sequence.GetEncodedCount(), 4);
  EXPECT_EQ(sequence.At(3), nullptr);

  // The whole sequence (511 bytes) does not fit a 510-byte target: it is left out whole.
  EXPECT_TRUE(EncodeToBytes(sequence, 510).empty());
}

struct DecodeCase {
  const char* name;
  const char* bytes;
  const std::type_info* kind;
  uint8_t tag;
  const char* encoding;  // re-encoding of the decoded object
};

TEST(SnmpContainers, CreateObjectChoosesTheClassByTag) {
  const DecodeCase cases[] = {
      {"integer", "02 01 FF", &typeid(SNMPInteger), 0x02, "02 01 FF"},
      {"octet string", "04 02 61 62", &typeid(SNMPOctetString), 0x04, "04 02 61 62"},
      {"null", "05 00", &typeid(SNMPNull), 0x05, "05 00"},
      {"null content ignored", "05 01 07", &typeid(SNMPNull), 0x05, "05 00"},
      {"object identifier", "06 03 2B 06 01", &typeid(SNMPObjectIdentifier), 0x06,
       "06 03 2B 06 01"},
      {"empty sequence", "30 00", &typeid(SNMPSequence), 0x30, "30 00"},
      {"ip address", "40 04 C0 A8 01 02", &typeid(SNMPIPAddress), 0x04, "04 04 C0 A8 01 02"},
      {"ip address of 5 bytes", "40 05 C0 A8 01 02 03", &typeid(SNMPIPAddress), 0x04, "04 00"},
      {"counter", "41 01 01", &typeid(SNMPUnknownObject), 0x00, "00 01 01"},
      {"gauge", "42 02 01 02", &typeid(SNMPUnknownObject), 0x00, "00 02 01 02"},
      {"time ticks", "43 02 01 00", &typeid(SNMPTimeTicks), 0x43, "43 02 01 00"},
      {"opaque", "44 02 01 02", &typeid(SNMPNull), 0x05, "05 00"},
      {"unsigned32", "47 01 80", &typeid(SNMPUInteger32), 0x47, "47 01 80"},
      {"get request", "A0 03 02 01 01", &typeid(SNMPPDU), 0xA0, "A0 03 02 01 01"},
      {"get response", "A2 00", &typeid(SNMPPDU), 0xA2, "A2 00"},
      {"set request", "A3 00", &typeid(SNMPPDU), 0xA3, "A3 00"},
      {"trap", "A4 02 05 00", &typeid(SNMPTrapPDU), 0xA4, "A4 02 05 00"},
      {"bulk request", "A5 00", &typeid(SNMPUnknownObject), 0x00, "00 00"},
  };
  for (const auto& c : cases) {
    const auto object = DecodeOne(Hex(c.bytes));
    ASSERT_NE(object, nullptr) << c.name;
    EXPECT_EQ(KindOf(object.get()), *c.kind) << c.name;
    EXPECT_EQ(object->GetTag(), c.tag) << c.name;
    EXPECT_EQ(ToHex(EncodeToBytes(*object)), ToHex(Hex(c.encoding))) << c.name;
  }
}

TEST(SnmpContainers, DecodeElementsReadsContentElementByElement) {
  const auto three = DecodeContent(Hex("02 01 05 04 00 05 00"));
  ASSERT_EQ(three.GetCount(), 3);
  ASSERT_NE(three.IntegerAt(0), nullptr);
  EXPECT_EQ(three.IntegerAt(0)->GetValue(), 5);
  EXPECT_EQ(KindOf(three.At(1)), typeid(SNMPOctetString));
  EXPECT_EQ(KindOf(three.At(2)), typeid(SNMPNull));

  const auto one = DecodeContent(Hex("30 00"));
  ASSERT_EQ(one.GetCount(), 1);
  ASSERT_NE(one.SequenceAt(0), nullptr);
  EXPECT_EQ(one.SequenceAt(0)->GetCount(), 0);

  // Nested content is decoded level by level into plain sequences.
  const auto nested = DecodeContent(Hex("30 07 30 03 02 01 07 05 00"));
  ASSERT_NE(nested.SequenceAt(0), nullptr);
  EXPECT_EQ(KindOf(nested.At(0)), typeid(SNMPSequence));
  ASSERT_NE(nested.SequenceAt(0)->SequenceAt(0), nullptr);
  EXPECT_EQ(nested.SequenceAt(0)->SequenceAt(0)->IntegerAt(0)->GetValue(), 7);
}

TEST(SnmpContainers, DecodingStopsAtTheFirstElementNotInsideTheContent) {
  const struct { const char* name; const char* content; int32_t elements; } cases[] = {
      {"past the end", "02 01 05 04 05 61", 1},
      {"huge long form", "02 01 05 04 84 FF FF FF FF 00", 1},
      {"five length bytes", "05 00 04 85 00 00 00 00 00", 1},
      {"tag alone at the end", "05 00 05", 1},
      {"indefinite forms still move on", "30 80 30 80 02 01 01", 3},
      {"nothing", "", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeContent(Hex(c.content)).GetCount(), c.elements) << c.name;
  }
}

TEST(SnmpContainers, ContentOver512BytesDecodesEmpty) {
  // A message whose outer content exceeds 512 bytes has no elements.
  const Bytes big = Concat(Hex("30 82 02 0A 04 82 02 06"), Bytes(518, 'x'));
  ByteBuffer received(1024);
  Fill(received, big);
  BerElement outer;
  ASSERT_TRUE(ReadElement(received, 0, outer));
  EXPECT_EQ(outer.size, 526);
  EXPECT_EQ(SNMPMessage(outer.content).GetCount(), 0);
}

TEST(SnmpContainers, AccessorsOnMissingOrOtherElementsGiveNull) {
  const auto short_message = DecodeContent(Hex("02 01 00 04 00"));
  SNMPMessage two(ByteBuffer(0));
  EXPECT_EQ(two.GetPdu(), nullptr);
  EXPECT_EQ(short_message.At(-1), nullptr);
  EXPECT_EQ(short_message.At(2), nullptr);
  EXPECT_EQ(short_message.IntegerAt(1), nullptr);   // an octet string
  EXPECT_EQ(short_message.SequenceAt(0), nullptr);  // an integer

  ByteBuffer pdu_content(64);
  Fill(pdu_content, Hex("04 00 02 01 02"));
  SNMPPDU pdu(pdu_content, 0xA2);
  EXPECT_EQ(pdu.GetRequestId(), -1);    // not an integer
  EXPECT_EQ(pdu.GetErrorStatus(), 2);
  EXPECT_EQ(pdu.GetVarBindList(), nullptr);

  ByteBuffer message_content(64);
  Fill(message_content, Hex("02 01 00 04 00 02 01 00"));
  EXPECT_EQ(SNMPMessage(message_content).GetPdu(), nullptr);  // third is no container
}

TEST(SnmpContainers, DeepNestingIsBounded) {
  // Sixty sequences, each the only element of the one around it.
  Bytes nested;
  for (int level = 0; level < 60; ++level) {
    nested = Concat({0x30, static_cast<uint8_t>(nested.size())}, nested);
  }
  for (int round = 0; round < 2; ++round) {
    const auto root = DecodeContent(nested);
    int depth = 0;
    const SNMPSequence* at = &root;
    while (at->GetCount() > 0) {
      at = at->SequenceAt(0);
      ASSERT_NE(at, nullptr);
      ++depth;
    }
    EXPECT_EQ(depth, kMaxDecodeDepth) << "round " << round;
  }
}

TEST(SnmpContainers, MessageFromContentReadsTheWholeShape) {
  const Bytes answer = Hex(
      "30 29 02 01 00 04 06 70 75 62 6C 69 63 A2 1C 02 01 01 02 01 00 02 01 00"
      " 30 11 30 0F 06 08 2B 06 01 02 01 01 01 00 04 03 61 62 63");
  ByteBuffer received(static_cast<int32_t>(answer.size()));
  Fill(received, answer);
  BerElement outer;
  ASSERT_TRUE(ReadElement(received, 0, outer));
  SNMPMessage message(outer.content);
  ASSERT_EQ(message.GetCount(), 3);
  const auto* pdu = dynamic_cast<const SNMPPDU*>(message.GetPdu());
  ASSERT_NE(pdu, nullptr);
  EXPECT_EQ(pdu->GetTag(), 0xA2);
  EXPECT_EQ(pdu->GetRequestId(), 1);
  EXPECT_EQ(pdu->GetErrorStatus(), 0);
  ASSERT_NE(pdu->GetVarBindList(), nullptr);
  EXPECT_EQ(pdu->GetVarBindList()->GetCount(), 1);
  // Re-encoding gives the bytes back.
  EXPECT_EQ(ToHex(EncodeToBytes(message)), ToHex(answer));
}

}  // namespace
