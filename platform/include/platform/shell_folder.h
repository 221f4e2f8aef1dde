// The shell folder lookup, reached through LoadLibraryA("shfolder.dll").
//
// Only the program files folder (CSIDL_PROGRAM_FILES, 38) exists. It is the
// value of KAV_PROGRAM_FILES when set and not empty, otherwise /opt.
#pragma once

#include "platform/win_types.h"

#define CSIDL_PROGRAM_FILES 0x0026
#define SHGFP_TYPE_CURRENT 0
#define S_OK ((HRESULT)0)
#define E_FAIL ((HRESULT)0x80004005)
#define E_INVALIDARG ((HRESULT)0x80070057)

typedef HRESULT(WINAPI* PFNSHGETFOLDERPATHA)(HWND owner, int folder, HANDLE token, DWORD flags,
                                              LPSTR path);

KAV_BEGIN_C

// Writes the folder, NUL-terminated, into path (MAX_PATH characters). E_INVALIDARG
// for a null path or another folder; E_FAIL when the folder text does not fit.
HRESULT SHGetFolderPathA(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path);

KAV_END_C
