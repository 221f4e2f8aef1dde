// CKavSnmpConfDlg: the tray tool's one window, at once the settings editor and
// the owner of the notification icon. Its message handlers run the tool; a
// DialogHost shows them.
#pragma once

#include <memory>
#include <string>

#include "CTrayNot.h"
#include "CVekImage.h"
#include "ControllerTable.h"
#include "DialogHost.h"
#include "TraySettings.h"
#include "TrayShell.h"
#include "WinUi.h"

// Texts of the checks Save makes before anything is written or asked.
inline constexpr const char* kCommunityTooLong =
    "The community is too long: the settings file keeps at most 127 characters.";
inline constexpr const char* kCommunityControlCharacters =
    "The community must not contain control characters.";
inline constexpr const char* kSaveFailed = "The settings could not be written to the settings file.";

struct DialogServices {
  MessageBoxes& boxes;
  TrayShell& shell;
  ResourceProvider& resources;
  HICON* icon_list;  // the application's; the first entry is icon 132
  ControllerTable& controllers;
};

class CKavSnmpConfDlg {
 public:
  explicit CKavSnmpConfDlg(DialogServices services);
  CKavSnmpConfDlg(const CKavSnmpConfDlg&) = delete;
  CKavSnmpConfDlg& operator=(const CKavSnmpConfDlg&) = delete;
  virtual ~CKavSnmpConfDlg();

  // The window the dialog runs in, before OnInitDialog.
  void SetHost(DialogHost* host) { m_pHost = host; }
  BOOL OnInitDialog();
  // Every message to the window, whatever its source.
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam);
  // The banner area's picture: background, then the banner image over it.
  PixelSurface PaintBanner();

  const TraySettings& Settings() const { return m_settings; }
  const CTrayNot* TrayIcon() const { return m_pTrayNot.get(); }
  HICON WindowIcon() const { return m_hIcon; }
  const RECT& BannerRect() const { return m_rcBanner; }
  const PixelSurface* BannerBitmap() const { return m_pBanner.get(); }

 private:
  void OnSysCommand(WPARAM command);
  LRESULT OnTrayNotify(WPARAM wparam, LPARAM lparam);
  LRESULT OnHideWindow();
  void OnCommand(UINT id);
  void OnOK();  // Save
  void OnCancel();
  void OnQuit();
  void ShowTrayMenu();
  void UpdateData(bool save);

  DialogServices m_services;
  DialogHost* m_pHost = nullptr;
  HICON m_hIcon = nullptr;
  std::unique_ptr<CTrayNot> m_pTrayNot;
  TraySettings m_settings;
  std::string m_strCommunity;
  std::unique_ptr<PixelSurface> m_pBanner;
  CVekImage m_banner;
  COLORREF m_crBackground = 0;
  RECT m_rcBanner;
  unsigned m_nDrawFlags = 0;
};
