// The library object's life: factory, Attach on RAID, JBOD and failing
// controllers, repeated Attach, the system information cache, destruction.
#include <gtest/gtest.h>

#include <cstring>

#include "library/commands/CKavlib.h"
#include "tests/support/ScriptedTransport.h"

using kavtest::Bytes;
using kavtest::ScriptedReply;
using kavtest::ScriptedTransport;

namespace {

Bytes SubsystemRecord(const std::string& name) {
  Bytes record = kavtest::ToBytes(name);
  record.resize(64, 0);
  for (size_t i = 20; i < 64; ++i) record[i] = static_cast<uint8_t>(i);
  return record;
}

TEST(Factory, AllocatesAnUnattachedObjectAndFreesNullQuietly) {
  CKavlib* library = AllocateCKavlib();
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->GetTransport(), nullptr);
  EXPECT_FALSE(library->IsJbod());
  EXPECT_FALSE(library->HasEventBuffers());
  uint8_t info[kSystemInfoSize];
  EXPECT_EQ(library->GetSystemInfo(info), KAV_NO_TRANSPORT);
  FreeCKavlib(library);
  FreeCKavlib(nullptr);
}

TEST(Attach, NullTransportIsRefusedAndLeavesTheObjectUnattached) {
  CKavlib library;
  EXPECT_EQ(library.Attach(nullptr), KAV_INVALID_ARGUMENT);
  EXPECT_EQ(library.GetTransport(), nullptr);
}

TEST(Attach, RaidControllerSendsSubsystemThenSystemInfoAndGetsEventBuffers) {
  CKavlib library;
  auto* transport = new ScriptedTransport();
  transport->SetMaxChunk(3);
  transport->QueueFrame(SubsystemRecord("Kavor RAID Subsystem"));
  Bytes info = kavtest::SystemInfo(1, 100);
  info[0] = 0xAB;
  transport->QueueFrame(info);
  ASSERT_EQ(library.Attach(transport), KAV_OK);
  ASSERT_EQ(transport->Sent().size(), 2u);
  EXPECT_EQ(transport->Sent()[0].request, kavtest::CommandFrame(19));
  EXPECT_EQ(transport->Sent()[1].request, kavtest::CommandFrame(35));
  EXPECT_EQ(library.GetTransport(), transport);
  EXPECT_EQ(transport->m_nTimeout, 60);
  EXPECT_EQ(CKavlibTestAccess::MaxChunk(library), 8);
  EXPECT_FALSE(library.IsJbod());
  EXPECT_TRUE(library.HasEventBuffers());
  EXPECT_EQ(CKavlibTestAccess::EventRingPages(library), 6);  // 100 slots: 6 whole pages
  EXPECT_EQ(std::memcmp(library.CachedSystemInfo(), info.data(), kSystemInfoSize), 0);
  EXPECT_EQ(library.ControllerKind(), 1);
}

TEST(Attach, JbodSubsystemHasNoEventBuffers) {
  CKavlib library;
  int status = -1;
  kavtest::AttachScripted(library, kavtest::SystemInfo(), "Kavor JBOD Subsystem", &status);
  EXPECT_EQ(status, KAV_OK);
  EXPECT_TRUE(library.IsJbod());
  EXPECT_FALSE(library.HasEventBuffers());
}

TEST(Attach, FailedSystemInfoKeepsTheTransportWithoutEventBuffers) {
  CKavlib library;
  auto* transport = new ScriptedTransport();
  transport->QueueFrame(SubsystemRecord("Kavor RAID Subsystem"));
  transport->Queue(ScriptedReply::Status('M'));
  EXPECT_EQ(library.Attach(transport), KAV_STATUS_M);
  EXPECT_EQ(library.GetTransport(), transport);
  EXPECT_FALSE(library.HasEventBuffers());

  // The event commands would work now, but there is no copy of the log to fill.
  transport->ClearSent();
  int count = -1;
  EXPECT_EQ(library.ReadEvents(0, &count), KAV_NOT_AVAILABLE);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(transport->Sent().empty());
}

TEST(Attach, FailedSubsystemQueryMeansRaid) {
  CKavlib library;
  auto* transport = new ScriptedTransport();
  transport->Queue(ScriptedReply::Result(-7));
  transport->QueueFrame(kavtest::SystemInfo());
  EXPECT_EQ(library.Attach(transport), KAV_OK);
  EXPECT_FALSE(library.IsJbod());
}

