// The miniport exchange loop (WinIoctlInterface::Transact) over scripted Write
// and Read calls: chunking, the retry budget, reply assembly, give-up and
// oversize paths, and the lock held across the exchange.
#include <gtest/gtest.h>

#include <cstring>

#include "library/commands/CKavlib.h"
#include "tests/support/ScriptedTransport.h"

using kavtest::Bytes;
using kavtest::ScriptedWinIoctl;

namespace {

int g_frame_length_calls = 0;
int CountingFrameLength(uint8_t* received, int count) {
  ++g_frame_length_calls;
  return FrameLength(received, count);
}
int GiveUp(uint8_t*, int) { return -2; }
int NeverTells(uint8_t*, int) { return -1; }

class TransportLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    g_frame_length_calls = 0;
    reply_.assign(4096, 0xCC);
  }
  int Run(const Bytes& request, uint32_t timeout, int (*frame_length)(uint8_t*, int) = &FrameLength,
          int capacity = 4096) {
    TransferRequest r;
    r.timeout = timeout;
    r.request = request.data();
    r.request_length = static_cast<int>(request.size());
    r.reply = reply_.data();
    r.reply_capacity = capacity;
    r.frame_length = frame_length;
    r.checksum = &FrameChecksum;
    return io_.Transact(r);
  }
  void ExpectUnlocked() {
    EXPECT_EQ(io_.Chunks().locks, 1);
    EXPECT_EQ(io_.Chunks().unlocks, 1);
    EXPECT_TRUE(io_.Chunks().locked_during_io);
  }

  ScriptedWinIoctl io_;
  Bytes reply_;
};

TEST_F(TransportLoop, WritesInChunksOfAtMost1031Bytes) {
  struct Case {
    size_t length;
    std::vector<size_t> chunks;
  } cases[] = {{7, {7}}, {1031, {1031}}, {1032, {1031, 1}}, {2062, {1031, 1031}}, {2063, {1031, 1031, 1}}};
  for (const auto& c : cases) {
    ScriptedWinIoctl io;
    Bytes request(c.length);
    for (size_t i = 0; i < request.size(); ++i) request[i] = static_cast<uint8_t>(i);
    io.Chunks().read_chunks.push_back(kavtest::ReplyFrame({1}));
    TransferRequest r;
    r.timeout = 50;
    r.request = request.data();
    r.request_length = static_cast<int>(request.size());
    r.reply = reply_.data();
    r.reply_capacity = 4096;
    r.frame_length = &FrameLength;
    EXPECT_EQ(io.Transact(r), 7) << c.length;
    Bytes joined;
    ASSERT_EQ(io.Chunks().written.size(), c.chunks.size()) << c.length;
    for (size_t i = 0; i < c.chunks.size(); ++i) {
      EXPECT_EQ(io.Chunks().written[i].size(), c.chunks[i]);
      joined.insert(joined.end(), io.Chunks().written[i].begin(), io.Chunks().written[i].end());
    }
    EXPECT_EQ(joined, request);
  }
}

TEST_F(TransportLoop, RefusedWritesExhaustTheBudget) {
  struct Case {
    uint32_t timeout;
    int result;  // every write answers this
    int attempts;
  } cases[] = {{50, 0, 6}, {50, -1, 6}, {0, 0, 1}, {9, -1, 1}, {10, 0, 2}};
  for (const auto& c : cases) {
    ScriptedWinIoctl io;
    for (int i = 0; i < 100; ++i) io.Chunks().write_results.push_back(c.result);
    const Bytes request = kavtest::CommandFrame(35);
    TransferRequest r;
    r.timeout = c.timeout;
    r.request = request.data();
    r.request_length = 7;
    r.reply = reply_.data();
    r.reply_capacity = 4096;
    r.frame_length = &FrameLength;
    EXPECT_EQ(io.Transact(r), kTransportNotWritten) << c.timeout;
    EXPECT_EQ(io.Chunks().write_attempts, c.attempts) << c.timeout;
    EXPECT_EQ(io.Chunks().read_attempts, 0);
    EXPECT_EQ(io.Chunks().locks, 1);
    EXPECT_EQ(io.Chunks().unlocks, 1);
  }
}

