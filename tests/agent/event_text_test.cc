// Message composition of controller events and the bounded trap queue.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "library/commands/CKavlib.h"
#include "win32/KavSnmpAgent/EventText.h"
#include "win32/KavSnmpAgent/TrapQueue.h"

namespace {

struct EventCase {
  int type, code, byte2;
  const char* name;  // up to 16 bytes, not necessarily terminated
  uint8_t kind, host_bus;
  bool valid;
  int severity;
  const char* message;  // for controller 2
};

const EventCase kEventCases[] = {
    {2, 11, 0, "Vol01", 0, 0, true, 1, "Controller#2 Vol01 Volume Degraded"},
    {2, 12, 0, "Vol01", 0, 0, true, 1, "Controller#2 Vol01 Volume Failed"},
    {1, 4, 0, "Raid Set # 00", 0, 0, true, 1, "Controller#2 Raid Set # 00 RaidSet Degraded"},
    {3, 7, 2, "Disk7", 0, 0, true, 1, "Controller#2 IDE Channel # 3 Device Failed"},
    {3, 0, 0, "Disk7", 0, 0, true, 3, "Controller#2 IDE Channel # 1 Device Inserted"},
    {3, 8, 11, "Disk7", 0, 0, true, 2, "Controller#2 IDE Channel #12 PCI Parity Error"},
    {3, 7, 2, "Enc1 Slot 3", 3, 0, true, 1, "Controller#2 Enc1 Slot 3 Device Failed"},
    {3, 10, 0, "Disk", 0, 0, true, 4, "Controller#2 IDE Channel # 1 PassThrough Disk Created"},
    {4, 0, 0, "", 0, 1, true, 4, "Controller#2 HOST SCSI Bus Reset\n"},
    {4, 1, 0, "", 0, 0, true, 4, "Controller#2 HOST IDE Bus UDMA CRC\n"},
    {5, 14, 0, "", 0, 0, true, 1, "Controller#2 H/W MONITOR Fan#2 Failed    "},
    {5, 39, 0, "", 0, 0, true, 1, "Controller#2 H/W MONITOR Test Event"},
    {5, 40, 0, "", 0, 0, true, 2, "Controller#2 H/W MONITOR Power On With Battery Backup"},
    {6, 8, 0, "Admin", 0, 0, true, 0, "Controller#2 Admin HTTP Log In"},
    {6, 23, 200, "Cage", 0, 0, true, 200, "Controller#2 Cage Removed"},
    // A name filling all 16 bytes gives 16 characters and nothing beyond.
    {1, 0, 0, "ABCDEFGHIJKLMNOPQRST", 0, 0, true, 3,
     "Controller#2 ABCDEFGHIJKLMNOP Create RaidSet"},
    // Unknown types and codes are skipped.
    {0, 0, 0, "", 0, 0, false, 0, ""},
    {7, 0, 0, "", 0, 0, false, 0, ""},
    {1, 5, 0, "", 0, 0, false, 0, ""},
    {2, 22, 0, "", 0, 0, false, 0, ""},
    {3, 13, 0, "", 0, 0, false, 0, ""},
    {4, 3, 0, "", 0, 1, false, 0, ""},
    {5, 41, 0, "", 0, 0, false, 0, ""},
    {6, 24, 0, "", 0, 0, false, 0, ""},
};

TEST(EventText, ComposesMessageSeverityAndTrapNumber) {
  for (const EventCase& c : kEventCases) {
    SCOPED_TRACE(std::to_string(c.type) + "/" + std::to_string(c.code));
    uint8_t record[kEventRecordSize] = {};
    record[0] = static_cast<uint8_t>(c.type);
    record[1] = static_cast<uint8_t>(c.code);
    record[2] = static_cast<uint8_t>(c.byte2);
    std::memcpy(record + 16, c.name, std::min<size_t>(16, std::strlen(c.name)));
    uint8_t info[kSystemInfoSize] = {};
    info[kSysInfoKind] = c.kind;
    info[kSysInfoHostBus] = c.host_bus;
    ComposedEvent event;
    ASSERT_EQ(ComposeEvent(2, record, info, &event), c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(event.message, c.message);
    EXPECT_EQ(event.severity, c.severity);
    EXPECT_EQ(event.specific, c.type * 128 + c.code);
  }
}

TEST(EventText, TimeStampForms) {
  // Calendar form: month 3, year 2024 (24), day 17, 09:05:07.
  uint32_t calendar = 0x80000000u | 3u << 27 | 24u << 22 | 17u << 17 | 9u << 12 | 5u << 6 | 7u;
  EXPECT_EQ(FormatEventTime(calendar), "2024-3-17  9:5:7");
  EXPECT_EQ(FormatEventTime(123456), "123456");
}

TEST(TrapQueue, KeepsOrderAndDropsOldestWhenFull) {
  TrapQueue queue(3);
  PendingTrap dropped;
  for (int i = 1; i <= 3; ++i) EXPECT_FALSE(queue.Push({i, "m" + std::to_string(i)}, &dropped));
  EXPECT_TRUE(queue.Push({4, "m4"}, &dropped));
  EXPECT_EQ(dropped.specific, 1);
  EXPECT_EQ(dropped.message, "m1");
  PendingTrap out;
  for (int expected = 2; expected <= 4; ++expected) {
    ASSERT_TRUE(queue.Pop(&out));
    EXPECT_EQ(out.specific, expected);
  }
  EXPECT_FALSE(queue.Pop(&out));
  EXPECT_GE(TrapQueue::kDefaultCapacity, 64u);
}

}  // namespace
