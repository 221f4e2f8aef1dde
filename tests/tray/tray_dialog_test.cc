// The settings window's behaviour without a display: loading and Save of the
// settings, hide and restore behind exactly one notification icon, the icon's
// menu, Quit, Escape, the hide message from other programs, and start-up with
// its single-instance rule.
#include <gtest/gtest.h>

#include <cstring>

#include "CKavSnmpConfApp.h"
#include "CKavSnmpConfDlg.h"
#include "ControllerTable.h"
#include "Resource.h"
#include "TraySettings.h"
#include "platform/testing.h"
#include "platform/windows.h"
#include "tray_fakes.h"

namespace {

class TrayDialog : public ::testing::Test {
 protected:
  // Builds and initialises the dialog over whatever settings file the test wrote.
  void Open() {
    dialog_ = std::make_unique<CKavSnmpConfDlg>(
        DialogServices{boxes_, shell_, resources_, icons_, table_});
    dialog_->SetHost(&host_);
    ASSERT_TRUE(dialog_->OnInitDialog());
  }
  void Save() { dialog_->WindowProc(WM_COMMAND, IDOK, 0); }
  void Close() { dialog_->WindowProc(WM_SYSCOMMAND, SC_CLOSE, 0); }
  void Tray(LPARAM event) { dialog_->WindowProc(WM_TRAY_NOTIFY, 0, event); }
  void CheckLevel(int level) { host_.checked = IDC_RADIO_LEVEL0 + level; }

  TempMachine machine_;
  FakeBoxes boxes_;
  FakeShell shell_;
  FakeResources resources_;
  FakeHost host_;
  ControllerTable table_;
  HICON icons_[1] = {&resources_.icon_storage};
  std::unique_ptr<CKavSnmpConfDlg> dialog_;
};

TEST_F(TrayDialog, InitialisationLoadsTheSettingsIntoTheControls) {
  machine_.WriteIni("[SNMP]\nNoLevel=3\nCommunity=private\n");
  Open();
  EXPECT_EQ(host_.texts[IDC_COMMUNITY], "private");
  EXPECT_EQ(host_.limits[IDC_COMMUNITY], 255);
  EXPECT_EQ(host_.checked, 1010);
  EXPECT_TRUE(host_.hidden[IDCANCEL]);
  ASSERT_EQ(host_.icons_set.size(), 2u);
  EXPECT_EQ(host_.icons_set[0], std::make_pair(static_cast<HICON>(&resources_.icon_storage), ICON_BIG));
  EXPECT_EQ(host_.icons_set[1].second, ICON_SMALL);
  EXPECT_EQ(table_.count, 0);  // no controller on this machine
  // The banner area is the picture control moved in by one pixel at the top left.
  EXPECT_EQ(dialog_->BannerRect().left, 11);
  EXPECT_EQ(dialog_->BannerRect().top, 11);
  EXPECT_EQ(dialog_->BannerRect().right, 425);
  EXPECT_EQ(dialog_->BannerRect().bottom, 54);
  EXPECT_EQ(shell_.calls.size(), 0u);  // no icon until the first close
}

TEST(TraySettings, GivesDefaultsAndRangeChecksThePortAndLevel) {
  const std::string long_community(200, 'c');
  const std::string long_ini = "[SNMP]\nCommunity=" + long_community + "\n";
  const std::string cut(127, 'c');
  struct {
    const char* ini;  // nullptr: no file at all
    int port;
    int level;
    std::string community;
  } cases[] = {
      {nullptr, 81, 0, "public"},
      {"[HTTPPROXY]\nPort=0\n[SNMP]\nNoLevel=7\n", 81, 0, "public"},
      {"[HTTPPROXY]\nPort=65535\n[SNMP]\nNoLevel=-1\n", 81, 0, "public"},
      {"[HTTPPROXY]\nPort=65534\n[SNMP]\nNoLevel=4\nCommunity=x\n", 65534, 4, "x"},
      {long_ini.c_str(), 81, 0, cut},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ini == nullptr ? "no file" : c.ini);
    TempMachine machine;
    if (c.ini != nullptr) machine.WriteIni(c.ini);
    TraySettings settings;
    ReadSettings(settings);
    EXPECT_EQ(settings.port, c.port);
    EXPECT_EQ(settings.level, c.level);
    EXPECT_EQ(settings.community, c.community);
    EXPECT_EQ(std::string(settings.path),
              (machine.root / "programs").string() + "\\KVADM\\SNMP\\KavSnmp.ini");
  }
}

