// Record queries: raid set, volume set and device records, and the check of
// the subsystem name.
#include <cstring>

#include "library/commands/CKavlib.h"
#include "library/commands/CommandCodes.h"

using namespace kavcmd;

namespace {

uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

int CKavlib::GetRaidSetInfo(int number, uint8_t* record) {
  if (record == nullptr) return KAV_INVALID_ARGUMENT;
  uint8_t reply[kCommandReplyArea] = {};
  const uint8_t payload[1] = {static_cast<uint8_t>(number)};
  int length = 0;
  const int status = SendCommand(kCmdRaidSetInfo, payload, 1, reply, sizeof(reply), &length);
  if (status != KAV_OK) return status;
  std::memcpy(record, reply, kRaidSetRecordSize);
  if (record[61] == 0) {
    std::memset(record, 0, kRaidSetRecordSize);
    return KAV_EMPTY_RECORD;
  }
  return KAV_OK;
}

int CKavlib::GetVolumeSetInfo(int number, uint8_t* record) {
  if (record == nullptr) return KAV_INVALID_ARGUMENT;
  uint8_t reply[kCommandReplyArea] = {};
  const uint8_t payload[1] = {static_cast<uint8_t>(number)};
  int length = 0;
  const int status = SendCommand(kCmdVolumeSetInfo, payload, 1, reply, sizeof(reply), &length);
  if (status != KAV_OK) return status;
  const int size = m_SystemInfo[kSysInfoLongVolumeRecords] != 0 ? 128 : 64;
  std::memcpy(record, reply, static_cast<size_t>(size));
  if (ReadLe32(record + 16) == 0) {
    std::memset(record, 0, kVolumeSetRecordSize);
    return KAV_EMPTY_RECORD;
  }
  return KAV_OK;
}

namespace {

int ReadDeviceRecord(CKavlib& library, uint8_t device, uint8_t second, uint8_t* record) {
  uint8_t reply[kCommandReplyArea] = {};
  const uint8_t payload[2] = {device, second};
  int length = 0;
  const int status = library.SendCommand(kCmdDeviceInfo, payload, 2, reply, sizeof(reply), &length);
  if (status != KAV_OK) return status;
  std::memcpy(record, reply, kDeviceRecordSize);
  if (record[76] == 0) {
    std::memset(record, 0, kDeviceRecordSize);
    return KAV_EMPTY_RECORD;
  }
  return KAV_OK;
}

}  // namespace

int CKavlib::GetDeviceInfoEx(int unit, int device, uint8_t* record) {
  if (record == nullptr) return KAV_INVALID_ARGUMENT;
  const uint8_t second = ControllerKind() == 3 ? static_cast<uint8_t>(unit) : 0;
  return ReadDeviceRecord(*this, static_cast<uint8_t>(device), second, record);
}

int CKavlib::GetDeviceInfo(int device, uint8_t* record) {
  if (ControllerKind() == 3) return KAV_NOT_AVAILABLE;
  if (record == nullptr) return KAV_INVALID_ARGUMENT;
  return ReadDeviceRecord(*this, static_cast<uint8_t>(device), 0, record);
}

int CKavlib::CheckSubsystem() {
  uint8_t reply[kCommandReplyArea] = {};
  int length = 0;
  const int status = SendCommand(kCmdSubsystemInfo, nullptr, 0, reply, sizeof(reply), &length);
  if (status != KAV_OK) return status;
  if (std::memcmp(reply, kRaidSubsystemName, kSubsystemNameSize) == 0) return KAV_OK;
  if (std::memcmp(reply, kJbodSubsystemName, kSubsystemNameSize) == 0) return KAV_OK;
  return KAV_UNKNOWN_SUBSYSTEM;
}
