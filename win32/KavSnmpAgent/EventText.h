// Turning a controller's 32-byte event record into the agent's one-line
// message, its severity and its trap number.
#pragma once

#include <cstdint>
#include <string>

inline constexpr int kTrapMessageSize = 1024;  // including the terminator

struct ComposedEvent {
  int type = 0;
  int code = 0;
  int severity = 0;  // 1 serious .. 4 information; type 6 carries its own
  int specific = 0;  // type * 128 + code
  std::string message;
};

// False for a record whose type or code the agent does not know (it is then
// skipped). `system_info` is the controller's 256-byte record: its kind
// (byte 189) and host bus (byte 175) choose texts.
bool ComposeEvent(int controller_number, const uint8_t* record, const uint8_t* system_info,
                  ComposedEvent* out);

// The record's time stamp as text: "%d-%d-%d  %d:%d:%d" for the calendar form
// (bit 31 set), else the plain count.
std::string FormatEventTime(uint32_t stamp);
