// The data area (command 24 block by block) and the web pass-through (command-22
// frames sent unframed with command 238).
#include <gtest/gtest.h>

#include <cstring>

#include "library/commands/CKavlib.h"
#include "tests/support/ScriptedTransport.h"

using kavtest::Bytes;
using kavtest::ScriptedReply;
using kavtest::ScriptedTransport;

namespace {

const Bytes kBlockKey = {0x55, 0xAA, 0xA5, 0x5A};
const Bytes kClearing = {0xFF, 0x55, 0xAA, 0xA5, 0x5A};

class DataArea : public ::testing::Test {
 protected:
  void Attach(uint8_t kind) {
    transport_ = kavtest::AttachScripted(library_, kavtest::SystemInfo(kind));
    CKavlibTestAccess::SetDataBlockPause(library_, 0);
    transport_->SetResponder([](const kavtest::SentExchange&) { return ScriptedReply::Status('A'); });
  }
  CKavlib library_;
  ScriptedTransport* transport_ = nullptr;
};

TEST_F(DataArea, WritesTheLengthPrefixedImageInBlocks) {
  struct Case {
    uint8_t kind;
    int length;
    int blocks;
  } cases[] = {{1, 7998, 4}, {0, 0, 4}, {3, 32 * 2000 - 2, 32}, {0, 5, 4}};
  for (const auto& c : cases) {
    Attach(c.kind);
    Bytes data(static_cast<size_t>(c.length) + 1);  // never null, even for no bytes
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
    ASSERT_EQ(library_.WriteDataArea(data.data(), c.length), KAV_OK) << c.length;
    ASSERT_EQ(transport_->Sent().size(), static_cast<size_t>(c.blocks));
    Bytes image;
    for (int i = 0; i < c.blocks; ++i) {
      const auto& sent = transport_->Sent()[static_cast<size_t>(i)];
      EXPECT_EQ(sent.code(), 24);
      const Bytes payload = sent.payload();
      ASSERT_EQ(payload.size(), 2005u);
      EXPECT_EQ(payload[0], i);
      EXPECT_EQ(Bytes(payload.begin() + 1, payload.begin() + 5), kBlockKey);
      image.insert(image.end(), payload.begin() + 5, payload.end());
    }
    Bytes expected = {static_cast<uint8_t>(c.length), static_cast<uint8_t>(c.length >> 8)};
    expected.insert(expected.end(), data.begin(), data.begin() + c.length);
    expected.resize(static_cast<size_t>(c.blocks) * 2000, 0);
    EXPECT_EQ(image, expected) << c.length;
  }
}

TEST_F(DataArea, RefusesTooMuchOrANegativeLength) {
  Attach(1);
  Bytes data(8000, 1);
  EXPECT_EQ(library_.WriteDataArea(data.data(), 7999), KAV_INVALID_ARGUMENT);
  EXPECT_EQ(library_.WriteDataArea(data.data(), -1), KAV_INVALID_ARGUMENT);
  EXPECT_TRUE(transport_->Sent().empty());
}

TEST_F(DataArea, NullDataSendsTheClearingFormOncePerBlock) {
  Attach(3);
  ASSERT_EQ(library_.WriteDataArea(nullptr, 12345), KAV_OK);
  ASSERT_EQ(transport_->Sent().size(), 32u);
  for (const auto& sent : transport_->Sent()) EXPECT_EQ(sent.request, kavtest::CommandFrame(24, kClearing));
}

TEST_F(DataArea, AFailingBlockStopsTheWrite) {
  Attach(0);
  transport_->Queue(ScriptedReply::Status('A'));
  transport_->Queue(ScriptedReply::Status('A'));
  transport_->Queue(ScriptedReply::Status('E'));
  uint8_t data[10] = {};
  EXPECT_EQ(library_.WriteDataArea(data, 10), 'E');
  EXPECT_EQ(transport_->Sent().size(), 3u);
  transport_->ClearSent();
  transport_->Queue(ScriptedReply::Result(-7));
  EXPECT_EQ(library_.WriteDataArea(nullptr, 0), KAV_REPLY_TIMEOUT);
  EXPECT_EQ(transport_->Sent().size(), 1u);
}

TEST_F(DataArea, JbodRefusesIt) {
  transport_ = kavtest::AttachScripted(library_, kavtest::SystemInfo(), "Kavor JBOD Subsystem");
  EXPECT_EQ(library_.WriteDataArea(nullptr, 0), KAV_NOT_AVAILABLE);
  EXPECT_TRUE(transport_->Sent().empty());
}

class WebPassThrough : public ::testing::Test {
 protected:
  void SetUp() override {
    transport_ = kavtest::AttachScripted(library_, kavtest::SystemInfo());
    response_.assign(kWebResponseCapacity, 0xCC);
  }
  int Run(const Bytes& request) {
    length_ = -1;
    return library_.WebPassThrough(request.data(), static_cast<int>(request.size()),
                                   response_.data(), &length_);
  }
  CKavlib library_;
  ScriptedTransport* transport_ = nullptr;
  Bytes response_;
  int length_ = 0;
};

TEST_F(WebPassThrough, CutsTheRequestIntoCommand22Frames) {
  struct Case {
    size_t length;
    std::vector<size_t> pieces;
  } cases[] = {{1, {1}}, {1024, {1024}}, {1025, {1024, 1}}, {2048, {1024, 1024}}, {3000, {1024, 1024, 952}}};
  for (const auto& c : cases) {
    transport_->ClearSent();
    transport_->QueueFrame(kavtest::ToBytes("HTTP/1.0 200 OK"));
    Bytes request(c.length);
    for (size_t i = 0; i < request.size(); ++i) request[i] = static_cast<uint8_t>(i % 251);
    ASSERT_EQ(Run(request), KAV_OK) << c.length;
    ASSERT_EQ(transport_->Sent().size(), 1u);
    const auto& sent = transport_->Sent()[0];
    Bytes expected;
    size_t offset = 0;
    for (size_t piece : c.pieces) {
      const Bytes frame = kavtest::CommandFrame(
          22, Bytes(request.begin() + static_cast<long>(offset), request.begin() + static_cast<long>(offset + piece)));
      expected.insert(expected.end(), frame.begin(), frame.end());
      offset += piece;
    }
    EXPECT_EQ(sent.request, expected) << c.length;
    EXPECT_EQ(sent.reply_capacity, 0x30000);
    EXPECT_EQ(length_, 15);
    EXPECT_EQ(std::string(response_.begin(), response_.begin() + 15), "HTTP/1.0 200 OK");
  }
}

TEST_F(WebPassThrough, ExtendedReplyBeginsWithHttp) {
  Bytes rest(297, 'b');
  transport_->Queue(ScriptedReply::Raw(kavtest::ExtendedReply(rest, 300)));
  ASSERT_EQ(Run(kavtest::ToBytes("GET / HTTP/1.0\r\n\r\n")), KAV_OK);
  EXPECT_EQ(length_, 300);
  EXPECT_EQ(std::string(response_.begin(), response_.begin() + 5), "HTTPb");
  EXPECT_EQ(response_[299], 'b');
  EXPECT_EQ(response_[300], 0xCC);
}

TEST_F(WebPassThrough, ArgumentsTransportAndShortReplies) {
  const Bytes request = kavtest::ToBytes("GET /");
  EXPECT_EQ(library_.WebPassThrough(nullptr, 5, response_.data(), &length_), KAV_INVALID_ARGUMENT);
  EXPECT_EQ(library_.WebPassThrough(request.data(), 0, response_.data(), &length_),
            KAV_INVALID_ARGUMENT);
  EXPECT_EQ(library_.WebPassThrough(request.data(), 5, nullptr, &length_), KAV_INVALID_ARGUMENT);
  EXPECT_EQ(library_.WebPassThrough(request.data(), 0x30000, response_.data(), &length_),
            KAV_INVALID_ARGUMENT);
  EXPECT_TRUE(transport_->Sent().empty());

  struct Case {
    ScriptedReply reply;
    int status;
  } cases[] = {
      {ScriptedReply::Result(3), KAV_READ_FAILED},  // under 6 bytes
      {ScriptedReply::Result(0), KAV_READ_FAILED},  // what a reply too large for the buffer gives
      {ScriptedReply::Result(-7), KAV_REPLY_TIMEOUT},
      {ScriptedReply::Raw(kavtest::ReplyFrame({})), KAV_OK},
  };
  for (auto& c : cases) {
    transport_->Queue(c.reply);
    EXPECT_EQ(Run(request), c.status);
    EXPECT_EQ(length_, 0);
    EXPECT_EQ(response_[0], 0xCC);
  }

  CKavlib unattached;
  EXPECT_EQ(unattached.WebPassThrough(nullptr, 0, nullptr, nullptr), KAV_NO_TRANSPORT);
}

TEST_F(WebPassThrough, AReplyTheTransportGaveUpOnComesBackAsZeros) {
  const Bytes request = kavtest::ToBytes("GET /");
  transport_->QueueFrame(kavtest::ToBytes("HTTP/1.0 200 OK earlier page"));
  ASSERT_EQ(Run(request), KAV_OK);
  transport_->Queue(ScriptedReply::Raw({0x00, 0x01, 0x61, 0x05, 0x00, 'H', 'T', 'T', 'P', 'x', 0}));
  ASSERT_EQ(Run(request), KAV_OK);
  ASSERT_EQ(length_, 5);
  EXPECT_EQ(Bytes(response_.begin(), response_.begin() + 5), Bytes(5, 0));
}

TEST_F(WebPassThrough, WorksOnJbod) {
  CKavlib jbod;
  ScriptedTransport* transport = kavtest::AttachScripted(jbod, kavtest::SystemInfo(), "Kavor JBOD Subsystem");
  transport->QueueFrame(kavtest::ToBytes("HTTP"));
  const Bytes request = {'G'};
  EXPECT_EQ(jbod.WebPassThrough(request.data(), 1, response_.data(), &length_), KAV_OK);
  EXPECT_EQ(length_, 4);
}

}  // namespace
