// The process-wide table behind every HANDLE the platform layer issues.
//
// Objects are held by shared_ptr so that a thread waiting on a handle keeps the
// object alive even if another thread closes the handle meanwhile; the object
// goes away when the last user lets go of it.
#pragma once

#include <memory>

#include "platform/win_types.h"

namespace kav::platform {

enum class HandleKind { kMutex, kEvent, kThread, kDevice, kModule };

class HandleObject {
 public:
  explicit HandleObject(HandleKind kind) : kind_(kind) {}
  virtual ~HandleObject() = default;
  HandleObject(const HandleObject&) = delete;
  HandleObject& operator=(const HandleObject&) = delete;
  HandleKind kind() const { return kind_; }

 private:
  HandleKind kind_;
};

// Registers the object and returns its new handle (never NULL or
// INVALID_HANDLE_VALUE).
HANDLE RegisterHandle(std::shared_ptr<HandleObject> object);

// The object behind a handle, or nullptr for a handle that is not (or no
// longer) in the table.
std::shared_ptr<HandleObject> LookupHandle(HANDLE handle);

// Removes the handle from the table; false when it was not there.
bool UnregisterHandle(HANDLE handle);

template <typename T>
std::shared_ptr<T> LookupAs(HANDLE handle, HandleKind kind) {
  auto object = LookupHandle(handle);
  if (!object || object->kind() != kind) return nullptr;
  return std::static_pointer_cast<T>(object);
}

}  // namespace kav::platform
