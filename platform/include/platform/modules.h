// Run-time loading of libraries.
//
// The platform layer knows one built-in library, "shfolder.dll" (any letter
// case), which exports "SHGetFolderPathA" (shell_folder.h). Any other name is
// handed to dlopen, with backslashes taken as '/'.
#pragma once

#include "platform/win_types.h"

typedef HANDLE HMODULE;
typedef HANDLE HINSTANCE;
typedef void (*FARPROC)(void);

KAV_BEGIN_C

// NULL with ERROR_MOD_NOT_FOUND when the library cannot be loaded.
HMODULE LoadLibraryA(LPCSTR name);
// NULL with ERROR_PROC_NOT_FOUND when the library has no such function.
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);

KAV_END_C
