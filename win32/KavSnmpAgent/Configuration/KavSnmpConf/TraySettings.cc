// Reads the settings file the way the tray tool needs it: the folder through
// the run-time shell lookup, then the three keys with the tool's range checks.
#include "TraySettings.h"

#include <cstdio>
#include <cstring>

#include "platform/windows.h"

namespace {

constexpr const char* kSettingsRelativePath = "KVADM\\SNMP\\KavSnmp.ini";

// The settings path, or false when the folder cannot be obtained or the path
// would not fit; the path is never built from an unset folder.
bool SettingsPath(char (&path)[MAX_PATH]) {
  path[0] = '\0';
  HMODULE shell = LoadLibraryA("shfolder.dll");
  if (shell == nullptr) return false;
  bool found = false;
  auto lookup = reinterpret_cast<PFNSHGETFOLDERPATHA>(GetProcAddress(shell, "SHGetFolderPathA"));
  char folder[MAX_PATH] = {};
  if (lookup != nullptr && lookup(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder) == S_OK) {
    folder[MAX_PATH - 1] = '\0';
    int written = std::snprintf(path, MAX_PATH, "%s\\%s", folder, kSettingsRelativePath);
    found = written > 0 && written < MAX_PATH;
    if (!found) path[0] = '\0';
  }
  FreeLibrary(shell);
  return found;
}

}  // namespace

void ReadSettings(TraySettings& settings) {
  settings = TraySettings{};
  if (SettingsPath(settings.path)) {
    settings.port = static_cast<int32_t>(
        GetPrivateProfileIntA("HTTPPROXY", "Port", kDefaultHttpPort, settings.path));
    settings.level =
        static_cast<int32_t>(GetPrivateProfileIntA("SNMP", "NoLevel", 0, settings.path));
    GetPrivateProfileStringA("SNMP", "Community", "public", settings.community, kCommunitySize,
                             settings.path);
  } else {
    settings.port = kDefaultHttpPort;
    settings.level = 0;
    std::strcpy(settings.community, "public");
  }
  settings.community[kCommunitySize - 1] = '\0';
  if (settings.port <= 0 || settings.port >= 65535) settings.port = kDefaultHttpPort;
  if (settings.level < 0 || settings.level > 4) settings.level = 0;
}
