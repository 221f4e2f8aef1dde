// What the settings window's behaviour asks of the window it runs in, and of
// the program's resources. The Qt layer implements both; tests fake them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "PixelSurface.h"
#include "WinUi.h"

struct MenuItem {
  UINT command;
  std::string text;
};
using PopupMenu = std::vector<MenuItem>;

class DialogHost {
 public:
  virtual ~DialogHost() = default;
  // The window as the notification icon addresses it.
  virtual HWND GetSafeHwnd() = 0;
  virtual void ShowWindow(int command) = 0;  // SW_HIDE, SW_RESTORE
  virtual bool IsIconic() = 0;
  virtual void SetIcon(HICON icon, int which) = 0;  // ICON_BIG, ICON_SMALL
  virtual void SetDlgItemText(int id, const std::string& text) = 0;
  virtual std::string GetDlgItemText(int id) = 0;  // UTF-8
  virtual void LimitText(int id, int characters) = 0;
  virtual void ShowDlgItem(int id, bool show) = 0;
  virtual void CheckRadioButton(int first, int last, int check) = 0;
  // The checked button of first..last, 0 when none is checked.
  virtual int GetCheckedRadioButton(int first, int last) = 0;
  virtual COLORREF GetSysColor(int index) = 0;
  // A control's client rectangle in the dialog's client coordinates.
  virtual RECT GetDlgItemClientRect(int id) = 0;
  virtual void InvalidateBanner() = 0;
  virtual void SetForegroundWindow() = 0;
  virtual POINT GetCursorPos() = 0;
  // Shows the pop-up menu at `at`; the chosen item reaches the window later as
  // WM_COMMAND.
  virtual void TrackPopupMenu(const PopupMenu& menu, UINT flags, POINT at) = 0;
  virtual void EndDialog(INT_PTR result) = 0;
};

class ResourceProvider {
 public:
  virtual ~ResourceProvider() = default;
  // Icons stay valid as long as the provider; nullptr when missing.
  virtual HICON LoadIcon(int id) = 0;
  // nullptr when missing.
  virtual std::unique_ptr<PixelSurface> LoadBitmap(int id) = 0;
};

// Menu resource 129, first pop-up.
PopupMenu LoadTrayMenu();
