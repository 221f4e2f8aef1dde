// Commands 19 (subsystem record) and 35 (system information).
#include "sim/firmware/Firmware.h"
#include "sim/model/Records.h"

namespace kavsim {
namespace {

Answer SubsystemInfo(Firmware& fw, Payload) { return Answer::Data(SubsystemRecord(fw.state())); }

Answer SystemInformation(Firmware& fw, Payload) {
  return Answer::Data(SystemInfoRecord(fw.state()));
}

}  // namespace

void RegisterSystemCommands(CommandRegistry& r) {
  r.Register(19, SubsystemInfo, /*jbod=*/true);
  r.Register(35, SystemInformation, /*jbod=*/true);
}

}  // namespace kavsim
