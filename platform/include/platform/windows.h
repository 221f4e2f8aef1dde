// Everything of the Windows API stand-in that the system's code uses.
#pragma once

#include "platform/clock.h"
#include "platform/device_io.h"
#include "platform/handles.h"
#include "platform/memory.h"
#include "platform/modules.h"
#include "platform/profile.h"
#include "platform/security.h"
#include "platform/shell_folder.h"
#include "platform/sync.h"
#include "platform/threads.h"
#include "platform/win_types.h"
