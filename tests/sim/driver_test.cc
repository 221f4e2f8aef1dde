// The miniport-driver model: control block checks, the five control codes,
// requests assembled from chunks, replies handed out read by read.
#include <gtest/gtest.h>

#include "DriverHost.h"

namespace kavsim::testing {
namespace {

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    sim_ = Simulator::LoadText(kOneController, &error);
    ASSERT_TRUE(sim_) << error;
    c_ = sim_->At(0);
  }
  std::unique_ptr<Simulator> sim_;
  Controller* c_ = nullptr;
};

TEST_F(DriverTest, ProbeAnswers63WithTheHeaderOnly) {
  auto in = Block(miniport::kProbe, 0, nullptr, 28);
  std::vector<uint8_t> out(28, 0);
  size_t returned = 0;
  ASSERT_TRUE(c_->HandleControl(in.data(), in.size(), out.data(), out.size(), &returned));
  EXPECT_EQ(returned, 28u);
  EXPECT_EQ(Get32(out.data() + 20), 63u);
  EXPECT_EQ(0, std::memcmp(out.data() + 4, "KAVMSR", 6));
}

TEST_F(DriverTest, MalformedControlBlocksFailTheCall) {
  struct Case {
    const char* what;
    std::vector<uint8_t> block;
  } cases[] = {
      {"short block", std::vector<uint8_t>(20, 0)},
      {"wrong signature", [] { auto b = Block(miniport::kProbe, 0); b[4] = 'X'; return b; }()},
      {"wrong header length", [] { auto b = Block(miniport::kProbe, 0); b[0] = 30; return b; }()},
      {"unknown control code", Block(0x90002020u, 0)},
  };
  for (auto& c : cases) {
    std::vector<uint8_t> out(miniport::kBlockSize);
    size_t returned = 99;
    EXPECT_FALSE(c_->HandleControl(c.block.data(), c.block.size(), out.data(), out.size(), &returned))
        << c.what;
    EXPECT_EQ(returned, 0u) << c.what;
  }
}

TEST_F(DriverTest, WritesAcceptAtMostOneWindow) {
  DriverHost host(*c_);
  std::vector<uint8_t> bytes(1032, 0);
  auto over = Block(miniport::kWrite, 1032, nullptr, 28 + 1032);
  std::vector<uint8_t> out(miniport::kBlockSize);
  size_t returned = 0;
  ASSERT_TRUE(c_->HandleControl(over.data(), over.size(), out.data(), out.size(), &returned));
  EXPECT_EQ(Get32(out.data() + 20), 0u) << "a chunk beyond the window is refused";
  // Length larger than the bytes actually sent is refused too.
  auto lying = Block(miniport::kWrite, 100, nullptr, 60);
  ASSERT_TRUE(c_->HandleControl(lying.data(), lying.size(), out.data(), out.size(), &returned));
  EXPECT_EQ(Get32(out.data() + 20), 0u);
  EXPECT_EQ(c_->PendingReplyBytes(), 0u);
}

TEST_F(DriverTest, RequestAssembledFromChunksOfAnySize) {
  // A command-24 block write is 2012 bytes; send it in uneven pieces.
  std::vector<uint8_t> payload = {1, 0x55, 0xAA, 0xA5, 0x5A};
  payload.resize(2005, 0x42);
  auto frame = BuildRequestFrame(24, payload);
  DriverHost host(*c_);
  for (size_t piece : {size_t{1}, size_t{5}, size_t{1031}, size_t{700}}) {
    auto p1 = Block(miniport::kPrepareFirst, miniport::kWindow);
    host.Control(p1);
    for (size_t at = 0; at < frame.size(); at += piece) {
      size_t n = std::min(piece, frame.size() - at);
      ASSERT_EQ(host.Write(frame.data() + at, n), 1);
      if (at + n < frame.size()) ASSERT_EQ(c_->PendingReplyBytes(), 0u) << "no reply before the end";
    }
    auto bytes = host.Read();
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, StatusReply('A')) << "pieces of " << piece;
  }
  auto area = c_->DataArea();
  ASSERT_EQ(area.size(), 8000u);
  EXPECT_EQ(area[2000], 0x42);
  EXPECT_EQ(area[0], 0);
}

