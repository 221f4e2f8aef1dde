// Commands with a fixed key in front of their data: 16 (prefixed text), 17 and
// 18 (keyed texts), 23 (keyed value record) and 29 (controller clock, local or
// UTC form).
#include <cstring>
#include <string>

#include "sim/firmware/Firmware.h"

namespace kavsim {
namespace {

constexpr char kKey[] = "KaVoRqIn";
constexpr char kPrefix16[] = "GrOvEmIlLsPaTcH ";

bool HasKeyedHeader(Payload p) {
  return p.size() >= 9 && p[0] == 8 && std::memcmp(p.data() + 1, kKey, 8) == 0;
}

// A blank-padded text field, without its trailing blanks.
std::string FieldText(Payload p, size_t offset, size_t width) {
  std::string text(reinterpret_cast<const char*>(p.data() + offset), width);
  size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

Answer PrefixedText16(Firmware& fw, Payload p) {
  if (p.size() != 33) return Answer::Status(letter::kBadPayload);
  if (p[0] != 15 || std::memcmp(p.data() + 1, kPrefix16, 16) != 0) {
    return Answer::Status(letter::kBadKey);
  }
  fw.state().texts[16] = FieldText(p, 17, 16);
  return Answer::Status(letter::kDone);
}

Answer KeyedText(Firmware& fw, Payload p, int command, size_t width) {
  if (p.size() != 9 + width) return Answer::Status(letter::kBadPayload);
  if (!HasKeyedHeader(p)) return Answer::Status(letter::kBadKey);
  fw.state().texts[command] = FieldText(p, 9, width);
  return Answer::Status(letter::kDone);
}

Answer KeyedText17(Firmware& fw, Payload p) { return KeyedText(fw, p, 17, 48); }
Answer KeyedText18(Firmware& fw, Payload p) { return KeyedText(fw, p, 18, 16); }

Answer KeyedValue23(Firmware& fw, Payload p) {
  if (p.size() != 23) return Answer::Status(letter::kBadPayload);
  if (!HasKeyedHeader(p)) return Answer::Status(letter::kBadKey);
  std::memcpy(fw.state().keyed_value23.data(), p.data() + 17, 6);
  return Answer::Status(letter::kDone);
}

Answer ControllerClock(Firmware& fw, Payload p) {
  bool utc = p.size() == 17;
  if (p.size() != 15 && !utc) return Answer::Status(letter::kBadPayload);
  if (!HasKeyedHeader(p)) return Answer::Status(letter::kBadKey);
  if (utc && (p[15] != 0x55 || p[16] != 0xAA)) return Answer::Status(letter::kBadPayload);
  if (utc && !fw.state().utc_clock) return Answer::Status(letter::kNotAvailable);
  int month = p[10], day = p[11], hour = p[12], minute = p[13], second = p[14];
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) {
    return Answer::Status(letter::kBadPayload);
  }
  std::tm t{};
  t.tm_year = 100 + p[9];
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  fw.SetControllerTime(t, utc);
  return Answer::Status(letter::kDone);
}

}  // namespace

void RegisterKeyedCommands(CommandRegistry& r) {
  r.Register(16, PrefixedText16, /*jbod=*/true);
  r.Register(17, KeyedText17, /*jbod=*/true);
  r.Register(18, KeyedText18, /*jbod=*/true);
  r.Register(23, KeyedValue23, /*jbod=*/true);
  r.Register(29, ControllerClock);
}

}  // namespace kavsim
