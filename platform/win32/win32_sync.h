// Win32 stand-in: sync.
#pragma once

#include "win32_types.h"
