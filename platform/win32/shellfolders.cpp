// Special folders of the stand-in machine.
#include <cstdlib>

#include "machine_control.h"
#include "windows.h"

// An item list here is just the folder's path.
struct _ITEMIDLIST {
    WCHAR path[MAX_PATH];
};

HRESULT SHGetSpecialFolderLocation(HWND, int folder, LPITEMIDLIST* result)
{
    if (!result) return E_INVALIDARG;
    *result = nullptr;
    const wchar_t* path = folder == CSIDL_LOCAL_APPDATA ? standin::kLocalAppDataFolder
                          : folder == CSIDL_APPDATA     ? standin::kAppDataFolder
                                                        : nullptr;
    if (!path) return E_INVALIDARG;
    LPITEMIDLIST list = static_cast<LPITEMIDLIST>(CoTaskMemAlloc(sizeof(ITEMIDLIST)));
    if (!list) return E_FAIL;
    wcsncpy(list->path, path, MAX_PATH - 1);
    list->path[MAX_PATH - 1] = 0;
    *result = list;
    return S_OK;
}

BOOL SHGetPathFromIDListW(LPCITEMIDLIST list, LPWSTR path)
{
    if (!list || !path) return FALSE;
    wcscpy(path, list->path);
    return TRUE;
}

void ILFree(LPITEMIDLIST list) { CoTaskMemFree(list); }

LPVOID CoTaskMemAlloc(SIZE_T size) { return malloc(size); }

void CoTaskMemFree(LPVOID block) { free(block); }
