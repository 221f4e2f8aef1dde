// Builds the objects of the firmware MIB from the model state.
#include "sim/snmp/MibView.h"

#include <algorithm>

namespace kavsim {
namespace {

// Arcs below the root.
constexpr uint32_t kController = 1, kMonitor = 2, kRaidSets = 3, kVolumes = 4, kDisks = 5;

std::string Dotted(const std::array<uint8_t, 4>& a) {
  return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
         std::to_string(a[3]);
}

class Builder {
 public:
  void Scalar(uint32_t column, int32_t v) { AddInt({kController, column, 0}, v); }
  void Scalar(uint32_t column, const std::string& v) { AddText({kController, column, 0}, v); }
  // Table rows: group, table .1 entry, column, index.
  void Cell(uint32_t group, uint32_t column, uint32_t index, int32_t v) {
    AddInt({group, 1, 1, column, index}, v);
  }
  void Cell(uint32_t group, uint32_t column, uint32_t index, const std::string& v) {
    AddText({group, 1, 1, column, index}, v);
  }
  std::vector<MibObject> Take() {
    std::sort(objects_.begin(), objects_.end(),
              [](const MibObject& a, const MibObject& b) { return a.name < b.name; });
    return std::move(objects_);
  }

 private:
  MibObject Make(std::initializer_list<uint32_t> tail) {
    MibObject o;
    o.name = MibRoot();
    o.name.insert(o.name.end(), tail.begin(), tail.end());
    return o;
  }
  void AddInt(std::initializer_list<uint32_t> tail, int32_t v) {
    MibObject o = Make(tail);
    o.integer = v;
    objects_.push_back(std::move(o));
  }
  void AddText(std::initializer_list<uint32_t> tail, const std::string& v) {
    MibObject o = Make(tail);
    o.is_integer = false;
    o.text = v.substr(0, 64);
    objects_.push_back(std::move(o));
  }
  std::vector<MibObject> objects_;
};

int32_t Clamp(uint64_t v) { return static_cast<int32_t>(std::min<uint64_t>(v, 0x7FFFFFFF)); }

}  // namespace

std::vector<MibObject> BuildMibView(const FirmwareState& s) {
  Builder b;
  b.Scalar(1, s.model);
  b.Scalar(2, s.serial);
  b.Scalar(3, s.vendor);
  b.Scalar(4, s.firmware_version);
  b.Scalar(5, s.boot_version);
  b.Scalar(6, Clamp(s.memory_mb));
  b.Scalar(7, s.kind);
  b.Scalar(8, std::string(s.jbod ? "Kavor JBOD Subsystem" : "Kavor RAID Subsystem"));
  b.Scalar(9, Clamp(s.events.Slots()));
  b.Scalar(10, s.events.Pointer());
  b.Scalar(11, Dotted(s.ip_address));
  b.Scalar(12, Clamp(s.raid_sets.size()));
  b.Scalar(13, Clamp(s.volumes.size()));
  b.Scalar(14, Clamp(s.disks.size()));

  // Hardware monitor: voltages, fans, temperatures in one table.
  uint32_t row = 0;
  auto reading = [&b, &row](const Reading& r, int type, const char* unit) {
    ++row;
    b.Cell(kMonitor, 2, row, r.name);
    b.Cell(kMonitor, 3, row, type);
    b.Cell(kMonitor, 4, row, r.present ? r.value : 0);
    b.Cell(kMonitor, 5, row, std::string(unit));
    b.Cell(kMonitor, 6, row, r.present ? 1 : 2);
  };
  for (const Reading& r : s.monitor.voltages) reading(r, 1, "mV");
  for (const Reading& r : s.monitor.fans) reading(r, 2, "RPM");
  for (const Reading& r : s.monitor.temperatures) reading(r, 3, "C");

  for (size_t i = 0; i < s.raid_sets.size(); ++i) {
    const RaidSet& r = s.raid_sets[i];
    uint32_t idx = static_cast<uint32_t>(i + 1);
    b.Cell(kRaidSets, 2, idx, r.name);
    b.Cell(kRaidSets, 3, idx, static_cast<int32_t>(r.state));
    b.Cell(kRaidSets, 4, idx, Clamp(r.members.size()));
    b.Cell(kRaidSets, 5, idx, Clamp(r.capacity_mb));
    b.Cell(kRaidSets, 6, idx, Clamp(r.free_mb));
  }
  for (size_t i = 0; i < s.volumes.size(); ++i) {
    const VolumeSet& v = s.volumes[i];
    uint32_t idx = static_cast<uint32_t>(i + 1);
    b.Cell(kVolumes, 2, idx, v.name);
    b.Cell(kVolumes, 3, idx, v.raid_set + 1);
    b.Cell(kVolumes, 4, idx, v.level);
    b.Cell(kVolumes, 5, idx, Clamp(v.capacity_mb));
    b.Cell(kVolumes, 6, idx, Clamp(v.stripe_kb));
    b.Cell(kVolumes, 7, idx, static_cast<int32_t>(v.state));
    b.Cell(kVolumes, 8, idx, v.progress);
  }
  for (size_t i = 0; i < s.disks.size(); ++i) {
    const Disk& d = s.disks[i];
    uint32_t idx = static_cast<uint32_t>(i + 1);
    b.Cell(kDisks, 2, idx, d.number);
    b.Cell(kDisks, 3, idx, d.unit);
    b.Cell(kDisks, 4, idx, d.model);
    b.Cell(kDisks, 5, idx, d.serial);
    b.Cell(kDisks, 6, idx, d.firmware);
    b.Cell(kDisks, 7, idx, Clamp(d.capacity_mb));
    b.Cell(kDisks, 8, idx, static_cast<int32_t>(d.state));
    b.Cell(kDisks, 9, idx, d.raid_set + 1);
    b.Cell(kDisks, 10, idx, d.temperature);
  }
  return b.Take();
}

const MibObject* FindExact(const std::vector<MibObject>& view, const OidPath& name) {
  auto it = std::lower_bound(view.begin(), view.end(), name,
                             [](const MibObject& o, const OidPath& n) { return o.name < n; });
  return it != view.end() && it->name == name ? &*it : nullptr;
}

const MibObject* FindNext(const std::vector<MibObject>& view, const OidPath& name) {
  auto it = std::upper_bound(view.begin(), view.end(), name,
                             [](const OidPath& n, const MibObject& o) { return n < o.name; });
  return it != view.end() ? &*it : nullptr;
}

}  // namespace kavsim
