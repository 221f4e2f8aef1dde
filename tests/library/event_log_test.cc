// Event log retrieval against a small scripted controller log: whole and
// incremental reads, a wrapping pointer, a pointer that keeps moving, failures.
#include <gtest/gtest.h>

#include <cstring>

#include "library/commands/CKavlib.h"
#include "tests/support/ScriptedTransport.h"

using kavtest::Bytes;
using kavtest::ScriptedReply;
using kavtest::ScriptedTransport;

namespace {

// A controller's log: every event ever logged, numbered from 1; the pointer
// is the count modulo the ring size.
struct ControllerLog {
  int slots = 128;
  int logged = 0;
  int pointer_override = -1;     // reported instead of the real pointer when set
  bool pointer_moves_on_read = false;
  int fail_page_reads = 0;       // the next this many page reads answer 'E'
  int pointer_reads = 0;
  std::vector<int> pages_read;

  static Bytes Record(int number) {
    Bytes record(kEventRecordSize, 0);
    if (number <= 0) return record;
    record[0] = 3;
    std::memcpy(record.data() + 4, &number, 4);
    const std::string name = "Dev" + std::to_string(number);
    std::memcpy(record.data() + 16, name.data(), name.size());
    return record;
  }
  ScriptedReply Answer(const kavtest::SentExchange& sent) {
    switch (sent.code()) {
      case 25: {
        ++pointer_reads;
        if (pointer_moves_on_read) ++logged;
        const int pointer = pointer_override >= 0 ? pointer_override : logged % slots;
        return ScriptedReply::Frame({static_cast<uint8_t>(pointer)});
      }
      case 26: {
        const int page = sent.payload().at(0);
        pages_read.push_back(page);
        if (fail_page_reads > 0) {
          --fail_page_reads;
          return ScriptedReply::Status('E');
        }
        Bytes body;
        for (int r = 0; r < 16; ++r) {
          const int age = 16 * page + 15 - r;  // 0 is the most recent
          const Bytes record = Record(logged - age);
          body.insert(body.end(), record.begin(), record.end());
        }
        return ScriptedReply::Frame(body);
      }
      case 36:
        logged = 0;
        return ScriptedReply::Status('A');
      default:
        return ScriptedReply::Status('H');
    }
  }
};

class EventLog : public ::testing::Test {
 protected:
  void Attach(int slots) {
    log_.slots = slots;
    transport_ = kavtest::AttachScripted(library_, kavtest::SystemInfo(0, static_cast<uint32_t>(slots)));
    transport_->SetResponder([this](const kavtest::SentExchange& sent) { return log_.Answer(sent); });
  }
  int EventNumber(int index) {
    uint8_t record[kEventRecordSize];
    if (library_.GetEvent(index, record) != 1) return -1;
    int number = 0;
    std::memcpy(&number, record + 4, 4);
    return number;
  }
  void Reset() {
    log_.pages_read.clear();
    log_.pointer_reads = 0;
  }

