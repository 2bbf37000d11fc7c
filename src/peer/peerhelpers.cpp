#include "peer/peerhelpers.h"

#include "windows.h"

CString GetSpecialFolderPath()
{
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_LOCAL_APPDATA, &list)) || !list) return CString();
    wchar_t path[MAX_PATH] = {};
    BOOL found = SHGetPathFromIDListW(list, path);
    ILFree(list);
    if (!found) return CString();
    wchar_t shortPath[MAX_PATH] = {};
    DWORD n = GetShortPathNameW(path, shortPath, MAX_PATH);
    return n == 0 || n >= MAX_PATH ? CString() : CString(shortPath);
}
