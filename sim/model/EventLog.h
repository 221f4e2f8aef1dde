// The controller's event log: a ring of 32-byte records and the one-byte event
// pointer that moves on with every logged event and wraps at the ring size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kavsim {

inline constexpr size_t kEventRecordSize = 32;
inline constexpr size_t kEventsPerPage = 16;
inline constexpr size_t kEventPageSize = kEventRecordSize * kEventsPerPage;

class EventLog {
 public:
  // slots: a multiple of 16 from 16 to 256 (the pointer is one byte).
  explicit EventLog(uint32_t slots);

  static bool ValidSlots(uint32_t slots) {
    return slots >= kEventsPerPage && slots <= 256 && slots % kEventsPerPage == 0;
  }

  void Append(uint8_t type, uint8_t code, uint8_t byte2, uint32_t stamp, const std::string& name);
  void Clear();

  uint8_t Pointer() const { return pointer_; }
  uint32_t Slots() const { return slots_; }
  uint32_t Pages() const { return slots_ / kEventsPerPage; }
  uint64_t Logged() const { return logged_; }
  // The k-th most recent record (k = 0 is the newest); zeros where nothing was logged.
  const uint8_t* Recent(uint32_t k) const;
  // Page j: record r is the (16 j + 15 - r)-th most recent. False past the last page.
  bool Page(uint32_t page, uint8_t out[kEventPageSize]) const;

 private:
  uint32_t slots_;
  uint8_t pointer_ = 0;  // slot the next event goes to
  uint64_t logged_ = 0;
  std::vector<uint8_t> ring_;
};

// Time stamp forms of event records.
uint32_t CalendarStamp(int year, int month, int day, int hour, int minute, int second);
struct CalendarTime {
  int year, month, day, hour, minute, second;
};
bool DecodeCalendarStamp(uint32_t stamp, CalendarTime* out);

}  // namespace kavsim
