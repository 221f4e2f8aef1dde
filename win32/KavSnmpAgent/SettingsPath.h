// Where the settings file KavSnmp.ini lives: KVADM\SNMP below the program
// files folder. Shared by the agent and the tray tool, which read and write
// the same file.
#pragma once

#include "platform/win_types.h"

// Fills path with the settings file's full path. False (and an empty path)
// when the program files folder cannot be obtained through the run-time shell
// lookup or the path would not fit: the path is never built from an unknown
// folder. The shell library is released again before returning.
bool SettingsPath(char (&path)[MAX_PATH]);
