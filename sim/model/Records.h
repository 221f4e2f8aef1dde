// The records the firmware hands out, built from its state. Field offsets are
// the firmware's own layout; the host reads only some of them.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/model/FirmwareState.h"

namespace kavsim {

namespace layout {
// System information (command 35), 256 bytes.
inline constexpr int kSysModel = 0, kSysSerial = 16, kSysVendor = 32, kSysFirmware = 56,
                     kSysBoot = 72, kSysMemory = 88, kSysAddress = 116, kSysEventSlots = 148,
                     kSysNetmask = 152, kSysHttpPort = 156, kSysRaidSets = 160,
                     kSysVolumes = 161, kSysDisks = 162, kSysMonitorComplete = 174,
                     kSysHostBus = 175, kSysLayout177 = 177, kSysAvailability = 179,
                     kSysLayout188 = 188, kSysKind = 189, kSysHighestUnit = 193,
                     kSysLongVolumes = 194, kSysUtcClock = 195;
// Raid set record (command 32), 272 bytes.
inline constexpr int kRaidName = 0, kRaidCapacity = 16, kRaidFree = 20, kRaidMemberCount = 24,
                     kRaidMembers = 25, kRaidState = 60, kRaidPresent = 61;
inline constexpr int kRaidMaxMembers = 32;
// Volume set record (command 33), 128 bytes (64 on controllers with short records).
inline constexpr int kVolName = 0, kVolCapacity = 16, kVolRaidSet = 20, kVolLevel = 21,
                     kVolState = 22, kVolProgress = 23, kVolStripe = 28, kVolLevelCopy = 48,
                     kVolCache = 49, kVolQueuing = 50;
// Device record (command 34), 256 bytes.
inline constexpr int kDevModel = 0, kDevSerial = 40, kDevFirmware = 60, kDevCapacity = 68,
                     kDevState = 72, kDevRaidSet = 73, kDevUnit = 74, kDevNumber = 75,
                     kDevPresent = 76, kDevTemperature = 77;
}  // namespace layout

inline constexpr size_t kSystemInfoSize = 256;
inline constexpr size_t kSubsystemRecordSize = 64;
inline constexpr size_t kRaidRecordSize = 272;
inline constexpr size_t kDeviceRecordSize = 256;
inline constexpr int kMaxRaidSets = 16;   // numbers past these are out of range ('T')
inline constexpr int kMaxVolumes = 16;
inline constexpr int kMaxDevices = 32;

std::vector<uint8_t> SystemInfoRecord(const FirmwareState& s);
std::vector<uint8_t> SubsystemRecord(const FirmwareState& s);
// Empty records (all zero) for a number in range without an object.
std::vector<uint8_t> RaidSetRecord(const FirmwareState& s, int number);
std::vector<uint8_t> VolumeSetRecord(const FirmwareState& s, int number);
std::vector<uint8_t> DeviceRecord(const FirmwareState& s, int device, int unit);
std::vector<uint8_t> HardwareMonitorReply(const FirmwareState& s);

const char* SubsystemName(const FirmwareState& s);

}  // namespace kavsim
