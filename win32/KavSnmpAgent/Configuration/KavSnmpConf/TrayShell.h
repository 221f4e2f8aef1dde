// The shell services behind the notification icon: the system's version and
// Shell_NotifyIconA. The Qt layer provides them; tests count the calls.
#pragma once

#include "WinUi.h"

class TrayShell {
 public:
  virtual ~TrayShell() = default;
  // The system's version number; its low byte is the major version.
  virtual DWORD GetVersion() = 0;
  virtual BOOL Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA* data) = 0;
};
