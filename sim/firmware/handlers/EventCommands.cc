// Event log commands: 25 (event pointer), 26 (one page of 16 records, newest
// last) and 36 (clear the log).
#include "sim/firmware/Firmware.h"

namespace kavsim {
namespace {

Answer EventPointer(Firmware& fw, Payload) {
  return Answer::Data({fw.state().events.Pointer()});
}

Answer EventPage(Firmware& fw, Payload payload) {
  if (payload.size() != 1) return Answer::Status(letter::kBadPayload);
  std::vector<uint8_t> page(kEventPageSize);
  if (!fw.state().events.Page(payload[0], page.data())) return Answer::Status(letter::kPastEnd);
  return Answer::Data(std::move(page));
}

Answer ClearLog(Firmware& fw, Payload) {
  fw.state().events.Clear();
  return Answer::Status(letter::kDone);
}

}  // namespace

void RegisterEventCommands(CommandRegistry& r) {
  r.Register(25, EventPointer);
  r.Register(26, EventPage);
  r.Register(36, ClearLog);
}

}  // namespace kavsim
