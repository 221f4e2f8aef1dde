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
  std::vector<MibObject> Take() { return std::move(objects_); }

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

  // Cells go in column by column, which is the MIB's order, so the view needs
  // no sorting.
  auto table = [&b](uint32_t group, size_t rows, uint32_t column, auto value) {
    for (size_t i = 0; i < rows; ++i) b.Cell(group, column, static_cast<uint32_t>(i + 1), value(i));
  };

  // Hardware monitor: voltages, fans, temperatures in one table.
  struct MonitorRow {
    const Reading* reading;
    int type;
    const char* unit;
  };
  std::vector<MonitorRow> monitor;
  for (const Reading& r : s.monitor.voltages) monitor.push_back({&r, 1, "mV"});
  for (const Reading& r : s.monitor.fans) monitor.push_back({&r, 2, "RPM"});
  for (const Reading& r : s.monitor.temperatures) monitor.push_back({&r, 3, "C"});
  const size_t readings = monitor.size();
  table(kMonitor, readings, 2, [&](size_t i) { return monitor[i].reading->name; });
  table(kMonitor, readings, 3, [&](size_t i) { return int32_t{monitor[i].type}; });
  table(kMonitor, readings, 4, [&](size_t i) {
    const Reading& r = *monitor[i].reading;
    return int32_t{r.present ? r.value : 0};
  });
  table(kMonitor, readings, 5, [&](size_t i) { return std::string(monitor[i].unit); });
  table(kMonitor, readings, 6, [&](size_t i) { return int32_t{monitor[i].reading->present ? 1 : 2}; });

  const size_t sets = s.raid_sets.size();
  table(kRaidSets, sets, 2, [&](size_t i) { return s.raid_sets[i].name; });
  table(kRaidSets, sets, 3, [&](size_t i) { return static_cast<int32_t>(s.raid_sets[i].state); });
  table(kRaidSets, sets, 4, [&](size_t i) { return Clamp(s.raid_sets[i].members.size()); });
  table(kRaidSets, sets, 5, [&](size_t i) { return Clamp(s.raid_sets[i].capacity_mb); });
  table(kRaidSets, sets, 6, [&](size_t i) { return Clamp(s.raid_sets[i].free_mb); });

  const size_t volumes = s.volumes.size();
  table(kVolumes, volumes, 2, [&](size_t i) { return s.volumes[i].name; });
  table(kVolumes, volumes, 3, [&](size_t i) { return int32_t{s.volumes[i].raid_set + 1}; });
  table(kVolumes, volumes, 4, [&](size_t i) { return int32_t{s.volumes[i].level}; });
  table(kVolumes, volumes, 5, [&](size_t i) { return Clamp(s.volumes[i].capacity_mb); });
  table(kVolumes, volumes, 6, [&](size_t i) { return Clamp(s.volumes[i].stripe_kb); });
  table(kVolumes, volumes, 7, [&](size_t i) { return static_cast<int32_t>(s.volumes[i].state); });
  table(kVolumes, volumes, 8, [&](size_t i) { return int32_t{s.volumes[i].progress}; });

  const size_t disks = s.disks.size();
  table(kDisks, disks, 2, [&](size_t i) { return int32_t{s.disks[i].number}; });
  table(kDisks, disks, 3, [&](size_t i) { return int32_t{s.disks[i].unit}; });
  table(kDisks, disks, 4, [&](size_t i) { return s.disks[i].model; });
  table(kDisks, disks, 5, [&](size_t i) { return s.disks[i].serial; });
  table(kDisks, disks, 6, [&](size_t i) { return s.disks[i].firmware; });
  table(kDisks, disks, 7, [&](size_t i) { return Clamp(s.disks[i].capacity_mb); });
  table(kDisks, disks, 8, [&](size_t i) { return static_cast<int32_t>(s.disks[i].state); });
  table(kDisks, disks, 9, [&](size_t i) { return int32_t{s.disks[i].raid_set + 1}; });
  table(kDisks, disks, 10, [&](size_t i) { return int32_t{s.disks[i].temperature}; });
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
