// Windows paths on the stand-in machine, for the stand-in's own files: where
// a path lies inside the machine folder and the process's current directory.
#pragma once

#include <string>
#include <string_view>

#include "win32_types.h"

namespace standin {

// The native place of a Windows path (UTF-8) inside the machine folder, or
// empty with the Windows error in `error` when it has none there: a path no
// file can have, such as a device path (ERROR_BAD_PATHNAME), a part that is
// a device's name (CON, NUL, COM1, LPT1... in any case, also with an
// extension: "C:\x\con.txt") or holds a character names may not hold
// (< > : " | ? * and control characters; the drive's colon is no part)
// (ERROR_INVALID_NAME), or a symbolic link on the way that leads out of the
// machine (ERROR_ACCESS_DENIED). A link that is the path's last part is
// followed only with `followLast`: calls that act on the link itself
// (delete, rename, attributes) leave it unfollowed.
std::string MachinePathUtf8(std::string_view windowsPath, bool followLast, DWORD* error = nullptr);
std::string MachinePath(std::wstring_view windowsPath, bool followLast, DWORD* error = nullptr);
// The same for a search pattern: its last part may hold the wildcards * and
// ?, and a link there is not followed.
std::string MachinePatternPath(std::wstring_view windowsPattern, DWORD* error = nullptr);

// The full Windows path of a path as the current directory completes it
// ("C:\a\b", "C:\", "\\server\share\a"); empty when MachinePath refuses it.
std::string FullWindowsPathUtf8(std::string_view windowsPath);

// The current directory as a full Windows path (UTF-8); the process's own
// directory is never changed.
const std::string& CurrentDirectoryUtf8();
void SetCurrentDirectoryUtf8(const std::string& fullWindowsPath);

}  // namespace standin
