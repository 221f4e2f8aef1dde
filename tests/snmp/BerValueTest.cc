// The BER value model: buffers, the element reader and the scalar classes,
// checked against the firmware dialect's encodings and readings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/snmp/BerElement.h"
#include "library/snmp/BerEncoding.h"
#include "library/snmp/SNMPInteger.h"
#include "library/snmp/SNMPNull.h"
#include "library/snmp/SNMPObjectIdentifier.h"
#include "library/snmp/SNMPOctetString.h"
#include "library/snmp/SNMPUnknownObject.h"
#include "tests/snmp/SnmpTestBytes.h"

namespace {

std::vector<int32_t> Components(const SNMPObjectIdentifier& oid) {
  IntegerList list(512);
  oid.GetComponents(list);
  std::vector<int32_t> out;
  for (int32_t i = 0; i < list.GetCount(); ++i) out.push_back(list.Get(i));
  return out;
}

TEST(SnmpByteBuffer, AppendsAreAllOrNothing) {
  ByteBuffer buffer(8);
  const uint8_t five[5] = {1, 2, 3, 4, 5};
  buffer.AppendBytes(five, 0, 5);
  buffer.AppendBytes(five, 1, 4);  // 9 > 8: nothing
  EXPECT_EQ(ToBytes(buffer), Hex("01 02 03 04 05"));
  buffer.AppendBytes(five, 2, 3);  // exactly fills
  EXPECT_EQ(buffer.GetLength(), 8);
  buffer.AppendByte(9);
  EXPECT_EQ(buffer.GetLength(), 8);

  ByteBuffer text(4);
  text.AppendText("abcd");  // terminator would not fit
  EXPECT_EQ(text.GetLength(), 0);
  text.AppendText("abc");
  EXPECT_EQ(text.GetLength(), 3);
  EXPECT_EQ(text.GetData()[3], 0);

  ByteBuffer big(512);
  const Bytes filler(505, 0xAA);
  big.AppendBytes(filler.data(), 0, 505);
  big.AppendBytes(filler.data(), 0, 10);
  EXPECT_EQ(big.GetLength(), 505);
  // Bad arguments leave the buffer alone.
  big.AppendBytes(nullptr, 0, 1);
  big.AppendBytes(filler.data(), -1, 1);
  big.AppendBytes(filler.data(), 0, -5);
  EXPECT_EQ(big.GetLength(), 505);
}

TEST(SnmpByteBuffer, AssignCutsAtCapacityAndReleasedBufferTakesNothing) {
  ByteBuffer source(600);
  for (int i = 0; i < 600; ++i) source.AppendByte(static_cast<uint8_t>(i));
  ByteBuffer target(512);
  target.AppendByte(0xEE);
  target.Assign(source);
  ASSERT_EQ(target.GetLength(), 512);
  EXPECT_EQ(target.GetData()[511], static_cast<uint8_t>(511));

  target.Release();
  target.AppendByte(1);
  target.AppendText("x");
  EXPECT_EQ(target.GetLength(), 0);
  EXPECT_EQ(target.GetData(), nullptr);
}

TEST(SnmpIntegerList, GetOutsideTheItemsIsZeroAndAssignCuts) {
  IntegerList list(3);
  for (int v : {7, 8, 9, 10}) list.Append(v);
  EXPECT_EQ(list.GetCount(), 3);
  EXPECT_EQ(list.Get(2), 9);
  EXPECT_EQ(list.Get(3), 0);
  EXPECT_EQ(list.Get(-1), 0);
  IntegerList small(2);
  small.Assign(list);
  EXPECT_EQ(small.GetCount(), 2);
  EXPECT_EQ(small.Get(1), 8);
}

TEST(SnmpBerEncoding, IntegersHaveNoSignByte) {
  const struct { int32_t value; const char* encoding; } cases[] = {
      {0, "02 01 00"},          {1, "02 01 01"},
      {127, "02 01 7F"},        {128, "02 01 80"},
      {255, "02 01 FF"},        {256, "02 02 01 00"},
      {-1, "02 04 FF FF FF FF"}, {-128, "02 04 FF FF FF 80"},
      {2147483647, "02 04 7F FF FF FF"}, {0x12345, "02 03 01 23 45"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToHex(EncodeToBytes(SNMPInteger(c.value))), ToHex(Hex(c.encoding))) << c.value;
  }
  // The application types share the encoding with their own identifier.
  EXPECT_EQ(EncodeToBytes(SNMPTimeTicks(128)), Hex("43 01 80"));
  EXPECT_EQ(EncodeToBytes(SNMPUInteger32(-1)), Hex("47 04 FF FF FF FF"));
}

TEST(SnmpBerEncoding, IntegerContentReadsBackUnsigned) {
  const struct { const char* content; int32_t value; } cases[] = {
      {"80", 128}, {"FF", 255}, {"FF FF FF FF", -1}, {"00 FF FF FF FF", -1},
      {"", 0},     {"01 00", 256}, {"01 02 03 04 05", 0x02030405},
  };
  for (const auto& c : cases) {
    ByteBuffer content(512);
    Fill(content, Hex(c.content));
    EXPECT_EQ(SNMPInteger(content).GetValue(), c.value) << c.content;
    EXPECT_EQ(SNMPTimeTicks(content).GetValue(), c.value) << c.content;
  }
}

TEST(SnmpBerEncoding, LengthBytes) {
  const struct { uint32_t n; const char* bytes; } cases[] = {
      {0, "00"},       {127, "7F"},       {128, "81 80"},          {255, "81 FF"},
      {256, "82 01 00"}, {300, "82 01 2C"}, {70000, "83 01 11 70"},
      {16777216, "84 01 00 00 00"},
  };
  for (const auto& c : cases) {
    ByteBuffer out(16);
    EncodeLength(c.n, out);
    EXPECT_EQ(ToHex(ToBytes(out)), ToHex(Hex(c.bytes))) << c.n;
  }
}

TEST(SnmpBerEncoding, AnElementThatDoesNotFitIsLeftOutWhole) {
  ByteBuffer out(5);
  out.AppendBytes(Hex("AA BB").data(), 0, 2);
  SNMPInteger(256).Encode(out);  // 4 bytes into 3 left
  EXPECT_EQ(ToBytes(out), Hex("AA BB"));
  SNMPInteger(1).Encode(out);  // 3 bytes fit exactly
  EXPECT_EQ(ToBytes(out), Hex("AA BB 02 01 01"));
}

TEST(SnmpObjectIdentifier, Encodings) {
  const struct { const char* text; const char* encoding; } cases[] = {
      {"1.3.6.1.2.1.1.1.0", "06 08 2B 06 01 02 01 01 01 00"},
      {"1.3.6.1.4.1.200", "06 07 2B 06 01 04 01 81 48"},
      {"1.3.128", "06 03 2B 81 00"},
      {"1.3.16383", "06 03 2B FF 7F"},
      {"1.3.16384", "06 04 2B 81 80 00"},
      {"", "06 00"},
      {"0", "06 01 00"},
      {"2", "06 01 50"},
      // First byte is the low 8 bits of 40 * x0 + x1, never a base-128 value.
      {"7.0", "06 01 18"},
      // Components keep their 32-bit pattern: -1 is 4294967295.
      {"1.3.-1", "06 06 2B 8F FF FF FF 7F"},
      {"1.3.4294967295", "06 06 2B 8F FF FF FF 7F"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToHex(EncodeToBytes(SNMPObjectIdentifier(c.text))), ToHex(Hex(c.encoding)))
        << c.text;
  }
}

TEST(SnmpObjectIdentifier, ContentReadings) {
  const struct { const char* content; std::vector<int32_t> components; } cases[] = {
      {"2B 06 01 02 01 01 01 00", {1, 3, 6, 1, 2, 1, 1, 1, 0}},
      {"2B 81", {1, 3}},  // unfinished sub-identifier ignored
      {"", {}},
      {"81", {}},
      {"2B 81 48", {1, 3, 200}},
      {"58", {2, 8}},     // 88: no special case above 80
      {"2B 8F FF FF FF 7F", {1, 3, -1}},
      {"81 80 00", {409, 24}},  // 16384 as the first sub-identifier
  };
  for (const auto& c : cases) {
    ByteBuffer content(512);
    Fill(content, Hex(c.content));
    EXPECT_EQ(Components(SNMPObjectIdentifier(content)), c.components) << c.content;
  }
}

TEST(SnmpObjectIdentifier, TextReadings) {
  const struct { const char* text; std::vector<int32_t> components; } cases[] = {
      {".1.3.6", {1, 3, 6}},
      {"1..3", {1, 3}},
      {"1.x.3", {1, 0, 3}},
      {" 1 3. 6 ", {1, 3, 6}},
      {"1.+3.-2.5x", {1, 3, -2, 5}},
      {"", {}},
      {"...", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Components(SNMPObjectIdentifier(c.text)), c.components) << c.text;
  }
  EXPECT_TRUE(Components(SNMPObjectIdentifier(static_cast<const char*>(nullptr))).empty());
}

TEST(SnmpObjectIdentifier, LongTextsAreReadWholeUpToTheListCapacity) {
  std::string text = "1.3";
  for (int i = 0; i < 600; ++i) text += ".7";
  const auto components = Components(SNMPObjectIdentifier(text.c_str()));
  ASSERT_EQ(components.size(), 512u);
  EXPECT_EQ(components[511], 7);
}

TEST(SnmpOctetString, EncodingsAndConstruction) {
  EXPECT_EQ(EncodeToBytes(SNMPOctetString("abc")), Hex("04 03 61 62 63"));
  EXPECT_EQ(EncodeToBytes(SNMPOctetString()), Hex("04 00"));
  EXPECT_EQ(EncodeToBytes(SNMPOctetString(static_cast<const char*>(nullptr))), Hex("04 00"));

  const std::string two_hundred(200, 'z');
  EXPECT_EQ(EncodeToBytes(SNMPOctetString(two_hundred.c_str())),
            Concat(Hex("04 81 C8"), Bytes(200, 'z')));
  EXPECT_EQ(EncodeToBytes(SNMPOctetString(std::string(512, 'q').c_str()), 1024).size(), 516u);
  EXPECT_EQ(EncodeToBytes(SNMPOctetString(std::string(513, 'q').c_str())), Hex("04 00"));

  ByteBuffer content(600);
  Fill(content, Hex("61 00 62"));
  SNMPOctetString copy(content);
  ByteBuffer out(512);
  copy.GetContent(out);
  EXPECT_EQ(ToBytes(out), Hex("61 00 62"));
  Fill(content, Bytes(513, 1));
  EXPECT_EQ(EncodeToBytes(SNMPOctetString(content)), Hex("04 00"));
}

TEST(SnmpOctetString, IpAddressKeepsExactlyFourBytes) {
  const struct { const char* content; const char* encoding; } cases[] = {
      {"C0 A8 01 02", "04 04 C0 A8 01 02"},
      {"C0 A8 01 02 03", "04 00"},
      {"C0 A8 01", "04 00"},
      {"", "04 00"},
  };
  for (const auto& c : cases) {
    ByteBuffer content(512);
    Fill(content, Hex(c.content));
    EXPECT_EQ(ToHex(EncodeToBytes(SNMPIPAddress(content))), ToHex(Hex(c.encoding))) << c.content;
  }
}

TEST(SnmpNullAndUnknown, Encodings) {
  EXPECT_EQ(EncodeToBytes(SNMPNull()), Hex("05 00"));
  ByteBuffer content(512);
  Fill(content, Hex("01 02"));
  SNMPUnknownObject unknown(content);
  EXPECT_EQ(unknown.GetTag(), 0x00);
  EXPECT_EQ(EncodeToBytes(unknown), Hex("00 02 01 02"));
}

struct ReadCase {
  const char* name;
  Bytes source;
  int32_t offset;
  bool whole;
  uint8_t tag;
  int32_t size;
  Bytes content;
};

TEST(SnmpReadElement, StaysInsideItsSource) {
  const Bytes two_hundred(200, 0x5A);
  const Bytes six_hundred(600, 0x11);
  const ReadCase cases[] = {
      {"long form", Concat(Hex("04 81 C8"), two_hundred), 0, true, 0x04, 203, two_hundred},
      {"content over 512", Concat(Hex("04 82 02 58"), six_hundred), 0, true, 0x04, 604, {}},
      {"at an offset", Hex("05 00 02 01 07"), 2, true, 0x02, 3, Hex("07")},
      {"indefinite form", Hex("30 80 02 01 01"), 0, true, 0x30, 2, {}},
      {"four length bytes", Hex("04 84 00 00 00 01 AA"), 0, true, 0x04, 7, Hex("AA")},
      {"trailing bytes ignored", Hex("02 01 05 FF FF"), 0, true, 0x02, 3, Hex("05")},
      {"tag only", Hex("04"), 0, false, 0x04, 1, {}},
      {"content cut short", Hex("04 05 01 02"), 0, false, 0x04, 4, {}},
      {"length bytes cut short", Hex("04 82 01"), 0, false, 0x04, 3, {}},
      {"five length bytes", Hex("04 85 00 00 00 00 01 AA"), 0, false, 0x04, 8, {}},
      {"32-bit length", Hex("04 84 FF FF FF FF 00"), 0, false, 0x04, 7, {}},
      {"length past the end by one", Hex("30 03 05 00"), 0, false, 0x30, 4, {}},
      {"offset at the end", Hex("05 00"), 2, false, 0x00, 0, {}},
      {"negative offset", Hex("05 00"), -1, false, 0x00, 0, {}},
      {"empty source", {}, 0, false, 0x00, 0, {}},
  };
  for (const auto& c : cases) {
    // An exactly-sized source, so ASan sees any read past its end.
    ByteBuffer source(static_cast<int32_t>(c.source.size()));
    Fill(source, c.source);
    BerElement element;
    EXPECT_EQ(ReadElement(source, c.offset, element), c.whole) << c.name;
    EXPECT_EQ(element.tag, c.tag) << c.name;
    EXPECT_EQ(element.size, c.size) << c.name;
    EXPECT_EQ(ToBytes(element.content), c.content) << c.name;
  }
}

TEST(SnmpReadElement, RefillsTheSameElement) {
  ByteBuffer source(512);
  Fill(source, Hex("04 02 61 62 04 00"));
  BerElement element;
  ASSERT_TRUE(ReadElement(source, 0, element));
  ASSERT_TRUE(ReadElement(source, 4, element));
  EXPECT_EQ(element.size, 2);
  EXPECT_EQ(element.content.GetLength(), 0);
}

}  // namespace
