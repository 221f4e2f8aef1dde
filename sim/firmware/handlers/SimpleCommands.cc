// Simple control commands: texts 20 and 50, resets 21 and 48, options 49, 51,
// 52, 53 and 55, and the IPv4 address 57.
#include <string>

#include "sim/firmware/Firmware.h"

namespace kavsim {
namespace {

// A 16-byte text payload: length byte, then the characters and zero bytes.
Answer Text(Firmware& fw, Payload p, int command) {
  if (p.size() != 16 || p[0] > 15) return Answer::Status(letter::kBadPayload);
  fw.state().texts[command] = std::string(reinterpret_cast<const char*>(p.data() + 1), p[0]);
  return Answer::Status(letter::kDone);
}

Answer Text20(Firmware& fw, Payload p) { return Text(fw, p, 20); }

Answer Name50(Firmware& fw, Payload p) {
  if (p.size() == 16 && p[0] <= 15) {
    for (size_t i = 1; i <= p[0]; ++i) {
      char c = static_cast<char>(p[i]);
      bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
      if (!ok) return Answer::Status(letter::kBadPayload);
    }
  }
  return Text(fw, p, 50);
}

Answer Reset(Firmware& fw, Payload p) {
  if (!p.empty()) return Answer::Status(letter::kBadPayload);
  ++fw.state().resets;
  return Answer::Status(letter::kDone);
}

Answer Option(Firmware& fw, Payload p, int command, int highest) {
  if (p.size() != 1 || p[0] > highest) return Answer::Status(letter::kBadPayload);
  fw.state().options[command] = p[0];
  return Answer::Status(letter::kDone);
}

Answer Option49(Firmware& fw, Payload p) { return Option(fw, p, 49, 1); }
Answer Option51(Firmware& fw, Payload p) { return Option(fw, p, 51, 1); }
Answer Option52(Firmware& fw, Payload p) { return Option(fw, p, 52, 3); }
Answer Option53(Firmware& fw, Payload p) { return Option(fw, p, 53, 255); }

Answer Options55(Firmware& fw, Payload p) {
  if (p.size() != 6 || p[0] > 1 || p[1] > 7 || p[2] != 1 || p[3] > 1) {
    return Answer::Status(letter::kBadPayload);
  }
  for (size_t i = 0; i < 6; ++i) fw.state().options55[i] = p[i];
  return Answer::Status(letter::kDone);
}

Answer IpAddress57(Firmware& fw, Payload p) {
  if (p.size() != 5) return Answer::Status(letter::kBadPayload);
  std::array<uint8_t, 4> address = {p[1], p[2], p[3], p[4]};
  fw.state().addresses[p[0]] = address;
  if (p[0] == 0) fw.state().ip_address = address;
  return Answer::Status(letter::kDone);
}

}  // namespace

void RegisterSimpleCommands(CommandRegistry& r) {
  r.Register(20, Text20);
  r.Register(21, Reset, /*jbod=*/true);
  r.Register(48, Reset);
  r.Register(49, Option49);
  r.Register(50, Name50, /*jbod=*/true);
  r.Register(51, Option51);
  r.Register(52, Option52);
  r.Register(53, Option53);
  r.Register(55, Options55);
  r.Register(57, IpAddress57);
}

}  // namespace kavsim
