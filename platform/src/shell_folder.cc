// SHGetFolderPathA: the program files folder comes from KAV_PROGRAM_FILES.
#include "platform/shell_folder.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/testing.h"

namespace kav::platform {
extern std::atomic<int> g_shell_fault;
}

extern "C" HRESULT SHGetFolderPathA(HWND, int folder, HANDLE, DWORD, LPSTR path) {
  if (path == nullptr || folder != CSIDL_PROGRAM_FILES) return E_INVALIDARG;
  if (kav::platform::g_shell_fault == KAV_SHELL_LOOKUP_FAILS) return E_FAIL;
  const char* value = getenv("KAV_PROGRAM_FILES");
  if (value == nullptr || *value == '\0') value = "/opt";
  size_t length = strlen(value);
  if (length >= MAX_PATH) return E_FAIL;
  memcpy(path, value, length + 1);
  return S_OK;
}
