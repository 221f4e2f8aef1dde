// The command transaction: framing, exchange parameters, reply handling and the
// mapping of transport results and status letters to library status codes.
#include <gtest/gtest.h>

#include <algorithm>

#include "library/commands/CKavlib.h"
#include "tests/support/ScriptedTransport.h"

using kavtest::Bytes;
using kavtest::ScriptedReply;
using kavtest::ScriptedTransport;

namespace {

class SendCommandTest : public ::testing::Test {
 protected:
  void Attach(uint8_t kind = 0, const std::string& subsystem = "Kavor RAID Subsystem") {
    transport_ = kavtest::AttachScripted(library_, kavtest::SystemInfo(kind), subsystem);
  }
  int Send(uint8_t code, const Bytes& payload = {}, int capacity = 2048) {
    reply_.assign(2048, 0xCC);
    length_ = -1;
    return library_.SendCommand(code, payload.empty() ? nullptr : payload.data(),
                                static_cast<int>(payload.size()), reply_.data(), capacity,
                                &length_);
  }

  CKavlib library_;
  ScriptedTransport* transport_ = nullptr;
  Bytes reply_;
  int length_ = 0;
};

TEST_F(SendCommandTest, FramesThePayloadAndHandsOverTheFrameFunctions) {
  Attach();
  transport_->QueueFrame({9, 8, 7});
  ASSERT_EQ(Send(32, {5}), KAV_OK);
  ASSERT_EQ(transport_->Sent().size(), 1u);
  const auto& sent = transport_->Sent()[0];
  EXPECT_EQ(sent.request, kavtest::CommandFrame(32, {5}));
  EXPECT_EQ(sent.request, (Bytes{0x5E, 0x01, 0x61, 0x02, 0x00, 32, 5, 39}));
  EXPECT_TRUE(sent.has_frame_functions);
  EXPECT_EQ(sent.reply_capacity, 0x30000);
  EXPECT_EQ(length_, 3);
  EXPECT_EQ(Bytes(reply_.begin(), reply_.begin() + 3), (Bytes{9, 8, 7}));
  EXPECT_EQ(reply_[3], 0xCC);
}

TEST_F(SendCommandTest, NullPayloadWithLengthSendsZeroBytes) {
  Attach();
  transport_->QueueFrame({});
  reply_.assign(16, 0);
  ASSERT_EQ(library_.SendCommand(33, nullptr, 2, reply_.data(), 16, &length_), KAV_OK);
  EXPECT_EQ(transport_->Sent()[0].request, kavtest::CommandFrame(33, {0, 0}));
}

TEST_F(SendCommandTest, TimeoutAndFlagsFollowTheCommandAndTheControllerKind) {
  struct Case {
    uint8_t kind;
    uint8_t code;
    uint32_t timeout;
    uint32_t flags;
  } cases[] = {
      {0, 32, 60000, 0}, {0, 35, 3000, 0}, {0, 48, 3000, 0}, {0, 54, 0, 0},
      {0, 22, 60000, 1}, {3, 32, 60000, 8}, {3, 22, 60000, 9}, {1, 35, 3000, 0},
  };
  for (const auto& c : cases) {
    Attach(c.kind);
    transport_->QueueFrame({1});
    Send(c.code);
    ASSERT_EQ(transport_->Sent().size(), 1u);
    EXPECT_EQ(transport_->Sent()[0].timeout, c.timeout) << int(c.code);
    EXPECT_EQ(transport_->Sent()[0].flags, c.flags) << int(c.code) << " kind " << int(c.kind);
  }
}

TEST_F(SendCommandTest, TransportResultsMapToStatusCodes) {
  struct Case {
    int result;
    int status;
  } cases[] = {{-8, 19}, {-7, 20}, {-3, 4}, {-5, 4}, {-2, 5}, {-9, 21}, {-1, 63}, {-6, 63},
               {-100, 63}};
  for (const auto& c : cases) {
    Attach();
    transport_->Queue(ScriptedReply::Result(c.result));
    EXPECT_EQ(Send(32), c.status) << c.result;
    EXPECT_EQ(length_, 0);
    EXPECT_EQ(reply_[0], 0xCC) << "reply written on failure";
  }
}

TEST_F(SendCommandTest, RetryResultRepeatsTheSameCommand) {
  Attach();
  for (int i = 0; i < 3; ++i) transport_->Queue(ScriptedReply::Result(-4));
  transport_->QueueFrame({42});
  EXPECT_EQ(Send(33, {2}), KAV_OK);
  ASSERT_EQ(transport_->Sent().size(), 4u);
  for (const auto& sent : transport_->Sent()) EXPECT_EQ(sent.request, kavtest::CommandFrame(33, {2}));
}

TEST_F(SendCommandTest, StatusLettersAndShortOrBrokenReplies) {
  Bytes bad_sum = kavtest::ReplyFrame({1, 2});
  bad_sum.back() ^= 0x5A;
  struct Case {
    const char* what;
    uint8_t code;
    Bytes reply;
    int status;
    int length;
  } cases[] = {
      {"A is success", 32, kavtest::StatusReply('A'), 0, 0},
      {"M", 32, kavtest::StatusReply('M'), 8, 0},
      {"H is not available", 32, kavtest::StatusReply('H'), 72, 0},
      {"B", 32, kavtest::StatusReply('B'), 66, 0},
      {"T", 32, kavtest::StatusReply('T'), 84, 0},
      {"Z is data", 32, kavtest::StatusReply('Z'), 0, 1},
      {"A is data for command 25", 25, kavtest::StatusReply('A'), 0, 1},
      {"letter in a longer body is data", 32, kavtest::ReplyFrame({'M', 0}), 0, 2},
      {"bad checksum", 32, bad_sum, 2, 0},
      {"bad checksum on command 54", 54, bad_sum, 0, 0},
      {"empty body", 32, kavtest::ReplyFrame({}), 0, 0},
  };
  for (const auto& c : cases) {
    Attach();
    transport_->Queue(ScriptedReply::Raw(c.reply));
    EXPECT_EQ(Send(c.code), c.status) << c.what;
    EXPECT_EQ(length_, c.length) << c.what;
  }
}

TEST_F(SendCommandTest, ReplyShorterThanAFrameIsAFailedRead) {
  for (int received : {0, 5}) {
    Attach();
    transport_->Queue(ScriptedReply::Result(received));
    EXPECT_EQ(Send(32), KAV_READ_FAILED) << received;
  }
}

TEST_F(SendCommandTest, AReplyTheTransportGaveUpOnIsCheckedAsZeros) {
  Attach();
  transport_->QueueFrame(Bytes(40, 0x11));
  ASSERT_EQ(Send(32), KAV_OK);
  // Wrong lead bytes: the frame-length function gives up, nothing is copied.
  transport_->Queue(ScriptedReply::Raw({0x5F, 0x01, 0x61, 0x01, 0x00, 'A', 0x02}));
  EXPECT_EQ(Send(32), KAV_BAD_FRAME);
  EXPECT_EQ(length_, 0);
  transport_->Queue(ScriptedReply::Raw({0x5F, 0x01, 0x61, 0x01, 0x00, 'A', 0x02}));
  EXPECT_EQ(Send(54), KAV_OK);
  EXPECT_EQ(length_, 0);
}

TEST_F(SendCommandTest, BodyOneByteOverTheCapacityIsRefusedUntouched) {
  Attach();
  transport_->QueueFrame(Bytes(17, 0x11));
  EXPECT_EQ(Send(32, {}, 16), KAV_REPLY_TOO_LARGE);
  EXPECT_EQ(length_, 17);
  EXPECT_EQ(reply_[0], 0xCC);
  transport_->QueueFrame(Bytes(16, 0x11));
  EXPECT_EQ(Send(32, {}, 16), KAV_OK);
  EXPECT_EQ(reply_[15], 0x11);
  EXPECT_EQ(reply_[16], 0xCC);
}

TEST_F(SendCommandTest, JbodSubsystemAllowsOnlyItsCommandList) {
  Attach(0, "Kavor JBOD Subsystem");
  ASSERT_TRUE(library_.IsJbod());
  transport_->SetResponder([](const kavtest::SentExchange&) { return ScriptedReply::Status('A'); });
  const int allowed[] = {16, 17, 18, 19, 21, 23, 35, 50, 239};
  for (int code = 0; code < 256; ++code) {
    if (code == 238) continue;  // unframed, checked with the web pass-through
    transport_->ClearSent();
    const bool expected = std::find(std::begin(allowed), std::end(allowed), code) != std::end(allowed);
    const int status = Send(static_cast<uint8_t>(code));
    EXPECT_EQ(status, expected ? KAV_OK : KAV_NOT_AVAILABLE) << code;
    EXPECT_EQ(transport_->Sent().size(), expected ? 1u : 0u) << code;
  }
}

TEST_F(SendCommandTest, NoTransportAndBadPayloadLengths) {
  EXPECT_EQ(Send(35), KAV_NO_TRANSPORT);
  Attach();
  Bytes payload(16, 0);
  EXPECT_EQ(library_.SendCommand(32, payload.data(), -1, reply_.data(), 2048, &length_),
            KAV_INVALID_ARGUMENT);
  EXPECT_EQ(library_.SendCommand(32, payload.data(), 0x30000 - 6, reply_.data(), 2048, &length_),
            KAV_INVALID_ARGUMENT);
  EXPECT_TRUE(transport_->Sent().empty());
}

TEST_F(SendCommandTest, PassThroughGoesUnframedIntoTheCallersBuffer) {
  Attach();
  const Bytes reply = kavtest::ReplyFrame({'o', 'k'});
  transport_->Queue(ScriptedReply::Raw(reply));
  const Bytes stream = {1, 2, 3, 4};
  Bytes out(64, 0);
  int received = 0;
  ASSERT_EQ(library_.SendCommand(238, stream.data(), 4, out.data(), 64, &received), KAV_OK);
  EXPECT_EQ(transport_->Sent()[0].request, stream);
  EXPECT_EQ(transport_->Sent()[0].reply_capacity, 64);
  EXPECT_EQ(received, static_cast<int>(reply.size()));
  EXPECT_EQ(Bytes(out.begin(), out.begin() + received), reply);
}

}  // namespace
