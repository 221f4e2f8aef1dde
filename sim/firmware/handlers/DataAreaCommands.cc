// Command 24: writes one 2000-byte block of the data area, or clears the area
// (block number 0xFF and no data).
#include <algorithm>
#include <cstring>

#include "sim/firmware/Firmware.h"

namespace kavsim {
namespace {

constexpr uint8_t kMagic[4] = {0x55, 0xAA, 0xA5, 0x5A};
constexpr size_t kBlock = 2000;

Answer DataAreaBlock(Firmware& fw, Payload p) {
  FirmwareState& s = fw.state();
  size_t area = static_cast<size_t>(DataAreaBlocks(s)) * kBlock;
  if (s.data_area.size() != area) s.data_area.assign(area, 0);
  if (p.size() < 5) return Answer::Status(letter::kBadPayload);
  if (std::memcmp(p.data() + 1, kMagic, 4) != 0) return Answer::Status(letter::kBadKey);
  if (p[0] == 0xFF && p.size() == 5) {
    std::fill(s.data_area.begin(), s.data_area.end(), 0);
    return Answer::Status(letter::kDone);
  }
  if (p.size() != 5 + kBlock) return Answer::Status(letter::kBadPayload);
  if (p[0] >= DataAreaBlocks(s)) return Answer::Status(letter::kPastEnd);
  std::memcpy(s.data_area.data() + size_t{p[0]} * kBlock, p.data() + 5, kBlock);
  return Answer::Status(letter::kDone);
}

}  // namespace

void RegisterDataAreaCommands(CommandRegistry& r) { r.Register(24, DataAreaBlock); }

}  // namespace kavsim