TEST_F(TransportLoop, ProgressResetsTheBudget) {
  // Budget 2: two refusals before each chunk, and two empty reads before the
  // reply, are tolerated because every bit of progress resets the counter.
  io_.Chunks().write_results = {0, -1, 1031, 0, 0, 1};
  const Bytes frame = kavtest::ReplyFrame({1, 2});
  io_.Chunks().read_chunks = {{}, {}, frame};
  Bytes request(1032, 0x42);
  EXPECT_EQ(Run(request, 20), static_cast<int>(frame.size()));
  EXPECT_EQ(io_.Chunks().write_attempts, 6);
  EXPECT_EQ(io_.Chunks().read_attempts, 3);
  ExpectUnlocked();
}

TEST_F(TransportLoop, AssemblesAChunkedReplyAndStopsAskingOnceTheLengthIsKnown) {
  const Bytes frame = kavtest::ReplyFrame(Bytes(20, 0x33));  // 26 bytes
  io_.Chunks().read_chunks = {Bytes(frame.begin(), frame.begin() + 3),
                              Bytes(frame.begin() + 3, frame.begin() + 7),
                              Bytes(frame.begin() + 7, frame.begin() + 15),
                              Bytes(frame.begin() + 15, frame.end())};
  EXPECT_EQ(Run(kavtest::CommandFrame(35), 30, &CountingFrameLength), 26);
  EXPECT_EQ(Bytes(reply_.begin(), reply_.begin() + 26), frame);
  EXPECT_EQ(reply_[26], 0xCC);
  EXPECT_EQ(g_frame_length_calls, 2);  // after 3 bytes (-1) and after 7 (the length)
  EXPECT_EQ(io_.Chunks().read_attempts, 4);
  for (int capacity : io_.Chunks().read_capacities) EXPECT_EQ(capacity, 1031);
  ExpectUnlocked();
}

TEST_F(TransportLoop, SilenceBetweenReplyChunksIsToleratedWithinTheBudget) {
  const Bytes frame = kavtest::ReplyFrame({5, 6, 7});
  // Budget 3: empty reads between the pieces do not add up, they reset.
  io_.Chunks().read_chunks = {{}, {}, {}, Bytes(frame.begin(), frame.begin() + 4), {}, {}, {},
                              Bytes(frame.begin() + 4, frame.end())};
  EXPECT_EQ(Run(kavtest::CommandFrame(35), 30), 9);
  EXPECT_EQ(Bytes(reply_.begin(), reply_.begin() + 9), frame);
}

TEST_F(TransportLoop, ExtendedReplySplitRightAfterItsLengthBytesStillSaysHttp) {
  Bytes rest = kavtest::ToBytes("XYZ rest");
  const Bytes frame = kavtest::ExtendedReply(rest, static_cast<uint32_t>(rest.size() + 3));
  io_.Chunks().read_chunks = {Bytes(frame.begin(), frame.begin() + 6),
                              Bytes(frame.begin() + 6, frame.begin() + 8),
                              Bytes(frame.begin() + 8, frame.end())};
  const int received = Run(kavtest::CommandFrame(22), 30);
  ASSERT_EQ(received, static_cast<int>(frame.size()));
  EXPECT_EQ(std::string(reply_.begin() + 5, reply_.begin() + 13), "HTTPYZ r");
}

TEST_F(TransportLoop, GivingUpReportsTheBytesReceivedAndCopiesNothing) {
  io_.Chunks().read_chunks = {Bytes(9, 0x77)};
  EXPECT_EQ(Run(kavtest::CommandFrame(35), 30, &GiveUp), 9);
  EXPECT_EQ(reply_[0], 0xCC);
  ExpectUnlocked();
}

