// Win32 stand-in: special folders (machine_control.h names them).
#pragma once

#include "win32_types.h"

#define CSIDL_APPDATA 0x001a
#define CSIDL_LOCAL_APPDATA 0x001c

#define S_OK ((HRESULT)0)
#define E_FAIL ((HRESULT)0x80004005)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

typedef struct _ITEMIDLIST ITEMIDLIST;
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;

// The item list is freed with ILFree or CoTaskMemFree.
HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST* result);
// Copies the path into a buffer of MAX_PATH characters.
BOOL SHGetPathFromIDListW(LPCITEMIDLIST list, LPWSTR path);
void ILFree(LPITEMIDLIST list);
LPVOID CoTaskMemAlloc(SIZE_T size);
void CoTaskMemFree(LPVOID block);