  CKavlib library_;
  ScriptedTransport* transport_ = nullptr;
  ControllerLog log_;
};

TEST_F(EventLog, ModeZeroReadsTheWholeLogAndMarksItSeen) {
  Attach(128);
  log_.logged = 140;
  int count = -1;
  ASSERT_EQ(library_.ReadEvents(0, &count), KAV_OK);
  EXPECT_EQ(count, 128);
  EXPECT_EQ(log_.pages_read, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(CKavlibTestAccess::PreviousEventPointer(library_), 140 % 128);
  for (int i = 0; i < 128; ++i) EXPECT_EQ(EventNumber(i), 140 - i) << i;
  EXPECT_EQ(EventNumber(128), -1);
  EXPECT_EQ(EventNumber(-1), -1);

  Reset();
  ASSERT_EQ(library_.ReadEvents(1, &count), KAV_OK);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(log_.pointer_reads, 1);
  EXPECT_TRUE(log_.pages_read.empty());
}

TEST_F(EventLog, IncrementalReadsFollowAWrappingPointer) {
  struct Case {
    int previous;
    int logged_after;  // events logged in total when the read runs
    int expected;
    std::vector<int> pages;
  } cases[] = {
      {120, 128 + 5, 13, {0}},  // pointer 120 -> 5 around the ring
      {10, 42, 32, {0, 1}},
      {10, 11, 1, {0}},
      {0, 17, 17, {0, 1}},
  };
  for (const auto& c : cases) {
    Attach(128);
    CKavlibTestAccess::SetPreviousEventPointer(library_, c.previous);
    log_.logged = c.logged_after;
    Reset();
    int count = -1;
    ASSERT_EQ(library_.ReadEvents(1, &count), KAV_OK);
    EXPECT_EQ(count, c.expected) << c.previous;
    EXPECT_EQ(log_.pages_read, c.pages) << c.previous;
    EXPECT_EQ(log_.pointer_reads, 2);
    for (int i = 0; i < count; ++i) EXPECT_EQ(EventNumber(i), c.logged_after - i) << i;
    EXPECT_EQ(CKavlibTestAccess::PreviousEventPointer(library_), c.logged_after % 128);
    EXPECT_EQ(CKavlibTestAccess::NewEventCount(library_), c.expected);
  }
}

TEST_F(EventLog, APointerThatKeepsMovingGivesUpAfter30Attempts) {
  Attach(128);
  log_.pointer_moves_on_read = true;
  CKavlibTestAccess::SetPreviousEventPointer(library_, 0);
  log_.logged = 0;
  int count = -1;
  EXPECT_EQ(library_.ReadEvents(1, &count), KAV_OK);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(log_.pointer_reads, 60);
  EXPECT_EQ(CKavlibTestAccess::PreviousEventPointer(library_), 0);
}

TEST_F(EventLog, ModeZeroMakesOneAttemptOnly) {
  Attach(64);
  log_.pointer_moves_on_read = true;
  int count = -1;
  EXPECT_EQ(library_.ReadEvents(0, &count), KAV_OK);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(log_.pointer_reads, 2);
  EXPECT_EQ(CKavlibTestAccess::PreviousEventPointer(library_), 0);
}

TEST_F(EventLog, FailedPageReads) {
  Attach(64);
  log_.logged = 20;
  log_.fail_page_reads = 1;
  int count = -1;
  EXPECT_EQ(library_.ReadEvents(0, &count), 'E');
  EXPECT_EQ(count, 0);
  EXPECT_EQ(CKavlibTestAccess::PreviousEventPointer(library_), 0);

  // An incremental read tries again with everything read afresh.
  log_.fail_page_reads = 1;
  Reset();
  EXPECT_EQ(library_.ReadEvents(1, &count), KAV_OK);
  EXPECT_EQ(count, 20);
  EXPECT_EQ(log_.pages_read, (std::vector<int>{0, 0, 1}));

  log_.logged = 25;
  log_.fail_page_reads = 1000;
  EXPECT_EQ(library_.ReadEvents(1, &count), 'E');
  EXPECT_EQ(count, 0);
  EXPECT_EQ(CKavlibTestAccess::PreviousEventPointer(library_), 20);
}

TEST_F(EventLog, PointerBeyondTheRingIsBoundedByTheRing) {
  Attach(32);
  log_.logged = 40;
  log_.pointer_override = 200;
  int count = -1;
  ASSERT_EQ(library_.ReadEvents(1, &count), KAV_OK);
  EXPECT_EQ(count, 32);
  EXPECT_EQ(log_.pages_read, (std::vector<int>{0, 1}));
  EXPECT_EQ(EventNumber(31), 40 - 31);
  EXPECT_EQ(EventNumber(32), -1);
}

TEST_F(EventLog, ALargerSlotCountLaterDoesNotOutgrowTheRing) {
  Attach(32);
  transport_->Queue(ScriptedReply::Frame(kavtest::SystemInfo(0, 256)));
  uint8_t info[kSystemInfoSize];
  ASSERT_EQ(library_.GetSystemInfo(info), KAV_OK);
  log_.logged = 300;
  int count = -1;
  ASSERT_EQ(library_.ReadEvents(0, &count), KAV_OK);
  EXPECT_EQ(count, 32);
  EXPECT_EQ(EventNumber(31), 300 - 31);
  EXPECT_EQ(EventNumber(32), -1);
}

TEST_F(EventLog, ClearResetsWhatWasSeen) {
  Attach(128);
  log_.logged = 7;
  int count = -1;
  ASSERT_EQ(library_.ReadEvents(0, &count), KAV_OK);
  ASSERT_EQ(library_.ClearEventLog(), KAV_OK);
  EXPECT_EQ(CKavlibTestAccess::PreviousEventPointer(library_), 0);
  EXPECT_EQ(CKavlibTestAccess::NewEventCount(library_), 0);
  EXPECT_EQ(CKavlibTestAccess::CurrentEventPointer(library_), 7);
}

TEST_F(EventLog, PointerReadAndArguments) {
  Attach(128);
  log_.logged = 9;
  int pointer = -1;
  EXPECT_EQ(library_.GetEventPointer(&pointer), KAV_OK);
  EXPECT_EQ(pointer, 9);
  EXPECT_EQ(library_.GetEventPointer(nullptr), KAV_INVALID_ARGUMENT);
  EXPECT_EQ(library_.ReadEvents(1, nullptr), KAV_INVALID_ARGUMENT);
  uint8_t record[kEventRecordSize];
  EXPECT_EQ(library_.GetEvent(0, nullptr), 0);
  EXPECT_EQ(library_.GetEvent(0, record), 1);

  transport_->Queue(ScriptedReply::Result(-7));
  pointer = -1;
  EXPECT_EQ(library_.GetEventPointer(&pointer), KAV_REPLY_TIMEOUT);
  EXPECT_EQ(pointer, -1);
  EXPECT_EQ(CKavlibTestAccess::CurrentEventPointer(library_), 9);
}

TEST_F(EventLog, JbodAndUnattachedObjectsHaveNoLog) {
  CKavlib jbod;
  ScriptedTransport* transport = kavtest::AttachScripted(jbod, kavtest::SystemInfo(), "Kavor JBOD Subsystem");
  int count = -1;
  EXPECT_EQ(jbod.ReadEvents(0, &count), KAV_NOT_AVAILABLE);
  EXPECT_EQ(jbod.ClearEventLog(), KAV_NOT_AVAILABLE);
  int pointer = 0;
  EXPECT_EQ(jbod.GetEventPointer(&pointer), KAV_NOT_AVAILABLE);
  EXPECT_TRUE(transport->Sent().empty());
  CKavlib unattached;
  EXPECT_EQ(unattached.ReadEvents(1, &count), KAV_NO_TRANSPORT);
  uint8_t record[kEventRecordSize];
  EXPECT_EQ(unattached.GetEvent(0, record), 0);
}

}  // namespace
