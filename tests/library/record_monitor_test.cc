// Record queries and hardware-monitor readings.
#include <gtest/gtest.h>

#include <cstring>

#include "library/commands/CKavlib.h"
#include "tests/support/ScriptedTransport.h"

using kavtest::Bytes;
using kavtest::ScriptedReply;
using kavtest::ScriptedTransport;

namespace {

class LibraryTest : public ::testing::Test {
 protected:
  void Attach(uint8_t kind = 0, uint8_t long_volumes = 0, uint8_t monitor_form = 5) {
    Bytes info = kavtest::SystemInfo(kind);
    info[kSysInfoLongVolumeRecords] = long_volumes;
    info[kSysInfoMonitorForm] = monitor_form;
    transport_ = kavtest::AttachScripted(library_, info);
  }
  const kavtest::SentExchange& OnlySent() {
    EXPECT_EQ(transport_->Sent().size(), 1u);
    return transport_->Sent().back();
  }
  CKavlib library_;
  ScriptedTransport* transport_ = nullptr;
};

using RecordQueries = LibraryTest;

TEST_F(RecordQueries, CopyTheRecordOrReportAnEmptyOne) {
  struct Case {
    const char* what;
    int size;          // bytes copied
    int empty_offset;  // byte tested for emptiness
    int zeroed;        // bytes zeroed for an empty record
    int (*query)(CKavlib&, uint8_t*);
    uint8_t code;
    Bytes payload;
  } cases[] = {
      {"raid set", 272, 61, 272, [](CKavlib& l, uint8_t* r) { return l.GetRaidSetInfo(0x105, r); },
       32, {0x05}},
      {"volume set", 64, 16, 128,
       [](CKavlib& l, uint8_t* r) { return l.GetVolumeSetInfo(3, r); }, 33, {3}},
      {"device", 256, 76, 256, [](CKavlib& l, uint8_t* r) { return l.GetDeviceInfo(4, r); }, 34,
       {4, 0}},
      {"device ex on kind 0", 256, 76, 256,
       [](CKavlib& l, uint8_t* r) { return l.GetDeviceInfoEx(2, 4, r); }, 34, {4, 0}},
  };
  for (const auto& c : cases) {
    Attach();
    Bytes body(300, 0x5A);
    transport_->QueueFrame(body);
    uint8_t record[300];
    std::memset(record, 0xCC, sizeof(record));
    EXPECT_EQ(c.query(library_, record), KAV_OK) << c.what;
    EXPECT_EQ(OnlySent().request, kavtest::CommandFrame(c.code, c.payload)) << c.what;
    EXPECT_EQ(record[c.size - 1], 0x5A) << c.what;
    EXPECT_EQ(record[c.size], 0xCC) << c.what;

    body[c.empty_offset] = 0;
    if (c.empty_offset == 16) std::memset(body.data() + 16, 0, 4);
    transport_->QueueFrame(body);
    std::memset(record, 0xCC, sizeof(record));
    EXPECT_EQ(c.query(library_, record), KAV_EMPTY_RECORD) << c.what;
    EXPECT_EQ(record[0], 0) << c.what;
    EXPECT_EQ(record[c.zeroed - 1], 0) << c.what;
    EXPECT_EQ(record[c.zeroed], 0xCC) << c.what;

    transport_->Queue(ScriptedReply::Status('C'));
    std::memset(record, 0xCC, sizeof(record));
    EXPECT_EQ(c.query(library_, record), 'C') << c.what;
    EXPECT_EQ(record[0], 0xCC) << c.what;
    EXPECT_EQ(c.query(library_, nullptr), KAV_INVALID_ARGUMENT) << c.what;
  }
}

TEST_F(RecordQueries, LongVolumeRecordsCopy128Bytes) {
  Attach(0, 1);
  transport_->QueueFrame(Bytes(200, 0x77));
  uint8_t record[200];
  std::memset(record, 0xCC, sizeof(record));
  EXPECT_EQ(library_.GetVolumeSetInfo(0, record), KAV_OK);
  EXPECT_EQ(record[127], 0x77);
  EXPECT_EQ(record[128], 0xCC);
}

TEST_F(RecordQueries, Kind3AddressesDevicesByUnit) {
  Attach(3);
  uint8_t record[256];
  EXPECT_EQ(library_.GetDeviceInfo(1, record), KAV_NOT_AVAILABLE);
  EXPECT_TRUE(transport_->Sent().empty());
  transport_->QueueFrame(Bytes(256, 1));
  EXPECT_EQ(library_.GetDeviceInfoEx(7, 2, record), KAV_OK);
  EXPECT_EQ(OnlySent().payload(), (Bytes{2, 7}));
}

TEST_F(RecordQueries, CheckSubsystemKnowsTwoNames) {
  struct Case {
    const char* name;
    int status;
  } cases[] = {{"Kavor RAID Subsystem", 0}, {"Kavor JBOD Subsystem", 0}, {"Kavor RAID Subsystex", 1},
               {"", 1}};
  Attach();
  for (const auto& c : cases) {
    Bytes body = kavtest::ToBytes(c.name);
    body.resize(44, 0);
    transport_->QueueFrame(body);
    EXPECT_EQ(library_.CheckSubsystem(), c.status) << c.name;
  }
  transport_->Queue(ScriptedReply::Result(-8));
  EXPECT_EQ(library_.CheckSubsystem(), KAV_WRITE_TIMEOUT);
}

using HardwareMonitor = LibraryTest;

// G1 = 2 (3000, 3100), G2 = 1 (0x0102, 0x0304), G3 = 3 (0x2D, 0x85, 0x7F),
// G4 = 1 (0b101), then a trailer.
Bytes MonitorBody(const Bytes& trailer) {
  Bytes body = {2, 1, 3, 1, 0xB8, 0x0B, 0x1C, 0x0C, 0x02, 0x01, 0x04, 0x03, 0x2D, 0x85, 0x7F, 0x05};
  body.insert(body.end(), trailer.begin(), trailer.end());
  return body;
}

TEST_F(HardwareMonitor, PicksOneGroupByType) {
  struct Case {
    int type;
    Bytes trailer;
    std::vector<uint16_t> expected;  // count, values
  } cases[] = {
      {1, {0x30}, {2, 3000, 3100}},
      {2, {0x30}, {2, 0x0102, 0x0304}},
      {3, {0x30}, {3, 45, 0, 127}},
      {4, {0x30}, {1, 1}},
      {5, {0x30}, {1, 0x30}},
      {5, {0x55}, {0}},
      {5, {}, {0}},
      {6, {}, {0}},
      {6, {0x55, 0xAA, 0x01, 0x40}, {1, 64}},
      {5, {0x55, 0xAA, 0x01, 0x40}, {0}},
      {6, {0x30}, {0}},
      {7, {0x30}, {0}},
  };
  for (const auto& c : cases) {
    Attach();
    transport_->QueueFrame(MonitorBody(c.trailer));
    uint16_t out[kHardwareMonitorValues];
    std::memset(out, 0xCC, sizeof(out));
    ASSERT_EQ(library_.GetHardwareMonitor(c.type, out), KAV_OK) << c.type;
    EXPECT_EQ(OnlySent().request, kavtest::CommandFrame(27));
    std::vector<uint16_t> expected = c.expected;
    expected.resize(kHardwareMonitorValues, 0);
    EXPECT_EQ(std::vector<uint16_t>(out, out + kHardwareMonitorValues), expected)
        << "type " << c.type << " trailer " << c.trailer.size();
  }
}

TEST_F(HardwareMonitor, GroupFourReportsOneBitPerValue) {
  Attach();
  Bytes body = {0, 0, 0, 10, 0xFF};  // G4 = 10 counted, one status byte
  transport_->QueueFrame(body);
  uint16_t out[kHardwareMonitorValues];
  ASSERT_EQ(library_.GetHardwareMonitor(4, out), KAV_OK);
  EXPECT_EQ(out[0], 10);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out[1 + i], 1 << i);
  EXPECT_EQ(out[9], 0);
  EXPECT_EQ(out[10], 0);
}

