// Win32 stand-in: the part of the Windows API the module calls, for Linux.
// Types keep Windows' widths; text is wchar_t (32-bit here), and UTF-16
// crossing a wire or file goes through char16_t explicitly.
#pragma once

#include "win32_types.h"
#include "win32_crt.h"
#include "win32_text.h"
#include "win32_file.h"
#include "win32_sync.h"
#include "win32_profile.h"
#include "win32_registry.h"
#include "win32_shell.h"
#include "win32_shellexec.h"
#include "win32_curdir.h"
#include "win32_library.h"
#include "win32_window.h"
#include "win32_resource.h"
#include "win32_uiresource.h"
