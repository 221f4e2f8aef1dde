// Record queries: 32 (raid set), 33 (volume set), 34 (device). A number in
// range without an object gives an empty record; a number past the firmware's
// tables gives 'T'.
#include "sim/firmware/Firmware.h"
#include "sim/model/Records.h"

namespace kavsim {
namespace {

Answer RaidSetInfo(Firmware& fw, Payload payload) {
  if (payload.size() != 1) return Answer::Status(letter::kBadPayload);
  if (payload[0] >= kMaxRaidSets) return Answer::Status(letter::kPastEnd);
  return Answer::Data(RaidSetRecord(fw.state(), payload[0]));
}

Answer VolumeSetInfo(Firmware& fw, Payload payload) {
  if (payload.size() != 1) return Answer::Status(letter::kBadPayload);
  if (payload[0] >= kMaxVolumes) return Answer::Status(letter::kPastEnd);
  return Answer::Data(VolumeSetRecord(fw.state(), payload[0]));
}

Answer DeviceInfo(Firmware& fw, Payload payload) {
  if (payload.size() != 2) return Answer::Status(letter::kBadPayload);
  int device = payload[0];
  int unit = payload[1];
  // Only kind-3 controllers address devices by unit; others expect unit 0.
  if (fw.state().kind != 3 && unit != 0) return Answer::Status(letter::kBadPayload);
  if (device >= kMaxDevices || unit > fw.state().highest_unit) {
    return Answer::Status(letter::kPastEnd);
  }
  return Answer::Data(DeviceRecord(fw.state(), device, unit));
}

}  // namespace

void RegisterRecordCommands(CommandRegistry& r) {
  r.Register(32, RaidSetInfo);
  r.Register(33, VolumeSetInfo);
  r.Register(34, DeviceInfo);
}

}  // namespace kavsim
