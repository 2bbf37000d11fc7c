// Win32 stand-in: special folders.
#pragma once

#include "win32_types.h"
