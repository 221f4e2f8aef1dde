// The tray tool's copy of the agent's settings file KavSnmp.ini: where it is,
// what the dialog loads from it, and the record Save compares against.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

inline constexpr int kCommunitySize = 128;  // 127 characters and a NUL
inline constexpr int kDefaultHttpPort = 81;

struct TraySettings {
  int32_t port = 0;
  int32_t level = 0;                  // SNMP/NoLevel, 0..4
  char community[kCommunitySize] = {};  // SNMP/Community
  char path[MAX_PATH] = {};           // empty when the folder could not be found
};

// Fills `settings` from the settings file below the Program Files folder. A
// missing file or key gives its default; a port outside 1..65534 becomes 81 and
// a level outside 0..4 becomes 0. When the folder cannot be determined, or the
// path would not fit, the path stays empty and only the defaults are used.
void ReadSettings(TraySettings& settings);
