// What one simulated controller's firmware knows: its identity, its disks, raid
// sets and volumes, its sensors, its event log and what the host has set.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/model/EventLog.h"

namespace kavsim {

enum class RaidSetState { kNormal = 1, kDegraded = 2, kRebuilding = 3, kFailed = 4 };
enum class VolumeState {
  kNormal = 1,
  kDegraded = 2,
  kFailed = 3,
  kInitializing = 4,
  kRebuilding = 5,
  kMigrating = 6,
  kChecking = 7
};
enum class DiskState { kFree = 1, kRaidMember = 2, kHotSpare = 3, kFailed = 4, kPassThrough = 5 };

struct RaidSet {
  std::string name;
  RaidSetState state = RaidSetState::kNormal;
  std::vector<int> members;  // disk numbers
  uint32_t capacity_mb = 0;
  uint32_t free_mb = 0;
};

struct VolumeSet {
  std::string name;
  int raid_set = 0;
  int level = 5;
  uint32_t capacity_mb = 0;
  uint32_t stripe_kb = 64;
  VolumeState state = VolumeState::kNormal;
  int progress = 0;  // percent of a running initialisation, rebuild or check
};

struct Disk {
  int number = 0;  // device number on the controller (kind 3: within its unit)
  int unit = 0;    // kind 3 only
  std::string model;
  std::string serial;
  std::string firmware;
  uint32_t capacity_mb = 0;
  DiskState state = DiskState::kFree;
  int raid_set = -1;
  int temperature = 0;
};

struct Reading {
  std::string name;
  int value = 0;
  int limit = 0;           // fans: the second value of each entry
  bool present = true;     // temperatures: false means no reading (0x80)
};

struct HardwareMonitor {
  std::vector<Reading> voltages;      // group 1, millivolts
  std::vector<Reading> fans;          // group 2, rpm and limit
  std::vector<Reading> temperatures;  // group 3, degrees Celsius
  std::vector<uint8_t> status;        // group 4
  enum class Trailer { kNone, kPlain, kTagged } trailer = Trailer::kTagged;
  uint8_t trailer_value = 0;
};

struct FirmwareState {
  int kind = 1;
  bool jbod = false;
  std::string model = "KV-1220";
  std::string serial = "K000000001";
  std::string vendor = "Kavor";
  std::string firmware_version = "V1.45 2026-03-02";
  std::string boot_version = "V1.40";
  uint32_t memory_mb = 256;
  uint8_t host_bus = 1;          // 0 IDE, otherwise SCSI texts
  uint8_t availability = 1;      // system information byte 179
  uint8_t layout_byte_177 = 0;
  uint8_t layout_byte_188 = 0;
  uint8_t highest_unit = 0;
  bool long_volume_records = true;
  bool utc_clock = true;
  std::array<uint8_t, 4> ip_address = {192, 168, 0, 100};
  std::array<uint8_t, 4> netmask = {255, 255, 255, 0};
  uint16_t http_port = 80;
  std::map<int, uint8_t> system_info_overrides;  // offset -> byte
  std::string subsystem_number = "1220";  // the firmware's product number
  std::string community;  // empty: the SNMP engine answers any community
  bool calendar_time_stamps = true;

  std::vector<RaidSet> raid_sets;
  std::vector<VolumeSet> volumes;
  std::vector<Disk> disks;
  HardwareMonitor monitor;
  std::map<std::string, std::string> web_pages;  // path -> HTML

  EventLog events{128};  // its size is the event slots of the system information

  // What the host has set.
  std::map<int, std::string> texts;     // by command: 16, 17, 18, 20, 50
  std::map<int, int> options;           // by command: 49, 51, 52, 53
  std::array<uint8_t, 6> options55 = {};
  std::array<uint8_t, 6> keyed_value23 = {};
  std::map<int, std::array<uint8_t, 4>> addresses;  // command 57, by selector
  std::vector<uint8_t> data_area;       // command 24 blocks
  int64_t clock_offset_s = 0;           // controller clock minus host clock
  bool clock_set_utc = false;
  int resets = 0;                       // commands 21 and 48
};

// Number of 2000-byte data area blocks.
inline int DataAreaBlocks(const FirmwareState& s) { return s.kind == 3 ? 32 : 4; }

}  // namespace kavsim
