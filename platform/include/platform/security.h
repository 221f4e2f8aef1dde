// Security descriptors, as far as the system builds them: a "present but NULL"
// discretionary access list meaning "everyone may open the object".
//
// Linux has no DACLs. Named objects are always created so that every user of
// the machine may open them (mode 0666), which is what a null DACL grants on
// Windows; these functions only validate and record what the caller asked for.
#pragma once

#include "platform/win_types.h"

#define SECURITY_DESCRIPTOR_REVISION 1
// The size of a descriptor in the layout the system allocates (20 bytes).
#define SECURITY_DESCRIPTOR_MIN_LENGTH 20

typedef void* PSECURITY_DESCRIPTOR;
typedef void* PACL;

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

KAV_BEGIN_C

// Fills the 20 bytes at descriptor with an empty descriptor of that revision.
// Fails (FALSE, ERROR_INVALID_PARAMETER) for a null descriptor or a revision
// other than 1.
BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision);

// Records the access list in an initialised descriptor. Fails for a null or
// uninitialised descriptor.
BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL dacl_present, PACL dacl,
                               BOOL dacl_defaulted);

KAV_END_C
