#include "ui/pathdialog.h"

#include <windows.h>

namespace {

// A drive path (C:\...) or a network path (\\server\...).
bool IsFullPath(const CString& path)
{
    const wchar_t drive = path.GetLength() >= 3 ? path[0] : 0;
    const bool letter = (drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z');
    if (letter) return path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    return path.GetLength() >= 3 && path[0] == L'\\' && path[1] == L'\\';
}

}  // namespace

bool PathDialogAcceptsFolder(const CString& typed)
{
    if (typed.IsEmpty() || typed.GetLength() >= MAX_PATH || !IsFullPath(typed)) return false;
    const DWORD attributes = GetFileAttributesW(typed);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
