// CTrayNot: the one notification-area icon of the tray tool, added when the
// object is made and removed when it is destroyed.
#pragma once

#include "TrayShell.h"
#include "WinUi.h"

class CTrayNot {
 public:
  // Adds the icon (the first of `icons`) for `owner`, which receives
  // `callback_message` with the icon's mouse events. On a system older than
  // major version 4 the object stays inert and never calls the shell.
  CTrayNot(TrayShell& shell, HWND owner, UINT callback_message, HICON* icons);
  CTrayNot(const CTrayNot&) = delete;
  CTrayNot& operator=(const CTrayNot&) = delete;
  virtual ~CTrayNot();

  bool Enabled() const { return m_bEnabled != 0; }
  const NOTIFYICONDATAA& Record() const { return m_tnd; }
  HICON* IconList() const { return m_pIconList; }

 private:
  TrayShell& m_shell;
  int32_t m_bEnabled = 0;
  NOTIFYICONDATAA m_tnd;
  HICON* m_pIconList = nullptr;  // the owner's, not owned
};
