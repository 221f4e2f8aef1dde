// Command 27: the hardware-monitor readings in counted groups and a trailer.
#include "sim/firmware/Firmware.h"
#include "sim/model/Records.h"

namespace kavsim {
namespace {

Answer MonitorReadings(Firmware& fw, Payload) {
  return Answer::Data(HardwareMonitorReply(fw.state()));
}

}  // namespace

void RegisterMonitorCommands(CommandRegistry& r) { r.Register(27, MonitorReadings); }

}  // namespace kavsim
