// Command 30: an SNMPv1 message for the firmware's SNMP engine; the reply body
// is the engine's answer.
#include "sim/firmware/Firmware.h"
#include "sim/snmp/SnmpEngine.h"

namespace kavsim {
namespace {

Answer SnmpRequest(Firmware& fw, Payload p) {
  SnmpResult r = AnswerSnmp(fw.state(), p.data(), p.size());
  switch (r.outcome) {
    case SnmpOutcome::kAnswered:
      return Answer::Data(std::move(r.response));
    case SnmpOutcome::kWrongCommunity:
      return Answer::Status(letter::kWrongCommunity);
    case SnmpOutcome::kUndecodable:
      break;
  }
  return Answer::Status(letter::kBadPayload);
}

}  // namespace

void RegisterSnmpCommands(CommandRegistry& r) { r.Register(30, SnmpRequest); }

}  // namespace kavsim
