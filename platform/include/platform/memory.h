// Local heap allocation.
#pragma once

#include "platform/win_types.h"

#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

typedef void* HLOCAL;

KAV_BEGIN_C

// Allocates bytes from the heap; LMEM_ZEROINIT zero-fills. Only fixed memory
// exists: the returned HLOCAL is the pointer itself. NULL with
// ERROR_NOT_ENOUGH_MEMORY when memory runs out.
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);

// Frees memory from LocalAlloc; returns NULL on success, as on Windows.
HLOCAL LocalFree(HLOCAL memory);

KAV_END_C