TEST_F(TransportLoop, ReplyBeyondTheCapacityCopiesNothing) {
  io_.Chunks().read_chunks = {kavtest::ReplyFrame(Bytes(10, 1))};
  EXPECT_EQ(Run(kavtest::CommandFrame(35), 30, &FrameLength, 15), 0);
  EXPECT_EQ(reply_[0], 0xCC);
  io_.Chunks().read_chunks = {kavtest::ReplyFrame(Bytes(10, 1))};
  EXPECT_EQ(Run(kavtest::CommandFrame(35), 30, &FrameLength, 16), 16);
}

TEST_F(TransportLoop, ReplyAnnouncedBeyondTheReceiveBufferIsNotRead) {
  const Bytes start = {0x5E, 0x01, 0x61, 0xFF, 0xFF, 0x00, 0x00, 0x04, 'x'};  // L = 0x40000
  io_.Chunks().read_chunks = {start, Bytes(1031, 1), Bytes(1031, 1)};
  EXPECT_EQ(Run(kavtest::CommandFrame(238), 30), 0);
  EXPECT_EQ(io_.Chunks().read_attempts, 1);
  EXPECT_EQ(reply_[0], 0xCC);
  ExpectUnlocked();
}

TEST_F(TransportLoop, AReplyThatNeverEndsStopsAtTheEndOfTheReceiveBuffer) {
  for (int i = 0; i < 200; ++i) io_.Chunks().read_chunks.push_back(Bytes(1031, 2));
  EXPECT_EQ(Run(kavtest::CommandFrame(35), 30, &NeverTells), 0);
  int total = 0;
  for (int capacity : io_.Chunks().read_capacities) total += capacity;
  EXPECT_EQ(total, 0x30000);
  EXPECT_EQ(io_.Chunks().read_capacities.back(), 0x30000 % 1031);
  ExpectUnlocked();
}

TEST_F(TransportLoop, ReadFailureAndSilence) {
  io_.Chunks().read_failures = {false, true};
  EXPECT_EQ(Run(kavtest::CommandFrame(35), 30), kTransportReadFailed);
  EXPECT_EQ(io_.Chunks().read_attempts, 2);

  struct Case {
    uint32_t timeout;
    int reads;
  } cases[] = {{0, 1}, {5, 1}, {30, 4}};
  for (const auto& c : cases) {
    ScriptedWinIoctl io;
    const Bytes request = kavtest::CommandFrame(35);
    TransferRequest r;
    r.timeout = c.timeout;
    r.request = request.data();
    r.request_length = 7;
    r.reply = reply_.data();
    r.reply_capacity = 4096;
    r.frame_length = &FrameLength;
    EXPECT_EQ(io.Transact(r), kTransportNoReply) << c.timeout;
    EXPECT_EQ(io.Chunks().write_attempts, 1);
    EXPECT_EQ(io.Chunks().read_attempts, c.reads) << c.timeout;
    EXPECT_EQ(io.Chunks().unlocks, 1);
  }
}

TEST_F(TransportLoop, TheMiniportTransportsFixedAnswers) {
  WinIoctlInterface closed;
  EXPECT_EQ(closed.GetMaxChunk(), 1031);
  EXPECT_EQ(closed.GetHandle(), nullptr);
  EXPECT_EQ(closed.GetStatus(), 1);
  EXPECT_EQ(closed.m_nTimeout, 60);
  // A closed object's control calls fail: a read is a failed call.
  uint8_t buffer[16];
  TransferRequest r;
  r.reply = buffer;
  r.reply_capacity = sizeof(buffer);
  EXPECT_EQ(closed.Read(r), -1);
  const Bytes chunk = {1, 2, 3};
  r.request = chunk.data();
  r.request_length = 3;
  EXPECT_EQ(closed.Write(r), -1);
}

}  // namespace
