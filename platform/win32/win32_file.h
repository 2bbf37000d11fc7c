// Win32 stand-in: file.
#pragma once

#include "win32_types.h"
