// LocalAlloc/LocalFree and the security-descriptor calls.
#include <cstdlib>
#include <cstring>

#include "platform/handles.h"
#include "platform/memory.h"
#include "platform/security.h"

namespace {
// The first bytes of a descriptor as this layer writes them: revision, a
// marker, and the DACL-present flag.
constexpr uint8_t kDescriptorMarker = 0x5D;
constexpr uint8_t kDaclPresent = 0x04;
}  // namespace

extern "C" HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  void* memory = (flags & LMEM_ZEROINIT) ? calloc(1, bytes ? bytes : 1) : malloc(bytes ? bytes : 1);
  if (memory == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return memory;
}

extern "C" HLOCAL LocalFree(HLOCAL memory) {
  free(memory);
  return nullptr;
}

extern "C" BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision) {
  if (descriptor == nullptr || revision != SECURITY_DESCRIPTOR_REVISION) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto* bytes = static_cast<uint8_t*>(descriptor);
  memset(bytes, 0, SECURITY_DESCRIPTOR_MIN_LENGTH);
  bytes[0] = static_cast<uint8_t>(revision);
  bytes[1] = kDescriptorMarker;
  return TRUE;
}

extern "C" BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL dacl_present,
                                          PACL dacl, BOOL dacl_defaulted) {
  auto* bytes = static_cast<uint8_t*>(descriptor);
  if (bytes == nullptr || bytes[0] != SECURITY_DESCRIPTOR_REVISION || bytes[1] != kDescriptorMarker) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bytes[2] = static_cast<uint8_t>((dacl_present ? kDaclPresent : 0) | (dacl_defaulted ? 0x08 : 0));
  uintptr_t acl = reinterpret_cast<uintptr_t>(dacl);
  memcpy(bytes + 8, &acl, sizeof acl);  // bytes 8..15 of the 20
  return TRUE;
}