TEST_F(DriverTest, ReadsHandOutAtMostOneWindowInOrder) {
  DriverHost host(*c_);
  // A web page larger than two windows.
  c_->WithState([](FirmwareState& s) { s.web_pages["/big"] = std::string(2500, 'p'); });
  std::string request = "GET /big HTTP/1.0\r\n\r\n";
  auto r = host.Command(22, std::vector<uint8_t>(request.begin(), request.end()));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.largest_read, miniport::kWindow);
  EXPECT_GE(r.reads, 3);
  size_t length = r.frame[5] | (size_t{r.frame[6]} << 8) | (size_t{r.frame[7]} << 16);
  EXPECT_EQ(r.frame.size(), length + 6);
  std::string body(r.frame.begin() + 8, r.frame.end() - 1);
  EXPECT_EQ(body.substr(0, 14), "P/1.0 200 OK\r\n");
  EXPECT_EQ(body.substr(body.size() - 2500), std::string(2500, 'p'));
  EXPECT_EQ(c_->PendingReplyBytes(), 0u);
}

TEST_F(DriverTest, ReadWindowIsBoundedByTheCallersOutputBlock) {
  DriverHost host(*c_);
  auto frame = BuildRequestFrame(35, {});
  ASSERT_EQ(host.Write(frame.data(), frame.size()), 1);
  auto in = Block(miniport::kRead, miniport::kWindow);
  std::vector<uint8_t> out(28 + 10, 0);
  size_t returned = 0;
  ASSERT_TRUE(c_->HandleControl(in.data(), in.size(), out.data(), out.size(), &returned));
  EXPECT_EQ(Get32(out.data() + 24), 10u);
  EXPECT_EQ(returned, out.size());
  EXPECT_EQ(c_->PendingReplyBytes(), 262u - 10u);
}

TEST_F(DriverTest, FirstPreparatoryRequestDropsWhatAnAbandonedExchangeLeft) {
  DriverHost host(*c_);
  auto frame = BuildRequestFrame(35, {});
  ASSERT_EQ(host.Write(frame.data(), frame.size()), 1);  // reply never read
  ASSERT_EQ(host.Write(frame.data(), 3), 1);             // half a frame
  auto r = host.Command(25);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.frame.size(), 7u) << "only the new exchange's reply";
  EXPECT_TRUE(ValidReply(r.frame));
}

TEST_F(DriverTest, PassThroughStreamOfWebFramesIsAnsweredOnce) {
  DriverHost host(*c_);
  // 2048 request bytes: two full pieces, as the host cuts them, back to back.
  std::string request = "GET / HTTP/1.0\r\nX-Pad: ";
  request += std::string(2048 - request.size() - 4, 'a');
  request += "\r\n\r\n";
  ASSERT_EQ(request.size(), 2048u);
  std::vector<uint8_t> stream;
  for (size_t at = 0; at < request.size(); at += 1024) {
    std::vector<uint8_t> piece(request.begin() + at, request.begin() + std::min(at + 1024, request.size()));
    auto f = BuildRequestFrame(22, piece);
    ASSERT_EQ(f.size(), 1031u);
    stream.insert(stream.end(), f.begin(), f.end());
  }
  auto r = host.Transact(stream);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.frame[3], 0xFF);
  EXPECT_EQ(r.frame[4], 0xFF);
  EXPECT_EQ(c_->PendingReplyBytes(), 0u) << "one reply for the whole stream";
}

TEST_F(DriverTest, BadRequestFramesGetStatusLetters) {
  DriverHost host(*c_);
  auto frame = BuildRequestFrame(35, {});
  frame.back() ^= 0x01;
  auto r = host.Transact(frame);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.frame, StatusReply('C'));
  std::vector<uint8_t> garbage = {0x5E, 0x02, 0x61, 0x01, 0x00, 0x23, 0x24};
  r = host.Transact(garbage);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.frame, StatusReply('B'));
}

}  // namespace
}  // namespace kavsim::testing