TEST(TraySettingsFolder, AnUnknownFolderGivesTheDefaultsAndNoPath) {
  TempMachine machine;
  machine.WriteIni("[SNMP]\nNoLevel=2\n");
  KavTestSetShellFault(KAV_SHELL_LOOKUP_FAILS);
  TraySettings settings;
  ReadSettings(settings);
  KavTestSetShellFault(KAV_SHELL_OK);
  EXPECT_EQ(settings.level, 0);
  EXPECT_STREQ(settings.community, "public");
  EXPECT_STREQ(settings.path, "");
}

TEST_F(TrayDialog, SaveWithNothingChangedAsksAndWritesNothing) {
  const std::string before = "; kept\n[SNMP]\nNoLevel=1\nCommunity=public\n";
  machine_.WriteIni(before);
  Open();
  Save();
  EXPECT_TRUE(boxes_.asked.empty());
  EXPECT_EQ(machine_.ReadIni(), before);
}

TEST_F(TrayDialog, ALevelChangeAsksAndYesWritesBothKeysKeepingOtherLines) {
  machine_.WriteIni("; kept\n[HTTPPROXY]\nPort=8080\n[SNMP]\nNoLevel=1\nCommunity=public\n");
  Open();
  CheckLevel(4);
  boxes_.answers = {IDYES};
  Save();
  ASSERT_EQ(boxes_.asked.size(), 1u);
  EXPECT_EQ(boxes_.asked[0].text, "Save the changes?");
  EXPECT_EQ(boxes_.asked[0].type, MB_YESNO);
  const std::string file = machine_.ReadIni();
  EXPECT_NE(file.find("NoLevel=4\n"), std::string::npos) << file;
  EXPECT_NE(file.find("Community=public\n"), std::string::npos) << file;
  EXPECT_NE(file.find("; kept"), std::string::npos);
  EXPECT_NE(file.find("Port=8080"), std::string::npos);
  EXPECT_FALSE(host_.ended);
  EXPECT_TRUE(host_.shown);
  // What was saved is now the reference: saving again asks nothing.
  Save();
  EXPECT_EQ(boxes_.asked.size(), 1u);
}

TEST_F(TrayDialog, NoWritesNothingAndTheNextSaveAsksNothing) {
  const std::string before = "[SNMP]\nNoLevel=0\nCommunity=public\n";
  machine_.WriteIni(before);
  Open();
  CheckLevel(2);
  boxes_.answers = {IDNO};
  Save();
  EXPECT_EQ(machine_.ReadIni(), before);
  Save();
  EXPECT_EQ(boxes_.asked.size(), 1u);
  EXPECT_EQ(dialog_->Settings().level, 2);  // kept in the record only
}