TEST_F(HardwareMonitor, CountsBeyondTheOutputAreCutTo50) {
  Attach();
  Bytes body(4 + 2 * 200 + 4 * 200 + 1, 0);
  body[0] = 200;
  body[1] = 200;
  for (int i = 0; i < 200; ++i) body[4 + 2 * i] = static_cast<uint8_t>(i);
  for (int type : {1, 2}) {
    transport_->QueueFrame(body);
    uint16_t out[kHardwareMonitorValues + 1];
    out[kHardwareMonitorValues] = 0xBEEF;
    ASSERT_EQ(library_.GetHardwareMonitor(type, out), KAV_OK);
    EXPECT_EQ(out[0], 50) << type;
    EXPECT_EQ(out[kHardwareMonitorValues], 0xBEEF) << type;
  }
}

TEST_F(HardwareMonitor, GroupsRunningPastTheReplyLeaveNoTrailer) {
  Attach();
  transport_->QueueFrame({0, 0, 9, 0, 1, 2});  // G3 = 9 announced, 2 present
  uint16_t out[kHardwareMonitorValues];
  ASSERT_EQ(library_.GetHardwareMonitor(5, out), KAV_OK);
  EXPECT_EQ(out[0], 0);
}

TEST_F(HardwareMonitor, ArgumentChecksComeBeforeTheExchange) {
  uint16_t out[kHardwareMonitorValues];
  Attach(3);
  EXPECT_EQ(library_.GetHardwareMonitor(9, out), KAV_NOT_AVAILABLE);
  EXPECT_EQ(library_.GetHardwareMonitor(1, out), KAV_NOT_AVAILABLE);
  Attach(0);
  EXPECT_EQ(library_.GetHardwareMonitor(0, out), KAV_INVALID_ARGUMENT);
  EXPECT_EQ(library_.GetHardwareMonitor(8, out), KAV_INVALID_ARGUMENT);
  EXPECT_EQ(library_.GetHardwareMonitor(1, nullptr), KAV_INVALID_ARGUMENT);
  EXPECT_TRUE(transport_->Sent().empty());
  transport_->Queue(ScriptedReply::Result(-2));
  std::memset(out, 0xCC, sizeof(out));
  EXPECT_EQ(library_.GetHardwareMonitor(1, out), KAV_READ_FAILED);
  EXPECT_EQ(out[0], 0);
}

TEST_F(HardwareMonitor, RawReplyNeedsMonitorForm5) {
  Attach(0, 0, 4);
  uint8_t buffer[kHardwareMonitorRawSize];
  EXPECT_EQ(library_.GetHardwareMonitorRaw(buffer), KAV_INVALID_ARGUMENT);
  Attach(0, 0, 5);
  EXPECT_EQ(library_.GetHardwareMonitorRaw(nullptr), KAV_INVALID_ARGUMENT);
  EXPECT_TRUE(transport_->Sent().empty());
  const Bytes body = MonitorBody({0x30});
  transport_->QueueFrame(body);
  std::memset(buffer, 0xCC, sizeof(buffer));
  ASSERT_EQ(library_.GetHardwareMonitorRaw(buffer), KAV_OK);
  EXPECT_EQ(Bytes(buffer, buffer + body.size()), body);
  EXPECT_EQ(buffer[body.size()], 0xCC);
}

}  // namespace
