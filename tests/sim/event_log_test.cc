// The event ring: pages newest first, the one-byte pointer wrapping at the ring
// size, clearing, and what command 25 and 26 hand out.
#include <gtest/gtest.h>

#include "DriverHost.h"
#include "sim/model/EventLog.h"

namespace kavsim::testing {
namespace {

// Events numbered by their code byte and name so that order is visible.
void Log(EventLog& log, int first, int count) {
  for (int i = first; i < first + count; ++i) {
    log.Append(2, static_cast<uint8_t>(i % 256), 0, 0x80000000u, "Ev" + std::to_string(i));
  }
}

TEST(EventLogTest, PointerWrapsAtTheRingSize) {
  struct Case {
    uint32_t slots;
    int events;
    int pointer;
  } cases[] = {{16, 15, 15}, {16, 16, 0}, {128, 133, 5}, {256, 255, 255}, {256, 257, 1}};
  for (const Case& c : cases) {
    EventLog log(c.slots);
    Log(log, 0, c.events);
    EXPECT_EQ(log.Pointer(), c.pointer) << c.slots << " slots, " << c.events << " events";
  }
}

TEST(EventLogTest, PagesHoldTheNewestRecordsNewestLast) {
  EventLog log(128);
  Log(log, 0, 140);  // wrapped: the ring holds events 12..139
  uint8_t page[kEventPageSize];
  for (uint32_t j = 0; j < log.Pages(); ++j) {
    ASSERT_TRUE(log.Page(j, page));
    for (uint32_t r = 0; r < 16; ++r) {
      int expected = 139 - static_cast<int>(16 * j + 15 - r);
      EXPECT_EQ(std::string(reinterpret_cast<char*>(page + r * 32 + 16)), "Ev" + std::to_string(expected))
          << "page " << j << " record " << r;
    }
  }
  EXPECT_FALSE(log.Page(log.Pages(), page));
}

TEST(EventLogTest, UnwrittenSlotsAreZeroAndNamesMayFillSixteenBytes) {
  EventLog log(32);
  log.Append(3, 7, 2, 0x1234, "ABCDEFGHIJKLMNOPQRST");
  uint8_t page[kEventPageSize];
  ASSERT_TRUE(log.Page(0, page));
  const uint8_t* newest = page + 15 * 32;
  EXPECT_EQ(newest[0], 3);
  EXPECT_EQ(newest[2], 2);
  EXPECT_EQ(Get32(newest + 4), 0x1234u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(newest + 16), 16), "ABCDEFGHIJKLMNOP");
  for (size_t i = 0; i < 15 * 32; ++i) ASSERT_EQ(page[i], 0) << i;
  ASSERT_TRUE(log.Page(1, page));
  for (size_t i = 0; i < kEventPageSize; ++i) ASSERT_EQ(page[i], 0) << i;
}

TEST(EventLogTest, CalendarStampRoundTrips) {
  uint32_t s = CalendarStamp(2024, 3, 7, 14, 5, 9);
  EXPECT_NE(s & 0x80000000u, 0u);
  CalendarTime t{};
  ASSERT_TRUE(DecodeCalendarStamp(s, &t));
  EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second}),
            std::vector<int>({2024, 3, 7, 14, 5, 9}));
  EXPECT_FALSE(DecodeCalendarStamp(12345, &t));
}

// What a host sees: the pointer after a wrap, the forward distance, the pages.
TEST(EventLogTest, HostReadsNewEventsAcrossTheWrap) {
  std::string error;
  auto sim = Simulator::LoadText(R"({"controllers": [{"port": 0, "event_slots": 128}]})", &error);
  ASSERT_TRUE(sim) << error;
  Controller& c = *sim->At(0);
  DriverHost host(c);
  for (int i = 0; i < 120; ++i) c.AppendEvent(1, 0, 0, "Old");
  auto before = host.Body(25);
  ASSERT_EQ(before.size(), 1u);
  EXPECT_EQ(before[0], 120);
  for (int i = 0; i < 13; ++i) c.AppendEvent(2, static_cast<uint8_t>(i), 0, "New" + std::to_string(i));
  auto after = host.Body(25);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0], 5);
  int fresh = (after[0] - before[0] + 128) % 128;
  ASSERT_EQ(fresh, 13);
  auto page = host.Body(26, {0});
  ASSERT_EQ(page.size(), 512u);
  for (int k = 0; k < fresh; ++k) {
    const uint8_t* rec = page.data() + (15 - k) * 32;  // k-th most recent
    EXPECT_EQ(rec[1], 12 - k);
  }
  EXPECT_EQ(page[(15 - 13) * 32 + 0], 1) << "the one before is old";

  EXPECT_EQ(host.Status(36), 'A');
  EXPECT_EQ(host.Body(25), std::vector<uint8_t>{0});
  // A pointer value that looks like a status letter is still data.
  for (int i = 0; i < 'A'; ++i) c.AppendEvent(1, 0, 0, "");
  auto r = host.Command(25);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.frame, DataReply({'A'}));
}

}  // namespace
}  // namespace kavsim::testing
