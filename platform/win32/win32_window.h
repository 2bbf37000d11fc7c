// Win32 stand-in: window.
#pragma once

#include "win32_types.h"
