// Win32 stand-in: starting programs and documents through the shell.
#pragma once

#include "win32_types.h"
