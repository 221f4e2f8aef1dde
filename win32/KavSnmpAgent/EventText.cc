// Event texts and message composition; see EventText.h.
#include "win32/KavSnmpAgent/EventText.h"

#include <cstdio>
#include <cstring>

#include "library/commands/CKavlib.h"

namespace {

struct ItemText {
  const char* text;
  int severity;
};

constexpr ItemText kRaidSetItems[] = {
    {"Create RaidSet", 3}, {"Delete RaidSet", 3},  {"Expand RaidSet", 3},
    {"Rebuild RaidSet", 3}, {"RaidSet Degraded", 1},
};

constexpr ItemText kVolumeSetItems[] = {
    {"Start Initialize", 3},      {"Start Rebuilding", 3},     {"Start Migrating", 3},
    {"Start Checking", 3},        {"Complete Init", 3},        {"Complete Rebuild", 3},
    {"Complete Migrate", 3},      {"Complete Check", 3},       {"Create Volume", 3},
    {"Delete Volume", 3},         {"Modify Volume", 3},        {"Volume Degraded", 1},
    {"Volume Failed", 1},         {"Failed Volume Revived", 1}, {"Abort Initialization", 3},
    {"Abort Rebuilding", 3},      {"Abort Migration", 3},      {"Abort Checking", 3},
    {"Stop Initialization", 3},   {"Stop Rebuilding", 3},      {"Stop Migration", 3},
    {"Stop Checking", 3},
};

constexpr ItemText kDeviceItems[] = {
    {"Device Inserted", 3},  {"Device Removed", 3},           {"Reading Error", 3},
    {"Writing Error", 3},    {"ATA Ecc Error", 3},            {"Change ATA Mode", 3},
    {"Time Out Error", 3},   {"Device Failed", 1},            {"PCI Parity Error", 2},
    {"Dev Fail (SMART)", 1}, {"PassThrough Disk Created", 4}, {"PassThrough Disk Modified", 4},
    {"PassThrough Disk Deleted", 4},
};

constexpr const char* kHostScsiTexts[] = {"SCSI Bus Reset", "SCSI Bus Parity", "SCSI Bus SE<>LVD"};
constexpr const char* kHostIdeTexts[] = {"IDE Bus Reset", "IDE Bus UDMA CRC", "SCSI Bus SE<>LVD"};
constexpr int kHostSeverity = 4;

// The blanks at the end of the power and fan texts belong to them.
constexpr ItemText kMonitorItems[] = {
    {"DRAM 1-Bit ECC", 1},
    {"DRAM Fatal Error", 1},
    {"Controller Over Temperature", 1},
    {"Backplane Over Temperature", 1},
    {"1.5V Abnormal", 1},
    {"3.3V Abnormal", 1},
    {"5V Abnormal", 1},
    {"12V Abnormal", 1},
    {"1.3V Abnormal", 1},
    {"2.5V Abnormal", 1},
    {"1.2V or 1.8V or 1.25V Abnormal", 1},
    {"Power#1 Failed  ", 1},
    {"Fan#1 Failed    ", 1},
    {"Power#2 Failed  ", 1},
    {"Fan#2 Failed    ", 1},
    {"Power#3 Failed  ", 1},
    {"Fan#3 Failed    ", 1},
    {"Power#4 Failed  ", 1},
    {"Fan#4 Failed    ", 1},
    {"UPS ACPower Loss", 1},
    {"Controller Over Temperature Recovered", 2},
    {"Backplane Over Temperature Recovered", 2},
    {"1.5V Abnormal Recovered", 2},
    {"3.3V Abnormal Recovered", 2},
    {"5V Abnormal Recovered", 2},
    {"12V Abnormal Recovered", 2},
    {"1.3V Abnormal Recovered", 2},
    {"2.5V Abnormal Recovered", 2},
    {"1.2V or 1.8V or 1.25V Abnormal Recovered", 2},
    {"Power#1 Failed Recovered", 2},
    {"Fan#1 Failed Recovered", 2},
    {"Power#2 Failed Recovered", 2},
    {"Fan#2 Failed Recovered", 2},
    {"Power#3 Failed Recovered", 2},
    {"Fan#3 Failed Recovered", 2},
    {"Power#4 Failed Recovered", 2},
    {"Fan#4 Failed Recovered", 2},
    {"UPS ACPower Loss Recovered", 2},
    {"Raid Powered On", 3},
    {"Test Event", 1},
    {"Power On With Battery Backup", 2},
};

constexpr const char* kConditionTexts[] = {
    "Recovered",
    "Over Temp.",
    "Failed",
    "Under Voltage",
    "Over Voltage",
    "Discovered",
    "Lost Rebuilding/Migration LBA",
    "Offlined",
    "HTTP Log In",
    "Telnet Log In",
    "VT100 Log In",
    "API Log In",
    "FC Link Up",
    "FC Link Down",
    "In U160 Mode",
    "Restart Init LBA Point",
    "Restart Rebuild LBA Point",
    "Restart Migration LBA Point",
    "One BIT ECC Error",
    "Multi BIT ECC Error",
    "Off",
    "Unknown Error",
    "Added",
    "Removed",
};

// Entries 4 and 5 name the host and hardware-monitor locations.
constexpr const char* kEventTypeNames[] = {"NO_EVENT", "RAIDSET", "VOLUMESET",
                                           "DEVICE",   "HOST",    "H/W MONITOR"};

enum EventType { kRaidSet = 1, kVolumeSet = 2, kDevice = 3, kHost = 4, kMonitor = 5, kCondition = 6 };

template <typename T, size_t N>
constexpr int CountOf(const T (&)[N]) {
  return static_cast<int>(N);
}

// The record's 16-byte name field, up to its first NUL.
std::string RecordName(const uint8_t* record) {
  const char* name = reinterpret_cast<const char*>(record + 16);
  return std::string(name, strnlen(name, 16));
}

bool Lookup(const ItemText* table, int size, int code, std::string* item, int* severity) {
  if (code < 0 || code >= size) return false;
  *item = table[code].text;
  *severity = table[code].severity;
  return true;
}

}  // namespace

