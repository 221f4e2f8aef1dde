// The settings window's behaviour: start-up, hide and restore behind the
// notification icon, the icon's menu, Quit, and Save of the two settings.
#include "CKavSnmpConfDlg.h"

#include <cstdio>
#include <cstring>

#include "Resource.h"
#include "platform/profile.h"

namespace {

constexpr int kCommunityEditLimit = 255;

bool HasControlCharacter(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

}  // namespace

PopupMenu LoadTrayMenu() {
  return PopupMenu{{ID_TRAY_SETTINGS, "Settings..."}, {ID_TRAY_QUIT, "Quit"}};
}

CKavSnmpConfDlg::CKavSnmpConfDlg(DialogServices services) : m_services(services) {
  m_hIcon = m_services.resources.LoadIcon(IDR_MAINFRAME);
}

CKavSnmpConfDlg::~CKavSnmpConfDlg() = default;

BOOL CKavSnmpConfDlg::OnInitDialog() {
  m_pHost->SetIcon(m_hIcon, ICON_BIG);
  m_pHost->SetIcon(m_hIcon, ICON_SMALL);

  // Controller detection starts with the settings, so the record is filled
  // before the controls are loaded from it.
  ReadSettings(m_settings);
  DetectControllers(m_services.controllers);

  m_strCommunity = m_settings.community;
  m_pHost->CheckRadioButton(IDC_RADIO_LEVEL0, IDC_RADIO_LEVEL4, IDC_RADIO_LEVEL0 + m_settings.level);
  UpdateData(false);
  m_pHost->ShowDlgItem(IDCANCEL, false);
  m_crBackground = m_pHost->GetSysColor(COLOR_BTNFACE);

  m_pBanner = m_services.resources.LoadBitmap(IDB_BANNER);
  m_banner.SetImage(m_pBanner.get(), CVekImage::kBitmap);
  m_rcBanner = m_pHost->GetDlgItemClientRect(IDC_PICTURE);
  m_rcBanner.left += 1;
  m_rcBanner.top += 1;
  m_nDrawFlags = CVekImage::kDrawTransparent;
  return TRUE;
}

void CKavSnmpConfDlg::UpdateData(bool save) {
  if (save) {
    m_strCommunity = m_pHost->GetDlgItemText(IDC_COMMUNITY);
  } else {
    m_pHost->SetDlgItemText(IDC_COMMUNITY, m_strCommunity);
    m_pHost->LimitText(IDC_COMMUNITY, kCommunityEditLimit);
  }
}

LRESULT CKavSnmpConfDlg::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SYSCOMMAND:
      OnSysCommand(wparam);
      return 0;
    case WM_TRAY_NOTIFY:
      return OnTrayNotify(wparam, lparam);
    case WM_HIDE_WINDOW:
      return OnHideWindow();
    case WM_COMMAND:
      OnCommand(static_cast<UINT>(wparam & 0xFFFF));
      return 0;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<LRESULT>(m_hIcon);
    case WM_PAINT:
      if (m_pHost != nullptr) m_pHost->InvalidateBanner();
      return 0;
    default:
      return 0;
  }
}

void CKavSnmpConfDlg::OnSysCommand(WPARAM command) {
  if ((command & 0xFFF0) != SC_CLOSE) return;  // the window system's own handling
  if (!m_pTrayNot) {
    m_pTrayNot = std::make_unique<CTrayNot>(m_services.shell, m_pHost->GetSafeHwnd(),
                                            WM_TRAY_NOTIFY, m_services.icon_list);
  }
  m_pHost->ShowWindow(SW_HIDE);
}

LRESULT CKavSnmpConfDlg::OnTrayNotify(WPARAM, LPARAM lparam) {
  if (lparam == WM_LBUTTONDBLCLK) {
    m_pHost->ShowWindow(SW_RESTORE);
  } else if (lparam == WM_RBUTTONUP) {
    ShowTrayMenu();
  }
  return 0;
}

LRESULT CKavSnmpConfDlg::OnHideWindow() {
  m_pHost->ShowWindow(SW_HIDE);
  return 1;
}

void CKavSnmpConfDlg::OnCommand(UINT id) {
  switch (id) {
    case IDOK:
      OnOK();
      break;
    case IDCANCEL:
      OnCancel();
      break;
    case ID_TRAY_SETTINGS:
      m_pHost->ShowWindow(SW_RESTORE);
      break;
    case ID_TRAY_QUIT:
      OnQuit();
      break;
    default:
      break;
  }
}

void CKavSnmpConfDlg::ShowTrayMenu() {
  PopupMenu menu = LoadTrayMenu();
  POINT at = m_pHost->GetCursorPos();
  m_pHost->SetForegroundWindow();
  m_pHost->TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at);
}

void CKavSnmpConfDlg::OnQuit() {
  if (m_services.boxes.MessageBox("Are you sure?", MB_YESNO | MB_DEFBUTTON2) != IDYES) return;
  m_pTrayNot.reset();
  OnCancel();
}

void CKavSnmpConfDlg::OnCancel() { m_pHost->EndDialog(IDCANCEL); }

void CKavSnmpConfDlg::OnOK() {
  UpdateData(true);
  // The settings file and every reader keep 127 characters; a longer entry is
  // refused rather than cut, and a line break would split the settings line.
  if (m_strCommunity.size() > static_cast<size_t>(kCommunitySize - 1)) {
    m_services.boxes.MessageBox(kCommunityTooLong, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (HasControlCharacter(m_strCommunity)) {
    m_services.boxes.MessageBox(kCommunityControlCharacters, MB_OK | MB_ICONEXCLAMATION);
    return;
  }

  const TraySettings before = m_settings;
  bool changed = false;
  if (std::strcmp(m_strCommunity.c_str(), m_settings.community) != 0) {
    std::memset(m_settings.community, 0, sizeof(m_settings.community));
    std::memcpy(m_settings.community, m_strCommunity.data(), m_strCommunity.size());
    changed = true;
  }
  int checked = m_pHost->GetCheckedRadioButton(IDC_RADIO_LEVEL0, IDC_RADIO_LEVEL4);
  if (checked != 0) {
    int level = checked - IDC_RADIO_LEVEL0;
    if (level != m_settings.level) {
      m_settings.level = level;
      changed = true;
    }
  }
  if (!changed) return;
  if (m_services.boxes.MessageBox("Save the changes?", MB_YESNO) != IDYES) return;

  char level_text[2] = {static_cast<char>('0' + m_settings.level), '\0'};
  bool written = m_settings.path[0] != '\0' &&
                 WritePrivateProfileStringA("SNMP", "NoLevel", level_text, m_settings.path) &&
                 WritePrivateProfileStringA("SNMP", "Community", m_settings.community,
                                            m_settings.path);
  if (!written) {
    // The record describes what the file holds, so that the next Save tries
    // again instead of finding nothing changed.
    m_settings = before;
    m_services.boxes.MessageBox(kSaveFailed, MB_OK | MB_ICONSTOP);
  }
}

PixelSurface CKavSnmpConfDlg::PaintBanner() {
  PixelSurface memory(m_rcBanner.Width(), m_rcBanner.Height(), m_crBackground);
  RECT area;
  area.right = memory.Width();
  area.bottom = memory.Height();
  m_banner.Draw(memory, area, m_nDrawFlags);
  return memory;
}