TEST(Attach, SecondAttachReleasesTheEarlierTransportAndBuffers) {
  bool first_deleted = false;
  bool second_deleted = false;
  CKavlib library;
  ScriptedTransport* first = kavtest::AttachScripted(library, kavtest::SystemInfo());
  first->SetDeletedFlag(&first_deleted);
  ScriptedTransport* second = kavtest::AttachScripted(library, kavtest::SystemInfo(0, 32));
  second->SetDeletedFlag(&second_deleted);
  EXPECT_TRUE(first_deleted);
  EXPECT_EQ(library.GetTransport(), second);
  EXPECT_EQ(CKavlibTestAccess::EventRingPages(library), 2);

  // Handing over the attached transport again keeps it alive.
  second->QueueFrame(SubsystemRecord("Kavor RAID Subsystem"));
  second->QueueFrame(kavtest::SystemInfo());
  EXPECT_EQ(library.Attach(second), KAV_OK);
  EXPECT_FALSE(second_deleted);
  EXPECT_EQ(library.GetTransport(), second);
}

TEST(Attach, EventSlotCountsOutsideWholePagesAreBounded) {
  struct Case {
    uint32_t slots;
    int pages;
  } cases[] = {{128, 8}, {40, 2}, {15, 0}, {0, 0}, {0xFFFFFFFFu, 4096}};
  for (const auto& c : cases) {
    CKavlib library;
    int status = -1;
    kavtest::AttachScripted(library, kavtest::SystemInfo(0, c.slots), "Kavor RAID Subsystem",
                            &status);
    EXPECT_EQ(status, KAV_OK) << c.slots;
    EXPECT_EQ(CKavlibTestAccess::EventRingPages(library), c.pages) << c.slots;
    uint8_t record[kEventRecordSize];
    EXPECT_EQ(library.GetEvent(c.pages * 16, record), 0) << c.slots;
  }
}

TEST(Destruction, DeletesTheOwnedTransport) {
  bool deleted = false;
  {
    CKavlib library;
    kavtest::AttachScripted(library, kavtest::SystemInfo())->SetDeletedFlag(&deleted);
  }
  EXPECT_TRUE(deleted);
  deleted = false;
  CKavlib* library = AllocateCKavlib();
  kavtest::AttachScripted(*library, kavtest::SystemInfo())->SetDeletedFlag(&deleted);
  FreeCKavlib(library);
  EXPECT_TRUE(deleted);
}

TEST(SystemInfo, FailureKeepsTheCacheAndAShortReplyLeavesTheRestZero) {
  CKavlib library;
  Bytes info = kavtest::SystemInfo(2);
  auto* transport = kavtest::AttachScripted(library, info);
  uint8_t dst[kSystemInfoSize];
  transport->Queue(ScriptedReply::Result(-7));
  EXPECT_EQ(library.GetSystemInfo(dst), KAV_REPLY_TIMEOUT);
  EXPECT_EQ(dst[kSysInfoKind], 0);  // zeroed before the command
  EXPECT_EQ(library.ControllerKind(), 2);

  transport->QueueFrame({7, 7, 7});
  EXPECT_EQ(library.GetSystemInfo(dst), KAV_OK);
  EXPECT_EQ(dst[2], 7);
  EXPECT_EQ(dst[3], 0);
  EXPECT_EQ(library.CachedSystemInfo()[2], 7);
  EXPECT_EQ(library.ControllerKind(), 0);
  EXPECT_EQ(library.GetSystemInfo(nullptr), KAV_INVALID_ARGUMENT);
}

TEST(SubsystemInfo, HandsOutTheFirst44Bytes) {
  CKavlib library;
  auto* transport = kavtest::AttachScripted(library, kavtest::SystemInfo());
  transport->QueueFrame(SubsystemRecord("Kavor RAID Subsystem"));
  uint8_t record[64];
  std::memset(record, 0xCC, sizeof(record));
  ASSERT_EQ(library.GetSubsystemInfo(record), KAV_OK);
  EXPECT_EQ(std::memcmp(record, "Kavor RAID Subsystem", 20), 0);
  EXPECT_EQ(record[43], 43);
  EXPECT_EQ(record[44], 0xCC);
  EXPECT_EQ(library.GetSubsystemInfo(nullptr), KAV_INVALID_ARGUMENT);
}

}  // namespace
