// Loads a scenario (the controllers of a simulated machine) from JSON.
#include <fstream>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "sim/Simulator.h"
#include "sim/model/FirmwareState.h"

namespace kavsim {
namespace {

using nlohmann::json;

struct LoadError {
  std::string message;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw LoadError{where + ": " + what};
}

void OnlyKeys(const json& j, const std::string& where, std::initializer_list<const char*> keys) {
  if (!j.is_object()) Fail(where, "must be an object");
  std::set<std::string> allowed(keys.begin(), keys.end());
  for (auto it = j.begin(); it != j.end(); ++it) {
    if (!allowed.count(it.key())) Fail(where, "unknown key \"" + it.key() + "\"");
  }
}

int Int(const json& j, const char* key, int def, int lo, int hi, const std::string& where) {
  if (!j.contains(key)) return def;
  const json& v = j.at(key);
  if (!v.is_number_integer()) Fail(where + "." + key, "must be an integer");
  long long n = v.get<long long>();
  if (n < lo || n > hi) {
    Fail(where + "." + key, "must be from " + std::to_string(lo) + " to " + std::to_string(hi));
  }
  return static_cast<int>(n);
}

uint32_t UInt(const json& j, const char* key, uint32_t def, const std::string& where) {
  if (!j.contains(key)) return def;
  const json& v = j.at(key);
  if (!v.is_number_unsigned() && !(v.is_number_integer() && v.get<long long>() >= 0)) {
    Fail(where + "." + key, "must be a non-negative integer");
  }
  unsigned long long n = v.get<unsigned long long>();
  if (n > 0x7FFFFFFFull) Fail(where + "." + key, "is too large");
  return static_cast<uint32_t>(n);
}

std::string Text(const json& j, const char* key, const std::string& def, size_t max,
                 const std::string& where) {
  if (!j.contains(key)) return def;
  if (!j.at(key).is_string()) Fail(where + "." + key, "must be a string");
  std::string s = j.at(key).get<std::string>();
  if (s.size() > max) Fail(where + "." + key, "is longer than " + std::to_string(max));
  return s;
}

bool Bool(const json& j, const char* key, bool def, const std::string& where) {
  if (!j.contains(key)) return def;
  if (!j.at(key).is_boolean()) Fail(where + "." + key, "must be true or false");
  return j.at(key).get<bool>();
}

template <typename E>
E Enum(const json& j, const char* key, E def, std::initializer_list<std::pair<const char*, E>> names,
       const std::string& where) {
  if (!j.contains(key)) return def;
  std::string s = Text(j, key, "", 32, where);
  std::string list;
  for (const auto& [n, e] : names) {
    if (s == n) return e;
    list += std::string(list.empty() ? "" : ", ") + n;
  }
  Fail(where + "." + key, "must be one of " + list);
}

std::array<uint8_t, 4> Address(const json& j, const char* key, std::array<uint8_t, 4> def,
                               const std::string& where) {
  if (!j.contains(key)) return def;
  std::string s = Text(j, key, "", 15, where);
  std::array<uint8_t, 4> a{};
  std::istringstream in(s);
  for (int i = 0; i < 4; ++i) {
    int v = -1;
    char dot = '.';
    if (i > 0) in >> dot;
    in >> v;
    if (!in || dot != '.' || v < 0 || v > 255) Fail(where + "." + key, "is not an IPv4 address");
    a[i] = static_cast<uint8_t>(v);
  }
  if (in.peek() != EOF) Fail(where + "." + key, "is not an IPv4 address");
  return a;
}

const json& Array(const json& j, const char* key, const std::string& where) {
  static const json empty = json::array();
  if (!j.contains(key)) return empty;
  if (!j.at(key).is_array()) Fail(where + "." + key, "must be an array");
  return j.at(key);
}

std::vector<Reading> Readings(const json& j, const char* key, const char* value_key,
                              size_t max, bool fans, const std::string& where) {
  std::vector<Reading> out;
  const json& a = Array(j, key, where);
  if (a.size() > max) Fail(where + "." + key, "has more than " + std::to_string(max) + " entries");
  for (size_t i = 0; i < a.size(); ++i) {
    std::string w = where + "." + key + "[" + std::to_string(i) + "]";
    const json& e = a[i];
    if (fans) {
      OnlyKeys(e, w, {"name", "rpm", "limit"});
    } else {
      OnlyKeys(e, w, {"name", value_key});
    }
    Reading r;
    r.name = Text(e, "name", std::string(key) + " " + std::to_string(i + 1), 32, w);
    if (!fans && e.contains(value_key) && e.at(value_key).is_null()) {
      r.present = false;  // the sensor gives no reading
    } else {
      r.value = Int(e, value_key, 0, 0, fans ? 65535 : (value_key[0] == 'c' ? 127 : 65535), w);
    }
    if (fans) r.limit = Int(e, "limit", 0, 0, 65535, w);
    out.push_back(r);
  }
  return out;
}

void LoadMonitor(const json& j, HardwareMonitor& m, const std::string& where) {
  OnlyKeys(j, where, {"voltages", "fans", "temperatures", "status", "trailer"});
  m.voltages = Readings(j, "voltages", "mv", 50, false, where);
  m.fans = Readings(j, "fans", "rpm", 25, true, where);
  m.temperatures = Readings(j, "temperatures", "celsius", 50, false, where);
  m.status.clear();
  const json& st = Array(j, "status", where);
  if (st.size() > 8) Fail(where + ".status", "has more than 8 bytes");
  for (const json& b : st) {
    if (!b.is_number_integer() || b.get<int>() < 0 || b.get<int>() > 255) {
      Fail(where + ".status", "must hold bytes");
    }
    m.status.push_back(static_cast<uint8_t>(b.get<int>()));
  }
  if (j.contains("trailer")) {
    const json& t = j.at("trailer");
    std::string w = where + ".trailer";
    OnlyKeys(t, w, {"form", "value"});
    m.trailer = Enum(t, "form", HardwareMonitor::Trailer::kTagged,
                     {{"none", HardwareMonitor::Trailer::kNone},
                      {"plain", HardwareMonitor::Trailer::kPlain},
                      {"tagged", HardwareMonitor::Trailer::kTagged}},
                     w);
    m.trailer_value = static_cast<uint8_t>(Int(t, "value", 0, 0, 255, w));
  }
}

void DefaultMonitor(HardwareMonitor& m) {
  m.voltages = {{"12V", 12160, 0, true}, {"5V", 5040, 0, true}, {"3.3V", 3312, 0, true},
                {"1.8V", 1808, 0, true}};
  m.fans = {{"Fan 1", 3260, 1200, true}};
  m.temperatures = {{"Controller", 47, 0, true}, {"Backplane", 35, 0, true}};
  m.status = {0x01};
  m.trailer = HardwareMonitor::Trailer::kTagged;
  m.trailer_value = 100;
}

std::unique_ptr<FirmwareState> LoadController(const json& c, const std::string& where, int* port) {
  OnlyKeys(c, where,
           {"port", "kind", "subsystem", "model", "serial", "vendor", "firmware_version",
            "boot_version", "memory_mb", "event_slots", "host_bus", "availability",
            "layout_177", "layout_188", "highest_unit", "long_volume_records", "utc_clock",
            "ip_address", "netmask", "http_port", "system_info_bytes", "subsystem_number",
            "community", "time_stamps", "raid_sets", "volumes", "disks", "hardware_monitor",
            "web_pages", "events"});
  auto s = std::make_unique<FirmwareState>();
  if (!c.contains("port")) Fail(where, "needs a \"port\"");
  *port = Int(c, "port", 0, 0, 15, where);
  s->kind = Int(c, "kind", 1, 0, 255, where);
  s->jbod = Enum(c, "subsystem", false, {{"raid", false}, {"jbod", true}}, where);
  s->model = Text(c, "model", s->model, 16, where);
  s->serial = Text(c, "serial", "K00000000" + std::to_string(*port), 16, where);
  s->vendor = Text(c, "vendor", s->vendor, 16, where);
  s->firmware_version = Text(c, "firmware_version", s->firmware_version, 16, where);
  s->boot_version = Text(c, "boot_version", s->boot_version, 16, where);
  s->memory_mb = UInt(c, "memory_mb", s->memory_mb, where);
  uint32_t slots = UInt(c, "event_slots", 128, where);
  if (!EventLog::ValidSlots(slots)) Fail(where + ".event_slots", "must be a multiple of 16 from 16 to 256");
  s->events = EventLog(slots);
  s->host_bus = Enum(c, "host_bus", uint8_t{1}, {{"scsi", uint8_t{1}}, {"ide", uint8_t{0}}}, where);
  s->availability = static_cast<uint8_t>(Int(c, "availability", 1, 0, 255, where));
  s->layout_byte_177 = static_cast<uint8_t>(Int(c, "layout_177", 0, 0, 255, where));
  s->layout_byte_188 = static_cast<uint8_t>(Int(c, "layout_188", 0, 0, 255, where));
  s->highest_unit = static_cast<uint8_t>(Int(c, "highest_unit", s->kind == 3 ? 1 : 0, 0, 255, where));
  s->long_volume_records = Bool(c, "long_volume_records", true, where);
  s->utc_clock = Bool(c, "utc_clock", true, where);
  s->ip_address = Address(c, "ip_address", {192, 168, 0, static_cast<uint8_t>(100 + *port)}, where);
  s->netmask = Address(c, "netmask", s->netmask, where);
  s->http_port = static_cast<uint16_t>(Int(c, "http_port", 80, 0, 65535, where));
  s->subsystem_number = Text(c, "subsystem_number", s->subsystem_number, 15, where);
  s->community = Text(c, "community", "", 127, where);
  s->calendar_time_stamps =
      Enum(c, "time_stamps", true, {{"calendar", true}, {"plain", false}}, where);
  if (c.contains("system_info_bytes")) {
    const json& o = c.at("system_info_bytes");
    if (!o.is_object()) Fail(where + ".system_info_bytes", "must be an object");
    for (auto it = o.begin(); it != o.end(); ++it) {
      std::string w = where + ".system_info_bytes." + it.key();
      char* end = nullptr;
      long offset = std::strtol(it.key().c_str(), &end, 10);
      if (it.key().empty() || *end != 0 || offset < 0 || offset > 255) Fail(w, "offset must be 0 to 255");
      if (!it->is_number_integer() || it->get<int>() < 0 || it->get<int>() > 255) Fail(w, "must be a byte");
      s->system_info_overrides[static_cast<int>(offset)] = static_cast<uint8_t>(it->get<int>());
    }
  }

  const json& raid_sets = Array(c, "raid_sets", where);
  if (raid_sets.size() > 16) Fail(where + ".raid_sets", "has more than 16 entries");
  for (size_t i = 0; i < raid_sets.size(); ++i) {
    std::string w = where + ".raid_sets[" + std::to_string(i) + "]";
    const json& e = raid_sets[i];
    OnlyKeys(e, w, {"name", "state", "members", "capacity_mb", "free_mb"});
    RaidSet r;
    r.name = Text(e, "name", "Raid Set # " + std::to_string(i), 16, w);
    r.state = Enum(e, "state", RaidSetState::kNormal,
                   {{"normal", RaidSetState::kNormal}, {"degraded", RaidSetState::kDegraded},
                    {"rebuilding", RaidSetState::kRebuilding}, {"failed", RaidSetState::kFailed}},
                   w);
    for (const json& m : Array(e, "members", w)) {
      if (!m.is_number_integer() || m.get<int>() < 0 || m.get<int>() > 31) {
        Fail(w + ".members", "must hold device numbers 0 to 31");
      }
      r.members.push_back(m.get<int>());
    }
    r.capacity_mb = UInt(e, "capacity_mb", 0, w);
    r.free_mb = UInt(e, "free_mb", 0, w);
    s->raid_sets.push_back(r);
  }
  const json& volumes = Array(c, "volumes", where);
  if (volumes.size() > 16) Fail(where + ".volumes", "has more than 16 entries");
  for (size_t i = 0; i < volumes.size(); ++i) {
    std::string w = where + ".volumes[" + std::to_string(i) + "]";
    const json& e = volumes[i];
    OnlyKeys(e, w, {"name", "raid_set", "level", "capacity_mb", "stripe_kb", "state", "progress"});
    VolumeSet v;
    v.name = Text(e, "name", "Volume#" + std::to_string(i), 16, w);
    v.raid_set = Int(e, "raid_set", 0, 0, 15, w);
    if (v.raid_set >= static_cast<int>(s->raid_sets.size())) Fail(w + ".raid_set", "names no raid set");
    v.level = Int(e, "level", 5, 0, 60, w);
    v.capacity_mb = UInt(e, "capacity_mb", 1024, w);
    v.stripe_kb = static_cast<uint32_t>(Int(e, "stripe_kb", 64, 4, 1024, w));
    v.state = Enum(e, "state", VolumeState::kNormal,
                   {{"normal", VolumeState::kNormal}, {"degraded", VolumeState::kDegraded},
                    {"failed", VolumeState::kFailed}, {"initializing", VolumeState::kInitializing},
                    {"rebuilding", VolumeState::kRebuilding}, {"migrating", VolumeState::kMigrating},
                    {"checking", VolumeState::kChecking}},
                   w);
    v.progress = Int(e, "progress", 0, 0, 100, w);
    s->volumes.push_back(v);
  }
  const json& disks = Array(c, "disks", where);
  if (disks.size() > 32) Fail(where + ".disks", "has more than 32 entries");
  std::set<std::pair<int, int>> seen;
  for (size_t i = 0; i < disks.size(); ++i) {
    std::string w = where + ".disks[" + std::to_string(i) + "]";
    const json& e = disks[i];
    OnlyKeys(e, w, {"number", "unit", "model", "serial", "firmware", "capacity_mb", "state",
                    "raid_set", "temperature"});
    Disk d;
    d.number = Int(e, "number", static_cast<int>(i), 0, 31, w);
    d.unit = Int(e, "unit", 0, 0, s->kind == 3 ? s->highest_unit : 0, w);
    if (!seen.insert({d.unit, d.number}).second) Fail(w, "repeats a device number");
    d.model = Text(e, "model", "KVD-2000", 40, w);
    d.serial = Text(e, "serial", "D" + std::to_string(*port * 100 + static_cast<int>(i)), 20, w);
    d.firmware = Text(e, "firmware", "1.0", 8, w);
    d.capacity_mb = UInt(e, "capacity_mb", 953869, w);
    d.state = Enum(e, "state", DiskState::kFree,
                   {{"free", DiskState::kFree}, {"member", DiskState::kRaidMember},
                    {"hot-spare", DiskState::kHotSpare}, {"failed", DiskState::kFailed},
                    {"pass-through", DiskState::kPassThrough}},
                   w);
    d.raid_set = Int(e, "raid_set", -1, -1, 15, w);
    if (d.raid_set >= static_cast<int>(s->raid_sets.size())) Fail(w + ".raid_set", "names no raid set");
    d.temperature = Int(e, "temperature", 33, 0, 127, w);
    s->disks.push_back(d);
  }
  if (c.contains("hardware_monitor")) {
    LoadMonitor(c.at("hardware_monitor"), s->monitor, where + ".hardware_monitor");
  } else {
    DefaultMonitor(s->monitor);
  }
  if (c.contains("web_pages")) {
    const json& p = c.at("web_pages");
    if (!p.is_object()) Fail(where + ".web_pages", "must be an object");
    for (auto it = p.begin(); it != p.end(); ++it) {
      if (!it->is_string()) Fail(where + ".web_pages." + it.key(), "must be a string");
      s->web_pages[it.key()] = it->get<std::string>();
    }
  }
  return s;
}

void Load(const json& root, std::vector<std::unique_ptr<Controller>>* out, std::string* name) {
  OnlyKeys(root, "scenario", {"name", "controllers"});
  *name = Text(root, "name", "", 128, "scenario");
  const json& list = Array(root, "controllers", "scenario");
  std::set<int> ports;
  for (size_t i = 0; i < list.size(); ++i) {
    std::string w = "controllers[" + std::to_string(i) + "]";
    int port = 0;
    auto state = LoadController(list[i], w, &port);
    if (!ports.insert(port).second) Fail(w + ".port", "port " + std::to_string(port) + " is used twice");
    std::vector<std::tuple<int, int, int, std::string>> events;
    for (const json& e : Array(list[i], "events", w)) {
      std::string we = w + ".events";
      OnlyKeys(e, we, {"type", "code", "byte2", "name"});
      events.emplace_back(Int(e, "type", 0, 0, 255, we), Int(e, "code", 0, 0, 255, we),
                          Int(e, "byte2", 0, 0, 255, we), Text(e, "name", "", 16, we));
    }
    auto controller = std::make_unique<Controller>(port, std::move(state));
    for (const auto& [t, c, b, n] : events) controller->AppendEvent(t, c, b, n);
    out->push_back(std::move(controller));
  }
}

}  // namespace

std::unique_ptr<Simulator> Simulator::LoadText(const std::string& text, std::string* error) {
  json root = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (root.is_discarded()) {
    if (error) *error = "scenario is not valid JSON";
    return nullptr;
  }
  auto sim = std::unique_ptr<Simulator>(new Simulator());
  try {
    Load(root, &sim->controllers_, &sim->name_);
  } catch (const LoadError& e) {
    if (error) *error = e.message;
    return nullptr;
  } catch (const json::exception& e) {
    if (error) *error = std::string("scenario: ") + e.what();
    return nullptr;
  }
  std::sort(sim->controllers_.begin(), sim->controllers_.end(),
            [](const auto& a, const auto& b) { return a->port() < b->port(); });
  return sim;
}

std::unique_ptr<Simulator> Simulator::LoadFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot open scenario " + path;
    return nullptr;
  }
  std::ostringstream text;
  text << in.rdbuf();
  auto sim = LoadText(text.str(), error);
  if (!sim && error) *error = path + ": " + *error;
  return sim;
}

Controller* Simulator::At(int port) {
  for (auto& c : controllers_) {
    if (c->port() == port) return c.get();
  }
  return nullptr;
}

std::vector<int> Simulator::Ports() const {
  std::vector<int> ports;
  for (const auto& c : controllers_) ports.push_back(c->port());
  return ports;
}

}  // namespace kavsim
