// Reading the shared settings file; see Settings.h.
#include "win32/KavSnmpAgent/Settings.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/windows.h"
#include "win32/KavSnmpAgent/AgentState.h"
#include "win32/KavSnmpAgent/SettingsPath.h"

namespace {

constexpr int kDefaultPort = 81;
constexpr int kDefaultLevel = 0;
constexpr const char* kDefaultCommunity = "public";

KavSettings DefaultSettings() {
  KavSettings s;
  s.Port = kDefaultPort;
  s.NoLevel = kDefaultLevel;
  std::snprintf(s.Community, sizeof s.Community, "%s", kDefaultCommunity);
  return s;
}

std::mutex g_SettingsLock;
KavSettings g_Settings = DefaultSettings();

}  // namespace

void ReadSettings() {
  KavSettings read = DefaultSettings();
  char path[MAX_PATH] = {};
  if (SettingsPath(path)) {
    read.Port = static_cast<int32_t>(GetPrivateProfileIntA("HTTPPROXY", "Port", kDefaultPort, path));
    read.NoLevel = static_cast<int32_t>(GetPrivateProfileIntA("SNMP", "NoLevel", kDefaultLevel, path));
    std::memset(read.Community, 0, sizeof read.Community);
    GetPrivateProfileStringA("SNMP", "Community", kDefaultCommunity, read.Community,
                             sizeof read.Community, path);
    read.Community[kCommunitySize - 1] = '\0';
  } else {
    g_Debug.Trace("Program files folder not available, using defaults.\r\n");
  }
  {
    std::lock_guard<std::mutex> hold(g_SettingsLock);
    g_Settings = read;
  }
  g_Debug.Trace("Reading Configuration....\r\n");
  g_Debug.Trace("1. Starting of Http Port = [%d].\r\n", read.Port);
  g_Debug.Trace("2. SNMP Notification Level = [%d].\r\n", read.NoLevel);
  g_Debug.Trace("3. SNMP Community String = [%s].\r\n", read.Community);
}

KavSettings CurrentSettings() {
  std::lock_guard<std::mutex> hold(g_SettingsLock);
  return g_Settings;
}
