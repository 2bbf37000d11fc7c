// Win32 stand-in: profile.
#pragma once

#include "win32_types.h"
