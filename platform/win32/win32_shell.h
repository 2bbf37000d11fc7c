// Win32 stand-in: shell.
#pragma once

#include "win32_types.h"
