// Resource, control and command identifiers of the tray tool.
#pragma once

inline constexpr int IDD_KAVSNMPCONF_DIALOG = 102;
inline constexpr int IDS_SOCKETS_INIT_FAILED = 103;
inline constexpr int IDR_TRAY_MENU = 129;
inline constexpr int IDR_MAINFRAME = 132;  // the tool's icon
inline constexpr int IDB_BANNER = 155;      // 550 x 39 banner bitmap

inline constexpr int IDC_RADIO_LEVEL0 = 1007;  // "Disable SNMP Trap"
inline constexpr int IDC_RADIO_LEVEL4 = 1011;  // "Information Notification"
inline constexpr int IDC_COMMUNITY = 1012;
inline constexpr int IDC_PICTURE = 1023;

inline constexpr int ID_TRAY_SETTINGS = 32772;
inline constexpr int ID_TRAY_QUIT = 32773;

// The notification icon's callback message, and the message another program
// sends to hide the window.
inline constexpr unsigned WM_TRAY_NOTIFY = 0x8000 + 100;  // 32868
inline constexpr unsigned WM_HIDE_WINDOW = 0x8000 + 101;  // 32869

inline constexpr const char* kDialogTitle = "Kavor SNMP Configuration Tool V1.0";
inline constexpr const char* kTrayTip = "Kavor Raid Controller";
inline constexpr const char* kSingleInstanceMutex = "KavSnmpConfApp";
