// LoadLibraryA/GetProcAddress/FreeLibrary: the built-in "shfolder.dll" and,
// for any other name, dlopen.
#include <dlfcn.h>
#include <strings.h>

#include <cstring>

#include <atomic>
#include <string>

#include "handle_table.h"
#include "platform/handles.h"
#include "platform/modules.h"
#include "platform/shell_folder.h"
#include "platform/testing.h"

namespace kav::platform {

std::atomic<int> g_shell_fault{KAV_SHELL_OK};

namespace {

class ModuleObject : public HandleObject {
 public:
  explicit ModuleObject(void* library) : HandleObject(HandleKind::kModule), library_(library) {}
  ~ModuleObject() override {
    if (library_ != nullptr) dlclose(library_);
  }
  bool builtin_shell() const { return library_ == nullptr; }
  void* library() const { return library_; }

 private:
  void* library_;  // nullptr for the built-in shell folder library
};

}  // namespace
}  // namespace kav::platform

using namespace kav::platform;

extern "C" void KavTestSetShellFault(enum KavShellFault fault) { g_shell_fault = fault; }

extern "C" HMODULE LoadLibraryA(LPCSTR name) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (strcasecmp(name, "shfolder.dll") == 0) {
    if (g_shell_fault == KAV_SHELL_LOAD_FAILS) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    return RegisterHandle(std::make_shared<ModuleObject>(nullptr));
  }
  std::string path = name;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return RegisterHandle(std::make_shared<ModuleObject>(library));
}

extern "C" FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  auto object = LookupAs<ModuleObject>(module, HandleKind::kModule);
  if (!object || name == nullptr) {
    SetLastError(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (object->builtin_shell()) {
    if (strcmp(name, "SHGetFolderPathA") == 0 && g_shell_fault != KAV_SHELL_PROC_MISSING) {
      return reinterpret_cast<FARPROC>(&SHGetFolderPathA);
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  void* symbol = dlsym(object->library(), name);
  if (symbol == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

extern "C" BOOL FreeLibrary(HMODULE module) {
  if (!LookupAs<ModuleObject>(module, HandleKind::kModule) || !UnregisterHandle(module)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