TEST(TrayCommunitySave, ComparesByteWiseAndSavesWhatWasTyped) {
  const std::string q127(127, 'q');
  struct {
    std::string typed;
    bool asks;
    std::string line;  // expected in the file after Yes; empty: file unchanged
  } cases[] = {
      {"public", false, ""},
      {"Public", true, "Community=Public\n"},  // letter case counts
      {"", true, "Community=\n"},
      {q127, true, "Community=" + q127 + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    TempMachine machine;
    const std::string before = "[SNMP]\nNoLevel=2\nCommunity=public\n";
    machine.WriteIni(before);
    FakeBoxes boxes;
    FakeShell shell;
    FakeResources resources;
    FakeHost host;
    ControllerTable table;
    HICON icons[1] = {&resources.icon_storage};
    CKavSnmpConfDlg dialog(DialogServices{boxes, shell, resources, icons, table});
    dialog.SetHost(&host);
    dialog.OnInitDialog();
    host.texts[IDC_COMMUNITY] = c.typed;
    boxes.answers = {IDYES};
    dialog.WindowProc(WM_COMMAND, IDOK, 0);
    EXPECT_EQ(!boxes.asked.empty(), c.asks);
    if (c.line.empty()) {
      EXPECT_EQ(machine.ReadIni(), before);
    } else {
      EXPECT_NE(machine.ReadIni().find(c.line), std::string::npos) << machine.ReadIni();
      EXPECT_NE(machine.ReadIni().find("NoLevel=2\n"), std::string::npos);
      TraySettings reread;
      ReadSettings(reread);
      EXPECT_EQ(reread.community, c.typed);
    }
  }
}

TEST_F(TrayDialog, ACommunityTheFileCannotHoldIsRefusedWithAMessage) {
  const std::string before = "[SNMP]\nNoLevel=0\nCommunity=public\n";
  machine_.WriteIni(before);
  Open();
  struct {
    std::string typed;
    const char* message;
  } refused[] = {{std::string(128, 'q'), kCommunityTooLong},
                 {std::string(255, 'q'), kCommunityTooLong},
                 {"pub\nNoLevel=4", kCommunityControlCharacters}};
  for (const auto& r : refused) {
    boxes_.asked.clear();
    host_.texts[IDC_COMMUNITY] = r.typed;
    CheckLevel(3);
    boxes_.answers = {IDYES, IDYES};
    Save();
    ASSERT_EQ(boxes_.asked.size(), 1u);
    EXPECT_EQ(boxes_.asked[0].text, r.message);
    EXPECT_EQ(boxes_.asked[0].type & 0x0Fu, MB_OK);
    EXPECT_EQ(machine_.ReadIni(), before);
    EXPECT_STREQ(dialog_->Settings().community, "public");
    EXPECT_EQ(dialog_->Settings().level, 0);
  }
}

TEST_F(TrayDialog, AFailedWriteIsReportedAndTheNextSaveTriesAgain) {
  std::filesystem::remove_all(machine_.root / "programs/KVADM");  // no settings folder
  Open();
  CheckLevel(1);
  boxes_.answers = {IDYES, IDOK, IDYES};
  Save();
  ASSERT_EQ(boxes_.asked.size(), 2u);
  EXPECT_EQ(boxes_.asked[1].text, kSaveFailed);
  EXPECT_EQ(dialog_->Settings().level, 0);
  Save();
  EXPECT_EQ(boxes_.asked.size(), 4u);
}

TEST_F(TrayDialog, ClosingHidesBehindExactlyOneIcon) {
  Open();
  Close();
  EXPECT_FALSE(host_.shown);
  ASSERT_EQ(shell_.present, 1);
  EXPECT_EQ(shell_.calls, std::vector<DWORD>{NIM_ADD});
  const NOTIFYICONDATAA& record = shell_.last;
  EXPECT_EQ(record.cbSize, 88u);
  EXPECT_EQ(record.hWnd, static_cast<HWND>(&host_));
  EXPECT_EQ(record.uID, 0u);
  EXPECT_EQ(record.uFlags, 7u);
  EXPECT_EQ(record.uCallbackMessage, 32868u);
  EXPECT_EQ(record.hIcon, icons_[0]);
  EXPECT_STREQ(record.szTip, "Kavor Raid Controller");

  Tray(WM_LBUTTONUP);  // a single click does nothing
  EXPECT_FALSE(host_.shown);
  Tray(WM_LBUTTONDBLCLK);
  EXPECT_TRUE(host_.shown);
  EXPECT_EQ(host_.show_commands.back(), SW_RESTORE);
  dialog_->WindowProc(WM_SYSCOMMAND, SC_CLOSE | 3, 0);  // the low bits do not matter
  EXPECT_FALSE(host_.shown);
  EXPECT_EQ(shell_.present, 1);
  EXPECT_EQ(shell_.calls.size(), 1u);
  dialog_.reset();  // the program's end removes the icon
  EXPECT_EQ(shell_.present, 0);
}

TEST_F(TrayDialog, RightButtonOpensTheMenuAndSettingsRestores) {
  Open();
  Close();
  Tray(WM_RBUTTONUP);
  ASSERT_EQ(host_.menus.size(), 1u);
  const PopupMenu& menu = host_.menus[0];
  ASSERT_EQ(menu.size(), 2u);
  EXPECT_EQ(menu[0].text, "Settings...");
  EXPECT_EQ(menu[0].command, 32772u);
  EXPECT_EQ(menu[1].text, "Quit");
  EXPECT_EQ(menu[1].command, 32773u);
  EXPECT_EQ(host_.events, (std::vector<std::string>{"foreground", "menu"}));
  EXPECT_EQ(host_.menu_at.x, 300);
  EXPECT_EQ(host_.menu_at.y, 580);
  EXPECT_EQ(host_.menu_flags, static_cast<UINT>(TPM_RIGHTBUTTON));
  dialog_->WindowProc(WM_COMMAND, ID_TRAY_SETTINGS, 0);
  EXPECT_TRUE(host_.shown);
  EXPECT_EQ(shell_.present, 1);  // the icon stays while the window is shown
}

TEST_F(TrayDialog, QuitAsksWithNoAsDefaultAndOnlyYesEnds) {
  Open();
  Close();
  boxes_.answers = {IDNO};
  dialog_->WindowProc(WM_COMMAND, ID_TRAY_QUIT, 0);
  ASSERT_EQ(boxes_.asked.size(), 1u);
  EXPECT_EQ(boxes_.asked[0].text, "Are you sure?");
  EXPECT_EQ(boxes_.asked[0].type, MB_YESNO | MB_DEFBUTTON2);
  EXPECT_FALSE(host_.ended);
  EXPECT_EQ(shell_.present, 1);

  boxes_.answers = {IDYES};
  dialog_->WindowProc(WM_COMMAND, ID_TRAY_QUIT, 0);
  EXPECT_EQ(shell_.present, 0);
  EXPECT_EQ(dialog_->TrayIcon(), nullptr);
  EXPECT_TRUE(host_.ended);
  EXPECT_EQ(host_.end_result, IDCANCEL);
}

TEST_F(TrayDialog, EscapeEndsWithoutQuestionOrSave) {
  machine_.WriteIni("[SNMP]\nNoLevel=0\n");
  Open();
  CheckLevel(3);
  dialog_->WindowProc(WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(host_.ended);
  EXPECT_EQ(host_.end_result, IDCANCEL);
  EXPECT_TRUE(boxes_.asked.empty());
  EXPECT_EQ(machine_.ReadIni(), "[SNMP]\nNoLevel=0\n");
}

TEST_F(TrayDialog, TheHideMessageHidesWithoutAnIcon) {
  Open();
  EXPECT_EQ(dialog_->WindowProc(WM_HIDE_WINDOW, 0, 0), 1);
  EXPECT_FALSE(host_.shown);
  EXPECT_EQ(host_.show_commands.back(), SW_HIDE);
  EXPECT_TRUE(shell_.calls.empty());
  EXPECT_EQ(dialog_->WindowProc(WM_QUERYDRAGICON, 0, 0),
            reinterpret_cast<LRESULT>(&resources_.icon_storage));
}

TEST_F(TrayDialog, OnAnOldSystemTheIconStaysInertButClosingStillHides) {
  shell_.version = 0x0A03;  // major 3
  Open();
  Close();
  EXPECT_FALSE(host_.shown);
  ASSERT_NE(dialog_->TrayIcon(), nullptr);
  EXPECT_FALSE(dialog_->TrayIcon()->Enabled());
  dialog_.reset();
  EXPECT_TRUE(shell_.calls.empty());
}

// ---- start-up ------------------------------------------------------------

class CountingRunner : public DialogRunner {
 public:
  INT_PTR RunModal(CKavSnmpConfDlg& dialog) override {
    ++runs;
    FakeHost host;
    dialog.SetHost(&host);
    dialog.OnInitDialog();
    return IDCANCEL;
  }
  int runs = 0;
};

TEST(TrayStartUp, RunsOneDialogOnlyAsTheOnlyInstanceWithSockets) {
  enum class Machine { kFree, kTaken, kNoSockets, kNoMutex };
  struct {
    Machine machine;
    const char* message;  // nullptr: no message, the dialog runs
  } cases[] = {
      {Machine::kFree, nullptr},
      {Machine::kTaken, "Application has one instance in the system"},
      {Machine::kNoSockets, "Windows sockets initialization failed."},
      {Machine::kNoMutex, nullptr},  // runs as if it were the only instance
  };
  for (const auto& c : cases) {
    TempMachine machine;
    HANDLE running = nullptr;
    if (c.machine == Machine::kTaken) running = CreateMutexA(nullptr, FALSE, "KavSnmpConfApp");
    if (c.machine == Machine::kNoMutex) setenv("KAV_IPC_DIR", (machine.root / "missing").c_str(), 1);
    FakeBoxes boxes;
    FakeShell shell;
    FakeResources resources;
    CountingRunner runner;
    ControllerTable table;
    {
      CKavSnmpConfApp app(AppServices{boxes, shell, resources, runner, table,
                                      [&] { return c.machine != Machine::kNoSockets; }});
      EXPECT_FALSE(app.InitInstance());
      EXPECT_EQ(app.IconList()[0], c.message == nullptr ? &resources.icon_storage : nullptr);
    }
    EXPECT_EQ(runner.runs, c.message == nullptr ? 1 : 0);
    if (c.message == nullptr) {
      EXPECT_TRUE(boxes.asked.empty());
    } else {
      ASSERT_EQ(boxes.asked.size(), 1u);
      EXPECT_EQ(boxes.asked[0].text, c.message);
      EXPECT_EQ(boxes.asked[0].type, MB_OK);
    }
    if (running != nullptr) CloseHandle(running);
  }
}

TEST(TrayStartUp, TheFirstInstanceHoldsTheNameUntilItEnds) {
  TempMachine machine;
  FakeBoxes boxes;
  FakeShell shell;
  FakeResources resources;
  ControllerTable table;
  // While the first instance's dialog runs, a second start is refused.
  class SecondStart : public DialogRunner {
   public:
    INT_PTR RunModal(CKavSnmpConfDlg&) override {
      HANDLE probe = CreateMutexA(nullptr, FALSE, "KavSnmpConfApp");
      taken = probe != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
      CloseHandle(probe);
      return IDCANCEL;
    }
    bool taken = false;
  } runner;
  CKavSnmpConfApp app(AppServices{boxes, shell, resources, runner, table, SocketsAvailable});
  app.InitInstance();
  EXPECT_TRUE(runner.taken);
}

}  // namespace
