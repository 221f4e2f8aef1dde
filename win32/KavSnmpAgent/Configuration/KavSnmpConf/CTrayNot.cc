// The notification icon's record and its add and remove calls.
#include "CTrayNot.h"

#include <cstring>

#include "Resource.h"

CTrayNot::CTrayNot(TrayShell& shell, HWND owner, UINT callback_message, HICON* icons)
    : m_shell(shell), m_pIconList(icons) {
  m_bEnabled = (m_shell.GetVersion() & 0xFF) >= 4 ? 1 : 0;
  if (!m_bEnabled) return;
  m_tnd.cbSize = kNotifyIconDataSize;
  m_tnd.hWnd = owner;
  m_tnd.uID = 0;
  m_tnd.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  m_tnd.uCallbackMessage = callback_message;
  m_tnd.hIcon = icons != nullptr ? icons[0] : nullptr;
  std::strncpy(m_tnd.szTip, kTrayTip, sizeof(m_tnd.szTip) - 1);
  m_shell.Shell_NotifyIconA(NIM_ADD, &m_tnd);
}

CTrayNot::~CTrayNot() {
  if (m_bEnabled) m_shell.Shell_NotifyIconA(NIM_DELETE, &m_tnd);
}
