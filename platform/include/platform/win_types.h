// Basic types of the Windows API, spelled as the system's code expects them.
// Widths follow the Windows ABI (LONG and DWORD are 32 bits), not the Linux one.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define KAV_EXTERN_C extern "C"
#define KAV_BEGIN_C extern "C" {
#define KAV_END_C }
#else
#define KAV_EXTERN_C
#define KAV_BEGIN_C
#define KAV_END_C
#endif

// Calling-convention markers have no meaning on Linux.
#define WINAPI
#define CALLBACK
#define APIENTRY

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t UINT;
typedef int32_t INT;
typedef char CHAR;
typedef unsigned char UCHAR;
typedef void VOID;
typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef DWORD* LPDWORD;
typedef BOOL* LPBOOL;
typedef BYTE* LPBYTE;
typedef size_t SIZE_T;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef int32_t HRESULT;

typedef void* HANDLE;
typedef HANDLE* PHANDLE;
typedef void* HWND;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define MAX_PATH 260
