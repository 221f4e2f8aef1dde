// Stand-ins for the window, the shell, the message boxes and the resources of
// the tray tool, recording what the tool asked of them; and a temporary
// machine (Program Files folder, device and IPC directories) per test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "CKavSnmpConfApp.h"
#include "CKavSnmpConfDlg.h"
#include "DialogHost.h"
#include "Resource.h"
#include "TrayShell.h"

struct AskedBox {
  std::string text;
  UINT type;
};

class FakeBoxes : public MessageBoxes {
 public:
  int MessageBox(const char* text, UINT type) override {
    asked.push_back({text, type});
    if (answers.empty()) return (type & 0x0F) == MB_YESNO ? IDNO : IDOK;
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<int> answers;
  std::vector<AskedBox> asked;
};

class FakeShell : public TrayShell {
 public:
  DWORD GetVersion() override { return version; }
  BOOL Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA* data) override {
    calls.push_back(message);
    last = *data;
    if (message == NIM_ADD) ++present;
    if (message == NIM_DELETE) --present;
    return TRUE;
  }
  DWORD version = 0x0206;  // major 6
  int present = 0;
  std::vector<DWORD> calls;
  NOTIFYICONDATAA last;
};

class FakeResources : public ResourceProvider {
 public:
  HICON LoadIcon(int id) override { return id == IDR_MAINFRAME ? &icon_storage : nullptr; }
  std::unique_ptr<PixelSurface> LoadBitmap(int id) override {
    if (id != IDB_BANNER) return nullptr;
    return std::make_unique<PixelSurface>(banner);
  }
  int icon_storage = 132;
  PixelSurface banner{550, 39, RGB(10, 20, 30)};
};

class FakeHost : public DialogHost {
 public:
  HWND GetSafeHwnd() override { return this; }
  void ShowWindow(int command) override {
    shown = command != SW_HIDE;
    show_commands.push_back(command);
  }
  bool IsIconic() override { return false; }
  void SetIcon(HICON icon, int which) override { icons_set.push_back({icon, which}); }
  void SetDlgItemText(int id, const std::string& text) override { texts[id] = text; }
  std::string GetDlgItemText(int id) override { return texts[id]; }
  void LimitText(int id, int characters) override { limits[id] = characters; }
  void ShowDlgItem(int id, bool show) override { hidden[id] = !show; }
  void CheckRadioButton(int first, int last, int check) override {
    checked = (check >= first && check <= last) ? check : 0;
  }
  int GetCheckedRadioButton(int first, int last) override {
    return checked >= first && checked <= last ? checked : 0;
  }
  COLORREF GetSysColor(int) override { return face; }
  RECT GetDlgItemClientRect(int id) override { return id == IDC_PICTURE ? picture : RECT{}; }
  void InvalidateBanner() override {}
  void SetForegroundWindow() override { events.push_back("foreground"); }
  POINT GetCursorPos() override { return cursor; }
  void TrackPopupMenu(const PopupMenu& menu, UINT flags, POINT at) override {
    events.push_back("menu");
    menus.push_back(menu);
    menu_flags = flags;
    menu_at = at;
  }
  void EndDialog(INT_PTR result) override {
    ended = true;
    end_result = result;
  }

  bool shown = true;
  std::vector<int> show_commands;
  std::vector<std::pair<HICON, int>> icons_set;
  std::map<int, std::string> texts;
  std::map<int, int> limits;
  std::map<int, bool> hidden;
  int checked = 0;
  COLORREF face = RGB(212, 208, 200);
  RECT picture{10, 10, 425, 54};
  POINT cursor{300, 580};
  std::vector<std::string> events;
  std::vector<PopupMenu> menus;
  UINT menu_flags = 0;
  POINT menu_at;
  bool ended = false;
  INT_PTR end_result = 0;
};

// A machine of its own: Program Files, the settings folder, an empty device
// directory (no controllers) and an IPC directory for named mutexes.
class TempMachine {
 public:
  TempMachine() {
    char pattern[] = "/tmp/kavtray-XXXXXX";
    if (mkdtemp(pattern) == nullptr) ADD_FAILURE() << "mkdtemp";
    root = pattern;
    std::filesystem::create_directories(root / "programs/KVADM/SNMP");
    std::filesystem::create_directories(root / "devices");
    std::filesystem::create_directories(root / "ipc");
    std::filesystem::create_directories(root / "windows");
    setenv("KAV_PROGRAM_FILES", (root / "programs").c_str(), 1);
    setenv("KAV_DEVICE_DIR", (root / "devices").c_str(), 1);
    setenv("KAV_IPC_DIR", (root / "ipc").c_str(), 1);
    setenv("KAV_WINDOW_DIR", (root / "windows").c_str(), 1);
  }
  ~TempMachine() {
    for (const char* name : {"KAV_PROGRAM_FILES", "KAV_DEVICE_DIR", "KAV_IPC_DIR", "KAV_WINDOW_DIR"}) {
      unsetenv(name);
    }
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  std::filesystem::path Ini() const { return root / "programs/KVADM/SNMP/KavSnmp.ini"; }
  void WriteIni(const std::string& text) const { std::ofstream(Ini()) << text; }
  std::string ReadIni() const {
    std::ifstream in(Ini());
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }
  std::filesystem::path root;
};
