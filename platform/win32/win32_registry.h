// Win32 stand-in: registry.
#pragma once

#include "win32_types.h"
