// The tray tool's own table of detected controllers: up to four library
// objects, each owning the transport of the port it was found on.
#pragma once

#include <cstdint>

#include "library/commands/CKavlib.h"

inline constexpr int kMaxControllers = 4;
inline constexpr int kScsiPortCount = 16;

struct ControllerRecord {
  CKavlib library;
};

struct ControllerTable {
  ControllerRecord records[kMaxControllers];
  uint8_t count = 0;
};

// Probes SCSI ports 0 to 15 in ascending order and attaches the next free
// record to each port that opens, stopping after the fourth. Shows nothing;
// an Attach that fails still counts its record, as the port did answer.
void DetectControllers(ControllerTable& table);

// The table the tool fills while its dialog initialises; nothing else reads it.
ControllerTable& TheControllerTable();
