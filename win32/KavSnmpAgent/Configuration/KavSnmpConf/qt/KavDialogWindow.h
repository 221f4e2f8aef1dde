// The settings window on Qt Widgets: builds template 102 with dialog units
// converted from the dialog font, turns window-system events into the
// messages CKavSnmpConfDlg handles, and listens for messages from other
// programs under its title.
#pragma once

#include <QButtonGroup>
#include <QDialog>
#include <map>

#include "CKavSnmpConfDlg.h"
#include "DialogHost.h"
#include "DialogTemplate.h"
#include "platform/window_messages.h"

class QEventLoop;
class QSocketNotifier;

class KavDialogWindow : public QDialog, public DialogHost {
 public:
  explicit KavDialogWindow(CKavSnmpConfDlg& dialog);
  ~KavDialogWindow() override;

  // Runs the dialog's initialisation with the window still hidden.
  void Initialise();
  // Shows the window and runs until the dialog ends; the dialog's result.
  INT_PTR RunModal();
  bool Ended() const { return ended_; }
  INT_PTR Result() const { return result_; }

  LRESULT SendMessage(UINT message, WPARAM wparam, LPARAM lparam);
  // Delivered from the event loop, after the current event; dropped when the
  // window is gone by then.
  void PostMessage(UINT message, WPARAM wparam, LPARAM lparam);
  // The live window behind an HWND of this program, or nullptr.
  static KavDialogWindow* FromHwnd(HWND hwnd);

  QWidget* Control(int id) const;
  DialogBaseUnits BaseUnits() const { return units_; }
  bool ListensForMessages() const { return endpoint_ != nullptr; }

  // DialogHost
  HWND GetSafeHwnd() override { return static_cast<HWND>(this); }
  void ShowWindow(int command) override;
  bool IsIconic() override;
  void SetIcon(HICON icon, int which) override;
  void SetDlgItemText(int id, const std::string& text) override;
  std::string GetDlgItemText(int id) override;
  void LimitText(int id, int characters) override;
  void ShowDlgItem(int id, bool show) override;
  void CheckRadioButton(int first, int last, int check) override;
  int GetCheckedRadioButton(int first, int last) override;
  COLORREF GetSysColor(int index) override;
  RECT GetDlgItemClientRect(int id) override;
  void InvalidateBanner() override;
  void SetForegroundWindow() override;
  POINT GetCursorPos() override;
  void TrackPopupMenu(const PopupMenu& menu, UINT flags, POINT at) override;
  void EndDialog(INT_PTR result) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildControls();
  static LRESULT FromOtherProgram(void* window, UINT message, WPARAM wparam, LPARAM lparam);

  CKavSnmpConfDlg& dialog_;
  DialogBaseUnits units_{};
  std::map<int, QWidget*> controls_;
  QButtonGroup radios_;
  KavWindowEndpoint* endpoint_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
  QEventLoop* loop_ = nullptr;
  bool ended_ = false;
  INT_PTR result_ = 0;
};
