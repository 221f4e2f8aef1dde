// The agent's settings, read from KavSnmp.ini below the program files folder.
// The file is re-read at every query and for every composed event, on two
// threads; each read fills a private record and publishes it whole, so a
// reader always sees one complete read.
#pragma once

#include <cstdint>

inline constexpr int kCommunitySize = 128;  // including the terminating NUL

struct KavSettings {
  int32_t Port = 0;
  int32_t NoLevel = 0;
  char Community[kCommunitySize] = {};
};

// Reads the file (defaults for whatever is missing) into a private record,
// publishes that record whole and traces it.
void ReadSettings();

// A copy of the record the latest ReadSettings published (defaults before the
// first read).
KavSettings CurrentSettings();
