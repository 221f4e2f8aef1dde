// The settings file's path from the program files folder (shell folder 38),
// looked up through "shfolder.dll" at run time.
#include "win32/KavSnmpAgent/SettingsPath.h"

#include <cstdio>

#include "platform/windows.h"

namespace {
constexpr const char* kSettingsFile = "KVADM\\SNMP\\KavSnmp.ini";
}

bool SettingsPath(char (&path)[MAX_PATH]) {
  path[0] = '\0';
  HMODULE shell = LoadLibraryA("shfolder.dll");
  if (shell == nullptr) return false;
  bool ok = false;
  auto lookup = reinterpret_cast<PFNSHGETFOLDERPATHA>(GetProcAddress(shell, "SHGetFolderPathA"));
  char folder[MAX_PATH] = {};
  if (lookup != nullptr && lookup(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder) == S_OK) {
    folder[MAX_PATH - 1] = '\0';
    int n = std::snprintf(path, MAX_PATH, "%s\\%s", folder, kSettingsFile);
    ok = n > 0 && n < MAX_PATH;
    if (!ok) path[0] = '\0';
  }
  FreeLibrary(shell);
  return ok;
}
