// Encoders of the firmware's records.
#include "sim/model/Records.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace kavsim {
namespace {

void PutText(std::vector<uint8_t>& rec, int offset, size_t width, const std::string& text) {
  size_t n = std::min(width, text.size());
  if (static_cast<size_t>(offset) + width > rec.size()) return;
  std::memcpy(rec.data() + offset, text.data(), n);
}

void Put32(std::vector<uint8_t>& rec, int offset, uint32_t v) {
  for (int i = 0; i < 4; ++i) rec[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

void Put16(std::vector<uint8_t>& rec, int offset, uint32_t v) {
  rec[offset] = static_cast<uint8_t>(v);
  rec[offset + 1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

const char* SubsystemName(const FirmwareState& s) {
  return s.jbod ? "Kavor JBOD Subsystem" : "Kavor RAID Subsystem";
}

std::vector<uint8_t> SystemInfoRecord(const FirmwareState& s) {
  using namespace layout;
  std::vector<uint8_t> rec(kSystemInfoSize, 0);
  PutText(rec, kSysModel, 16, s.model);
  PutText(rec, kSysSerial, 16, s.serial);
  PutText(rec, kSysVendor, 16, s.vendor);
  PutText(rec, kSysFirmware, 16, s.firmware_version);
  PutText(rec, kSysBoot, 16, s.boot_version);
  Put32(rec, kSysMemory, s.memory_mb);
  std::copy(s.ip_address.begin(), s.ip_address.end(), rec.begin() + kSysAddress);
  Put32(rec, kSysEventSlots, s.events.Slots());
  std::copy(s.netmask.begin(), s.netmask.end(), rec.begin() + kSysNetmask);
  Put16(rec, kSysHttpPort, s.http_port);
  rec[kSysRaidSets] = static_cast<uint8_t>(s.raid_sets.size());
  rec[kSysVolumes] = static_cast<uint8_t>(s.volumes.size());
  rec[kSysDisks] = static_cast<uint8_t>(s.disks.size());
  rec[kSysMonitorComplete] = 5;
  rec[kSysHostBus] = s.host_bus;
  rec[kSysLayout177] = s.layout_byte_177;
  rec[kSysAvailability] = s.availability;
  rec[kSysLayout188] = s.layout_byte_188;
  rec[kSysKind] = static_cast<uint8_t>(s.kind);
  rec[kSysHighestUnit] = s.highest_unit;
  rec[kSysLongVolumes] = s.long_volume_records ? 1 : 0;
  rec[kSysUtcClock] = s.utc_clock ? 1 : 0;
  for (const auto& [offset, value] : s.system_info_overrides) {
    if (offset >= 0 && offset < static_cast<int>(kSystemInfoSize)) rec[offset] = value;
  }
  return rec;
}

std::vector<uint8_t> SubsystemRecord(const FirmwareState& s) {
  std::vector<uint8_t> rec(kSubsystemRecordSize, 0);
  PutText(rec, 0, 20, SubsystemName(s));
  PutText(rec, 24, 16, s.subsystem_number);
  return rec;
}

std::vector<uint8_t> RaidSetRecord(const FirmwareState& s, int number) {
  using namespace layout;
  std::vector<uint8_t> rec(kRaidRecordSize, 0);
  if (number < 0 || number >= static_cast<int>(s.raid_sets.size())) return rec;
  const RaidSet& r = s.raid_sets[number];
  PutText(rec, kRaidName, 16, r.name);
  Put32(rec, kRaidCapacity, r.capacity_mb);
  Put32(rec, kRaidFree, r.free_mb);
  size_t members = std::min<size_t>(r.members.size(), kRaidMaxMembers);
  rec[kRaidMemberCount] = static_cast<uint8_t>(members);
  for (size_t i = 0; i < members; ++i) rec[kRaidMembers + i] = static_cast<uint8_t>(r.members[i]);
  rec[kRaidState] = static_cast<uint8_t>(r.state);
  rec[kRaidPresent] = 1;
  return rec;
}

std::vector<uint8_t> VolumeSetRecord(const FirmwareState& s, int number) {
  using namespace layout;
  std::vector<uint8_t> rec(s.long_volume_records ? 128 : 64, 0);
  if (number < 0 || number >= static_cast<int>(s.volumes.size())) return rec;
  const VolumeSet& v = s.volumes[number];
  PutText(rec, kVolName, 16, v.name);
  Put32(rec, kVolCapacity, std::max<uint32_t>(v.capacity_mb, 1));
  rec[kVolRaidSet] = static_cast<uint8_t>(v.raid_set);
  rec[kVolLevel] = static_cast<uint8_t>(v.level);
  rec[kVolState] = static_cast<uint8_t>(v.state);
  rec[kVolProgress] = static_cast<uint8_t>(v.progress);
  Put32(rec, kVolStripe, v.stripe_kb);
  rec[kVolLevelCopy] = static_cast<uint8_t>(v.level);
  rec[kVolCache] = 1;
  rec[kVolQueuing] = 1;
  return rec;
}

std::vector<uint8_t> DeviceRecord(const FirmwareState& s, int device, int unit) {
  using namespace layout;
  std::vector<uint8_t> rec(kDeviceRecordSize, 0);
  for (const Disk& d : s.disks) {
    if (d.number != device || d.unit != unit) continue;
    PutText(rec, kDevModel, 40, d.model);
    PutText(rec, kDevSerial, 20, d.serial);
    PutText(rec, kDevFirmware, 8, d.firmware);
    Put32(rec, kDevCapacity, d.capacity_mb);
    rec[kDevState] = static_cast<uint8_t>(d.state);
    rec[kDevRaidSet] = d.raid_set < 0 ? 255 : static_cast<uint8_t>(d.raid_set);
    rec[kDevUnit] = static_cast<uint8_t>(d.unit);
    rec[kDevNumber] = static_cast<uint8_t>(d.number);
    rec[kDevPresent] = 1;
    rec[kDevTemperature] = static_cast<uint8_t>(d.temperature);
    break;
  }
  return rec;
}

std::vector<uint8_t> HardwareMonitorReply(const FirmwareState& s) {
  const HardwareMonitor& m = s.monitor;
  // Counts are bytes on the wire; the loader keeps each group below 50 entries.
  std::vector<uint8_t> out;
  out.push_back(static_cast<uint8_t>(m.voltages.size()));
  out.push_back(static_cast<uint8_t>(m.fans.size()));
  out.push_back(static_cast<uint8_t>(m.temperatures.size()));
  out.push_back(static_cast<uint8_t>(m.status.size()));
  auto put16 = [&out](int v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  for (const Reading& r : m.voltages) put16(r.value);
  for (const Reading& r : m.fans) {
    put16(r.value);
    put16(r.limit);
  }
  for (const Reading& r : m.temperatures)
    out.push_back(r.present ? static_cast<uint8_t>(std::clamp(r.value, 0, 0x7F)) : 0x80);
  out.insert(out.end(), m.status.begin(), m.status.end());
  switch (m.trailer) {
    case HardwareMonitor::Trailer::kNone:
      break;
    case HardwareMonitor::Trailer::kPlain:
      out.push_back(m.trailer_value);
      break;
    case HardwareMonitor::Trailer::kTagged:
      out.insert(out.end(), {0x55, 0xAA, 0x01, m.trailer_value});
      break;
  }
  return out;
}

}  // namespace kavsim
