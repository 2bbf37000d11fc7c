// Win32 stand-in: the process's current directory and the runtime's access
// test. The current directory is a folder of the machine, kept by the
// stand-in (the process's own never changes); relative names given to any
// file call resolve against it. A new machine starts in the host's folder,
// C:\Program Files\CadHost.
#pragma once

#include "win32_types.h"

BOOL SetCurrentDirectoryW(LPCWSTR path);
// A full Windows path ("C:\a\b", "C:\"); the sizes follow Windows (length
// without the terminator, or the size needed).
DWORD GetCurrentDirectoryW(DWORD capacity, LPWSTR buffer);

// 0 when the path exists (mode 0) and allows the access (2 write, 4 read,
// 6 both); -1 otherwise.
int _waccess(const wchar_t* path, int mode);