bool ComposeEvent(int controller_number, const uint8_t* record, const uint8_t* system_info,
                  ComposedEvent* out) {
  const int type = record[0];
  const int code = record[1];
  std::string location;
  std::string item;
  int severity = 0;
  bool host = false;
  switch (type) {
    case kRaidSet:
      if (!Lookup(kRaidSetItems, CountOf(kRaidSetItems), code, &item, &severity)) return false;
      location = RecordName(record);
      break;
    case kVolumeSet:
      if (!Lookup(kVolumeSetItems, CountOf(kVolumeSetItems), code, &item, &severity)) return false;
      location = RecordName(record);
      break;
    case kDevice:
      if (!Lookup(kDeviceItems, CountOf(kDeviceItems), code, &item, &severity)) return false;
      if (system_info[kSysInfoKind] == 3) {
        location = RecordName(record);
      } else {
        char channel[32];
        std::snprintf(channel, sizeof channel, "IDE Channel #%2d", record[2] + 1);
        location = channel;
      }
      break;
    case kHost: {
      if (code >= CountOf(kHostScsiTexts)) return false;
      const char* bus = system_info[kSysInfoHostBus] != 0 ? kHostScsiTexts[code] : kHostIdeTexts[code];
      location = std::string("HOST") + " " + bus + "\n";
      severity = kHostSeverity;
      host = true;
      break;
    }
    case kMonitor:
      if (!Lookup(kMonitorItems, CountOf(kMonitorItems), code, &item, &severity)) return false;
      location = kEventTypeNames[kMonitor];
      break;
    case kCondition:
      if (code >= CountOf(kConditionTexts)) return false;
      item = kConditionTexts[code];
      severity = record[2];
      location = RecordName(record);
      break;
    default:
      return false;
  }
  char message[kTrapMessageSize];
  if (host) {
    std::snprintf(message, sizeof message, "Controller#%d %s", controller_number, location.c_str());
  } else {
    std::snprintf(message, sizeof message, "Controller#%d %s %s", controller_number,
                  location.c_str(), item.c_str());
  }
  out->type = type;
  out->code = code;
  out->severity = severity;
  out->specific = type * 128 + code;
  out->message = message;
  return true;
}

std::string FormatEventTime(uint32_t stamp) {
  char text[64];
  if ((stamp & 0x80000000u) != 0) {
    unsigned month = (stamp >> 27) & 0x0F;
    unsigned year = (stamp >> 22) & 0x1F;
    unsigned day = (stamp >> 17) & 0x1F;
    unsigned hour = (stamp >> 12) & 0x1F;
    unsigned minute = (stamp >> 6) & 0x3F;
    unsigned second = stamp & 0x3F;
    std::snprintf(text, sizeof text, "%d-%d-%d  %d:%d:%d", static_cast<int>(2000 + year),
                  static_cast<int>(month), static_cast<int>(day), static_cast<int>(hour),
                  static_cast<int>(minute), static_cast<int>(second));
  } else {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(stamp));
  }
  return text;
}
