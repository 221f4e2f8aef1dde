// Event ring of the firmware model.
#include "sim/model/EventLog.h"

#include <algorithm>
#include <cstring>

namespace kavsim {

EventLog::EventLog(uint32_t slots)
    : slots_(ValidSlots(slots) ? slots : 128), ring_(size_t{slots_} * kEventRecordSize, 0) {}

void EventLog::Append(uint8_t type, uint8_t code, uint8_t byte2, uint32_t stamp,
                      const std::string& name) {
  uint8_t* rec = &ring_[size_t{pointer_} * kEventRecordSize];
  std::memset(rec, 0, kEventRecordSize);
  rec[0] = type;
  rec[1] = code;
  rec[2] = byte2;
  for (int i = 0; i < 4; ++i) rec[4 + i] = static_cast<uint8_t>(stamp >> (8 * i));
  std::memcpy(rec + 16, name.data(), std::min<size_t>(name.size(), 16));
  pointer_ = static_cast<uint8_t>((pointer_ + 1u) % slots_);
  ++logged_;
}

void EventLog::Clear() {
  std::fill(ring_.begin(), ring_.end(), 0);
  pointer_ = 0;
  logged_ = 0;
}

const uint8_t* EventLog::Recent(uint32_t k) const {
  uint32_t slot = (pointer_ + slots_ - 1u - (k % slots_)) % slots_;
  return &ring_[size_t{slot} * kEventRecordSize];
}

bool EventLog::Page(uint32_t page, uint8_t out[kEventPageSize]) const {
  if (page >= Pages()) return false;
  for (uint32_t r = 0; r < kEventsPerPage; ++r) {
    uint32_t k = kEventsPerPage * page + (kEventsPerPage - 1 - r);
    std::memcpy(out + r * kEventRecordSize, Recent(k), kEventRecordSize);
  }
  return true;
}

uint32_t CalendarStamp(int year, int month, int day, int hour, int minute, int second) {
  uint32_t y = static_cast<uint32_t>(std::clamp(year - 2000, 0, 31));
  return 0x80000000u | (static_cast<uint32_t>(month & 0xF) << 27) | (y << 22) |
         (static_cast<uint32_t>(day & 0x1F) << 17) | (static_cast<uint32_t>(hour & 0x1F) << 12) |
         (static_cast<uint32_t>(minute & 0x3F) << 6) | static_cast<uint32_t>(second & 0x3F);
}

bool DecodeCalendarStamp(uint32_t stamp, CalendarTime* out) {
  if (!(stamp & 0x80000000u)) return false;
  out->month = static_cast<int>((stamp >> 27) & 0xF);
  out->year = 2000 + static_cast<int>((stamp >> 22) & 0x1F);
  out->day = static_cast<int>((stamp >> 17) & 0x1F);
  out->hour = static_cast<int>((stamp >> 12) & 0x1F);
  out->minute = static_cast<int>((stamp >> 6) & 0x3F);
  out->second = static_cast<int>(stamp & 0x3F);
  return true;
}

}  // namespace kavsim
