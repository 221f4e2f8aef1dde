// Decoding cut and windowed copies of every valid message: the decoder must
// stay inside its source (each piece sits in an exactly-sized heap buffer, so
// AddressSanitizer reports any read past it) and must terminate.
#include <gtest/gtest.h>

#include "library/snmp/BerElement.h"
#include "library/snmp/SNMPPDU.h"
#include "tests/snmp/SnmpSeedMessages.h"

namespace {

Bytes Reencode(const Bytes& bytes) {
  ByteBuffer source(static_cast<int32_t>(bytes.size()));
  Fill(source, bytes);
  BerElement outer;
  ReadElement(source, 0, outer);
  SNMPMessage message(outer.content);
  return EncodeToBytes(message, 1024);
}

TEST(SnmpTruncation, EveryPrefixOfEveryMessage) {
  const auto messages = SeedMessages();
  ASSERT_GE(messages.size(), 10u);
  for (const auto& [name, bytes] : messages) {
    for (size_t n = 0; n <= bytes.size(); ++n) {
      ByteBuffer prefix(static_cast<int32_t>(n));
      Fill(prefix, Bytes(bytes.begin(), bytes.begin() + static_cast<long>(n)));
      BerElement outer;
      const bool whole = ReadElement(prefix, 0, outer);
      EXPECT_EQ(whole, n == bytes.size()) << name << " cut at " << n;
      EXPECT_LE(outer.size, static_cast<int32_t>(n)) << name << " cut at " << n;
      SNMPMessage message(outer.content);
      EXPECT_EQ(message.GetCount(), whole ? 3 : 0) << name << " cut at " << n;
    }
  }
}

TEST(SnmpTruncation, EveryWindowDecodesAsContent) {
  // Any run of bytes taken from inside a message is also content that some
  // nested container would decode; this reaches every level's cut points.
  for (const auto& [name, bytes] : SeedMessages()) {
    for (size_t begin = 0; begin < bytes.size(); ++begin) {
      for (size_t end = begin; end <= bytes.size(); ++end) {
        ByteBuffer window(static_cast<int32_t>(end - begin));
        for (size_t i = begin; i < end; ++i) window.AppendByte(bytes[i]);
        SNMPSequence decoded(window);
        EXPECT_LE(decoded.GetCount(), static_cast<int32_t>(end - begin) / 2) << name;
        EncodeToBytes(decoded, 1024);
      }
    }
  }
}

TEST(SnmpTruncation, ReencodingIsStableAfterOneRound) {
  // Types the codec does not keep (Counter32, Opaque, IpAddress's identifier)
  // change on the first round; after that the bytes must not move.
  for (const auto& [name, bytes] : SeedMessages()) {
    const Bytes once = Reencode(bytes);
    ASSERT_FALSE(once.empty()) << name;
    EXPECT_EQ(ToHex(Reencode(once)), ToHex(once)) << name;
  }
  // Messages made only of the kept types come back byte for byte.
  for (const char* name : {"get_request", "getnext_request", "response_octet_string",
                           "response_timeticks", "response_no_such_name", "response_long_string",
                           "response_big_sub_identifiers", "nested_sequences"}) {
    for (const auto& [seed, bytes] : SeedMessages()) {
      if (seed == name) EXPECT_EQ(ToHex(Reencode(bytes)), ToHex(bytes)) << name;
    }
  }
}

}  // namespace
