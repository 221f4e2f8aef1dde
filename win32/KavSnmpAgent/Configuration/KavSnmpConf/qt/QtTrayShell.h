// The notification area through Qt's system tray icon: each added record is one
// QSystemTrayIcon whose mouse events reach the record's window as its callback
// message.
#pragma once

#include <QSystemTrayIcon>
#include <map>
#include <memory>
#include <utility>

#include "TrayShell.h"

class QtTrayShell : public TrayShell {
 public:
  QtTrayShell();
  ~QtTrayShell() override;
  // The running kernel's version, major in the low byte.
  DWORD GetVersion() override;
  // An HICON in the record is a QIcon* (QtResources).
  BOOL Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA* data) override;
  int IconCount() const { return static_cast<int>(icons_.size()); }

 private:
  std::map<std::pair<HWND, UINT>, std::unique_ptr<QSystemTrayIcon>> icons_;
};
