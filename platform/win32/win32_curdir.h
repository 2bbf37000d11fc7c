// Win32 stand-in: the process's current directory and the runtime's access
// test. The current directory is the process's real one, so relative names
// given to any file call resolve against it; a reset returns to the
// directory the process started in.
#pragma once

#include "win32_types.h"

BOOL SetCurrentDirectoryW(LPCWSTR path);
// A folder inside the machine is given as a Windows path ("C:\a\b"); the
// sizes follow Windows (length without the terminator, or the size needed).
DWORD GetCurrentDirectoryW(DWORD capacity, LPWSTR buffer);

// 0 when the path exists (mode 0) and allows the access (2 write, 4 read,
// 6 both); -1 otherwise.
int _waccess(const wchar_t* path, int mode);
