// Win32 stand-in: resource.
#pragma once

#include "win32_types.h"
