// Command dispatch and the clock of the firmware model.
#include "sim/firmware/Firmware.h"

#include <algorithm>

namespace kavsim {

void CommandRegistry::Register(uint8_t code, Handler handler, bool jbod) {
  entries_.push_back({code, handler, jbod});
}

const CommandEntry* CommandRegistry::Find(uint8_t code) const {
  for (const CommandEntry& e : entries_) {
    if (e.code == code) return &e;
  }
  return nullptr;
}

const CommandRegistry& Commands() {
  static const CommandRegistry registry = [] {
    CommandRegistry r;
    RegisterSystemCommands(r);
    RegisterEventCommands(r);
    RegisterRecordCommands(r);
    RegisterMonitorCommands(r);
    RegisterKeyedCommands(r);
    RegisterDataAreaCommands(r);
    RegisterWebCommands(r);
    RegisterSimpleCommands(r);
    RegisterSnmpCommands(r);
    return r;
  }();
  return registry;
}

Firmware::Firmware(FirmwareState& state) : state_(state), started_(std::time(nullptr)) {}
Firmware::~Firmware() = default;

Answer Firmware::Execute(uint8_t code, Payload payload) {
  const CommandEntry* entry = Commands().Find(code);
  if (entry == nullptr || (state_.jbod && !entry->jbod)) {
    return Answer::Status(letter::kNotAvailable);
  }
  return entry->handler(*this, payload);
}

std::tm Firmware::ControllerTime() const {
  std::time_t now = std::time(nullptr);
  std::tm host{};
  if (state_.clock_set_utc) {
    gmtime_r(&now, &host);
  } else {
    localtime_r(&now, &host);
  }
  std::time_t wall = timegm(&host) + static_cast<std::time_t>(state_.clock_offset_s);
  std::tm out{};
  gmtime_r(&wall, &out);
  return out;
}

void Firmware::SetControllerTime(const std::tm& t, bool utc) {
  std::tm given = t;
  std::time_t now = std::time(nullptr);
  std::tm host{};
  if (utc) {
    gmtime_r(&now, &host);
  } else {
    localtime_r(&now, &host);
  }
  state_.clock_set_utc = utc;
  state_.clock_offset_s = static_cast<int64_t>(timegm(&given)) - static_cast<int64_t>(timegm(&host));
}

void Firmware::LogEvent(int type, int code, int byte2, const std::string& name) {
  uint32_t stamp;
  if (state_.calendar_time_stamps) {
    std::tm t = ControllerTime();
    stamp = CalendarStamp(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  } else {
    stamp = static_cast<uint32_t>(std::max<std::time_t>(0, std::time(nullptr) - started_)) & 0x7FFFFFFFu;
  }
  state_.events.Append(static_cast<uint8_t>(type), static_cast<uint8_t>(code),
                       static_cast<uint8_t>(byte2), stamp, name);
}

}  // namespace kavsim
