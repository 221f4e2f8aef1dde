// The process-wide handle table and CloseHandle.
#include "handle_table.h"

#include <mutex>
#include <unordered_map>

#include "platform/handles.h"

namespace kav::platform {
namespace {

struct Table {
  std::mutex mutex;
  std::unordered_map<uintptr_t, std::shared_ptr<HandleObject>> objects;
  // Handle values are never reused, so a stale handle cannot reach a newer object.
  uintptr_t next = 0x1000;
};

Table& GetTable() {
  // Never destroyed: handles may be closed from static destructors of other libraries.
  static Table* table = new Table;
  return *table;
}

}  // namespace

HANDLE RegisterHandle(std::shared_ptr<HandleObject> object) {
  Table& table = GetTable();
  std::lock_guard lock(table.mutex);
  uintptr_t value = table.next;
  table.next += 4;
  table.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<HandleObject> LookupHandle(HANDLE handle) {
  Table& table = GetTable();
  std::lock_guard lock(table.mutex);
  auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
  return it == table.objects.end() ? nullptr : it->second;
}

bool UnregisterHandle(HANDLE handle) {
  std::shared_ptr<HandleObject> doomed;  // released outside the table lock
  Table& table = GetTable();
  std::lock_guard lock(table.mutex);
  auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
  if (it == table.objects.end()) return false;
  doomed = std::move(it->second);
  table.objects.erase(it);
  return true;
}

}  // namespace kav::platform

extern "C" BOOL CloseHandle(HANDLE handle) {
  if (!kav::platform::UnregisterHandle(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
