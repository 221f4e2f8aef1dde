// The window-system values and small types the tray tool's behaviour is written
// against; the Qt layer translates them, tests check them.
#pragma once

#include <cstdint>

#include "platform/win_types.h"
#include "platform/window_messages.h"

#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

#define MB_OK 0x0000u
#define MB_YESNO 0x0004u
#define MB_ICONSTOP 0x0010u
#define MB_ICONEXCLAMATION 0x0030u
#define MB_DEFBUTTON2 0x0100u

#define SW_HIDE 0
#define SW_SHOW 5
#define SW_RESTORE 9

#define ICON_SMALL 0
#define ICON_BIG 1

#define TPM_LEFTALIGN 0x0000u
#define TPM_RIGHTBUTTON 0x0002u

#define NIM_ADD 0
#define NIM_DELETE 2
#define NIF_MESSAGE 1u
#define NIF_ICON 2u
#define NIF_TIP 4u

#define COLOR_BTNFACE 15
#define SM_CXICON 11
#define SM_CYICON 12

typedef void* HICON;
typedef uint32_t COLORREF;  // 0x00BBGGRR

inline constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
inline constexpr int GetRValue(COLORREF c) { return static_cast<int>(c & 0xFF); }
inline constexpr int GetGValue(COLORREF c) { return static_cast<int>((c >> 8) & 0xFF); }
inline constexpr int GetBValue(COLORREF c) { return static_cast<int>((c >> 16) & 0xFF); }

struct POINT {
  LONG x = 0;
  LONG y = 0;
};

struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
  LONG Width() const { return right - left; }
  LONG Height() const { return bottom - top; }
};

// The shell's notification record in its 88-byte ANSI form; the size is what
// the record declares in cbSize, whatever this machine's pointer width.
inline constexpr DWORD kNotifyIconDataSize = 88;
struct NOTIFYICONDATAA {
  DWORD cbSize = 0;
  HWND hWnd = nullptr;
  UINT uID = 0;
  UINT uFlags = 0;
  UINT uCallbackMessage = 0;
  HICON hIcon = nullptr;
  CHAR szTip[64] = {};
};

// Answers the tool's message boxes: MessageBox(text, type) returns IDOK, IDYES
// or IDNO. The caption is the application's title.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual int MessageBox(const char* text, UINT type) = 0;
};
