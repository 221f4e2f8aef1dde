// CKavSnmpConfApp: the tray tool's start-up. Makes sure only one tool runs,
// then runs the settings window until it ends.
#pragma once

#include <functional>

#include "CKavSnmpConfDlg.h"
#include "DialogHost.h"
#include "TrayShell.h"
#include "WinUi.h"
#include "platform/windows.h"

// Runs the dialog in a window of its own until the dialog ends; returns the
// dialog's result.
class DialogRunner {
 public:
  virtual ~DialogRunner() = default;
  virtual INT_PTR RunModal(CKavSnmpConfDlg& dialog) = 0;
};

inline constexpr const char* kSocketsInitFailed = "Windows sockets initialization failed.";
inline constexpr const char* kOneInstance = "Application has one instance in the system";

struct AppServices {
  MessageBoxes& boxes;
  TrayShell& shell;
  ResourceProvider& resources;
  DialogRunner& runner;
  ControllerTable& controllers;
  // The sockets start-up; false shows kSocketsInitFailed and ends the tool.
  std::function<bool()> init_sockets;
};

// True when this process can make sockets.
bool SocketsAvailable();

class CKavSnmpConfApp {
 public:
  explicit CKavSnmpConfApp(AppServices services) : m_services(std::move(services)) {}
  CKavSnmpConfApp(const CKavSnmpConfApp&) = delete;
  CKavSnmpConfApp& operator=(const CKavSnmpConfApp&) = delete;
  // The single-instance handle is held until the application object goes,
  // which for the program is its end.
  ~CKavSnmpConfApp();

  // Start-up in order; always FALSE: no message loop follows, the program ends.
  BOOL InitInstance();

  HICON* IconList() { return m_hIcons; }
  bool DialogRan() const { return m_bDialogRan; }

 private:
  AppServices m_services;
  HANDLE m_hInstanceMutex = nullptr;
  HICON m_hIcons[1] = {nullptr};
  bool m_bDialogRan = false;
};
