// The frame helpers handed to the transport: length, checksum, validation.
#include <gtest/gtest.h>

#include "library/commands/CKavlib.h"
#include "tests/support/ScriptedTransport.h"

using kavtest::Bytes;

namespace {

TEST(FrameLength, TellsTheReplyLengthOrAsksForMore) {
  struct Case {
    const char* what;
    Bytes bytes;
    int expected;
  } cases[] = {
      {"nothing yet", {}, -1},
      {"five bytes", {0x5E, 0x01, 0x61, 0x02, 0x00}, -1},
      {"normal form", {0x5E, 0x01, 0x61, 0x02, 0x00, 0x23}, 8},
      {"16-bit length", {0x5E, 0x01, 0x61, 0x00, 0x01, 0x00}, 256 + 6},
      {"wrong lead", {0x5E, 0x01, 0x62, 0x02, 0x00, 0x23}, -2},
      {"extended, length not in yet", {0x5E, 0x01, 0x61, 0xFF, 0xFF, 0x2C, 0x01}, -1},
      {"extended, marker byte not in yet", {0x5E, 0x01, 0x61, 0xFF, 0xFF, 0x2C, 0x01, 0x00}, -1},
      {"extended", {0x5E, 0x01, 0x61, 0xFF, 0xFF, 0x2C, 0x01, 0x00, 'x'}, 306},
  };
  for (auto& c : cases) {
    Bytes buffer = c.bytes;
    buffer.resize(32, 0);
    EXPECT_EQ(FrameLength(buffer.data(), static_cast<int>(c.bytes.size())), c.expected) << c.what;
  }
}

TEST(FrameLength, ExtendedFormPutsHttpOverTheReceivedLengthBytes) {
  Bytes buffer = {0x5E, 0x01, 0x61, 0xFF, 0xFF, 0x2C, 0x01, 0x00, 'x', 'y'};
  ASSERT_EQ(FrameLength(buffer.data(), 10), 306);
  EXPECT_EQ(std::string(buffer.begin() + 5, buffer.begin() + 10), "HTTPy");
}

TEST(FrameChecksum, SumsFromTheLengthToTheByteBeforeTheLast) {
  const Bytes frame = kavtest::CommandFrame(35);
  EXPECT_EQ(frame, (Bytes{0x5E, 0x01, 0x61, 0x01, 0x00, 35, 36}));
  EXPECT_EQ(FrameChecksum(frame.data(), 7), 36);
  const Bytes wraps = {0x5E, 0x01, 0x61, 0xFF, 0x00, 0x02, 0x00};
  EXPECT_EQ(FrameChecksum(wraps.data(), 7), 1);
}

TEST(ValidateFrame, ChecksHeaderLengthAndChecksum) {
  const Bytes good = kavtest::ReplyFrame({1, 2, 3});
  Bytes bad_sum = good;
  bad_sum.back() ^= 1;
  Bytes bad_lead = good;
  bad_lead[0] = 0x5F;
  Bytes trailing = good;
  trailing.push_back(0xEE);
  struct Case {
    const char* what;
    Bytes bytes;
    int count;
    bool valid;
  } cases[] = {
      {"good", good, 9, true},
      {"bad checksum", bad_sum, 9, false},
      {"bad lead", bad_lead, 9, false},
      {"length beyond what was received", good, 8, false},
      {"more received than the length", trailing, 10, true},
      {"too short", good, 5, false},
  };
  for (auto& c : cases) EXPECT_EQ(ValidateFrame(c.bytes.data(), c.count), c.valid) << c.what;
}

}  // namespace
