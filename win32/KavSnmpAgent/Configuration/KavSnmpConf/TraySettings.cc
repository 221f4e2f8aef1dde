// Reads the settings file the way the tray tool needs it: the folder through
// the shared path rule, then the three keys with the tool's range checks.
#include "TraySettings.h"

#include <cstdio>
#include <cstring>

#include "platform/windows.h"
#include "win32/KavSnmpAgent/SettingsPath.h"

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
