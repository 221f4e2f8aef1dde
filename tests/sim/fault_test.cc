// Each fault a controller can be switched to, as the host sees it, and that
// switching it off restores normal answers.
#include <gtest/gtest.h>

#include <functional>

#include "DriverHost.h"

namespace kavsim::testing {
namespace {

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    sim_ = Simulator::LoadText(R"({"controllers": [{"port": 0, "event_slots": 64}]})", &error);
    ASSERT_TRUE(sim_) << error;
    c_ = sim_->At(0);
  }
  std::unique_ptr<Simulator> sim_;
  Controller* c_ = nullptr;
};

TEST_F(FaultTest, EachFaultShowsAndGoesAway) {
  struct Case {
    Fault fault;
    std::function<void(DriverHost&, Controller&)> check;
  } cases[] = {
      {Fault::kDelayReply,
       [](DriverHost& h, Controller&) {
         auto r = h.Command(35);
         EXPECT_TRUE(r.ok);
         EXPECT_EQ(r.empty_reads, 3);
       }},
      {Fault::kSplitReply,
       [](DriverHost& h, Controller&) {
         auto p = Block(miniport::kPrepareFirst, miniport::kWindow);
         h.Control(p);
         auto f = BuildRequestFrame(35, {});
         ASSERT_EQ(h.Write(f.data(), f.size()), 1);
         EXPECT_EQ(h.Read()->size(), 3u) << "too short to tell the frame length";
         auto r = h.Command(35);
         EXPECT_TRUE(r.ok);
         EXPECT_GT(r.reads, 2);
         EXPECT_TRUE(ValidReply(r.frame));
       }},
      {Fault::kNoAnswer,
       [](DriverHost& h, Controller& c) {
         auto r = h.Transact(BuildRequestFrame(35, {}), 50);
         EXPECT_FALSE(r.ok);
         EXPECT_TRUE(r.frame.empty());
         EXPECT_EQ(c.PendingReplyBytes(), 0u);
       }},
      {Fault::kRefuseWrites,
       [](DriverHost& h, Controller&) {
         auto f = BuildRequestFrame(35, {});
         EXPECT_EQ(h.Write(f.data(), f.size()), 0);
       }},
      {Fault::kFailControl,
       [](DriverHost& h, Controller&) {
         auto p = Block(miniport::kProbe, 0, nullptr, 28);
         EXPECT_FALSE(h.Control(p));
         EXPECT_EQ(h.Read(), std::nullopt);
       }},
      {Fault::kBadChecksum,
       [](DriverHost& h, Controller&) {
         auto r = h.Command(35);
         ASSERT_TRUE(r.ok);
         EXPECT_EQ(r.frame.size(), 262u);
         EXPECT_FALSE(ValidReply(r.frame));
       }},
      {Fault::kBadHeader,
       [](DriverHost& h, Controller&) {
         auto r = h.Command(35);
         ASSERT_TRUE(r.ok);
         EXPECT_NE(r.frame[1], 0x01);
       }},
      {Fault::kStatusLetter,
       [](DriverHost& h, Controller& c) {
         c.AppendEvent(1, 0, 0, "");
         EXPECT_EQ(h.Status(36), 'E');
         EXPECT_EQ(c.EventPointer(), 1) << "the refused command was not carried out";
         ASSERT_TRUE(c.SetFaultLetter('M'));
         EXPECT_FALSE(c.SetFaultLetter('Z'));
         EXPECT_EQ(h.Status(35), 'M');
         c.SetFaultLetter('E');
       }},
      {Fault::kMoveEventPointer,
       [](DriverHost& h, Controller&) {
         auto a = h.Body(25);
         h.Body(26, {0});
         auto b = h.Body(25);
         ASSERT_EQ(a.size(), 1u);
         ASSERT_EQ(b.size(), 1u);
         EXPECT_NE(a[0], b[0]);
       }},
      {Fault::kOversizeReply,
       [](DriverHost& h, Controller&) {
         auto r = h.Command(25);
         ASSERT_TRUE(r.ok);
         ASSERT_GT(r.frame.size(), 8u);
         size_t announced = r.frame[5] | (size_t{r.frame[6]} << 8) | (size_t{r.frame[7]} << 16);
         EXPECT_GT(announced + 6, 0x30000u);
       }},
      {Fault::kDropConnection, [](DriverHost& h, Controller&) {
         // The device server hangs up; the driver model itself answers as usual.
         EXPECT_TRUE(h.Command(35).ok);
       }},
  };
  ASSERT_EQ(std::size(cases), static_cast<size_t>(kFaultCount));
  for (auto& c : cases) {
    SCOPED_TRACE(FaultName(c.fault));
    DriverHost host(*c_);
    ASSERT_TRUE(c_->SetFault(FaultName(c.fault), true));
    EXPECT_TRUE(c_->HasFault(c.fault));
    EXPECT_NE(c_->Describe().find(FaultName(c.fault)), std::string::npos);
    c.check(host, *c_);
    ASSERT_TRUE(c_->SetFault(FaultName(c.fault), false));
    auto r = host.Command(35);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.frame.size(), 262u);
    EXPECT_TRUE(ValidReply(r.frame));
    EXPECT_EQ(r.empty_reads, 0);
  }
  EXPECT_NE(c_->Describe().find("faults: none"), std::string::npos);
}

TEST_F(FaultTest, UnknownFaultNamesAreRejected) {
  EXPECT_FALSE(c_->SetFault("slow", true));
  EXPECT_FALSE(c_->SetFault("", true));
  Fault f;
  for (const std::string& name : FaultNames()) {
    ASSERT_TRUE(ParseFault(name, &f)) << name;
    EXPECT_EQ(name, FaultName(f));
  }
}

}  // namespace
}  // namespace kavsim::testing
