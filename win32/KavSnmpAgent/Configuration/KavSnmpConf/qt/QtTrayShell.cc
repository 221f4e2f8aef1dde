// Notification icons on the desktop's system tray.
#include "QtTrayShell.h"

#include <sys/utsname.h>

#include <QIcon>
#include <cstdlib>

#include "KavDialogWindow.h"

QtTrayShell::QtTrayShell() = default;
QtTrayShell::~QtTrayShell() = default;

DWORD QtTrayShell::GetVersion() {
  utsname name;
  if (uname(&name) != 0) return 0;
  char* rest = nullptr;
  unsigned long major = std::strtoul(name.release, &rest, 10);
  unsigned long minor = (rest != nullptr && *rest == '.') ? std::strtoul(rest + 1, nullptr, 10) : 0;
  return static_cast<DWORD>((major & 0xFF) | ((minor & 0xFF) << 8));
}

BOOL QtTrayShell::Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA* data) {
  if (data == nullptr) return FALSE;
  auto key = std::make_pair(data->hWnd, data->uID);
  if (message == NIM_DELETE) return icons_.erase(key) == 1 ? TRUE : FALSE;
  if (message != NIM_ADD || icons_.count(key) != 0) return FALSE;

  auto icon = std::make_unique<QSystemTrayIcon>();
  if ((data->uFlags & NIF_ICON) != 0 && data->hIcon != nullptr) {
    icon->setIcon(*static_cast<QIcon*>(data->hIcon));
  }
  if ((data->uFlags & NIF_TIP) != 0) {
    data->szTip[sizeof(data->szTip) - 1] = '\0';
    icon->setToolTip(QString::fromLocal8Bit(data->szTip));
  }
  if ((data->uFlags & NIF_MESSAGE) != 0) {
    HWND owner = data->hWnd;
    UINT id = data->uID;
    UINT callback = data->uCallbackMessage;
    QObject::connect(icon.get(), &QSystemTrayIcon::activated,
                     [owner, id, callback](QSystemTrayIcon::ActivationReason reason) {
                       LPARAM event = 0;
                       switch (reason) {
                         case QSystemTrayIcon::DoubleClick: event = WM_LBUTTONDBLCLK; break;
                         case QSystemTrayIcon::Context: event = WM_RBUTTONUP; break;
                         case QSystemTrayIcon::Trigger: event = WM_LBUTTONUP; break;
                         case QSystemTrayIcon::MiddleClick: event = WM_MBUTTONUP; break;
                         default: return;
                       }
                       // Queued, so the tray's own mouse handling finishes first.
                       if (KavDialogWindow* window = KavDialogWindow::FromHwnd(owner)) {
                         window->PostMessage(callback, id, event);
                       }
                     });
  }
  icon->show();
  icons_.emplace(key, std::move(icon));
  return TRUE;
}
