// Hardware-monitor readings: one group of the command-27 reply, or the reply as
// it came.
#include <algorithm>
#include <cstring>

#include "library/commands/CKavlib.h"
#include "library/commands/CommandCodes.h"

using namespace kavcmd;

namespace {

constexpr int kMaxValues = kHardwareMonitorValues - 1;

uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

int CKavlib::GetHardwareMonitor(int type, uint16_t* out) {
  if (ControllerKind() == 3) return KAV_NOT_AVAILABLE;
  if (out == nullptr || type < 1 || type > 7) return KAV_INVALID_ARGUMENT;

  // Every group offset computed below stays under 4 + 2*255 + 4*255 + 255 + 255
  // bytes, inside this zero-filled area, whatever the counts say.
  uint8_t reply[kCommandReplyArea] = {};
  std::memset(out, 0, kHardwareMonitorValues * sizeof(uint16_t));
  int length = 0;
  const int status = SendCommand(kCmdHardwareMonitor, nullptr, 0, reply, sizeof(reply), &length);
  if (status != KAV_OK) return status;

  const int g1 = reply[0], g2 = reply[1], g3 = reply[2], g4 = reply[3];
  const int group1 = 4;
  const int group2 = group1 + 2 * g1;
  const int group3 = group2 + 4 * g2;
  const int group4 = group3 + g3;
  const int trailer = group4 + g4;
  const int trailer_length = length - trailer;

  // The output holds 50 values; a longer group is reported by its first 50.
  auto put_count = [out](int count) {
    const int reported = std::min(count, kMaxValues);
    out[0] = static_cast<uint16_t>(reported);
    return reported;
  };
  switch (type) {
    case 1: {
      const int n = put_count(g1);
      for (int i = 0; i < n; ++i) out[1 + i] = ReadLe16(reply + group1 + 2 * i);
      break;
    }
    case 2: {
      const int n = put_count(2 * g2);
      for (int i = 0; i < n; ++i) out[1 + i] = ReadLe16(reply + group2 + 2 * i);
      break;
    }
    case 3: {
      const int n = put_count(g3);
      for (int i = 0; i < n; ++i) {
        const uint8_t reading = reply[group3 + i];
        out[1 + i] = reading >= 0x80 ? 0 : reading;
      }
      break;
    }
    case 4: {
      // Each value is one status bit of the first group-4 byte.
      const int n = put_count(g4);
      for (int i = 0; i < n; ++i) out[1 + i] = i < 8 ? (reply[group4] & (1u << i)) : 0;
      break;
    }
    case 5:
      // A plain trailer byte; 0x55 means none. Groups running past the reply
      // leave no trailer to read.
      if (trailer_length > 0 && reply[trailer] != 0x55) {
        out[0] = 1;
        out[1] = reply[trailer];
      }
      break;
    case 6:
      if (trailer_length >= 2 && reply[trailer] == 0x55 && reply[trailer + 1] == 0xAA &&
          reply[trailer + 2] == 0x01) {
        out[0] = 1;
        out[1] = reply[trailer + 3];
      }
      break;
    default:
      break;
  }
  return KAV_OK;
}

int CKavlib::GetHardwareMonitorRaw(uint8_t* buffer) {
  if (buffer == nullptr || m_SystemInfo[kSysInfoMonitorForm] != 5) return KAV_INVALID_ARGUMENT;
  uint8_t reply[kCommandReplyArea] = {};
  int length = 0;
  const int status = SendCommand(kCmdHardwareMonitor, nullptr, 0, reply, sizeof(reply), &length);
  if (status != KAV_OK) return status;
  std::memcpy(buffer, reply, static_cast<size_t>(std::clamp(length, 0, kHardwareMonitorRawSize)));
  return KAV_OK;
}
