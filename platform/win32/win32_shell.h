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

// The shell's task allocator (the part of IMalloc in use).
struct IMalloc {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual void* Alloc(SIZE_T size) = 0;
    virtual void Free(void* block) = 0;
};
typedef IMalloc* LPMALLOC;
HRESULT SHGetMalloc(LPMALLOC* malloc);

// The folder browser. Headless, it runs the script that a test queued
// (dialog_control.h) between BFFM_INITIALIZED and its end; without one it
// is cancelled. Its window (class "#32770") has the controls 14145 (the
// folder tree), 14146 (the status text), 14147 (a label), IDOK and
// IDCANCEL in its dialog control table; OK ends it only while enabled.
typedef int (*BFFCALLBACK)(HWND hwnd, UINT msg, LPARAM lParam, LPARAM data);
typedef struct _browseinfoW {
    HWND hwndOwner;
    LPCITEMIDLIST pidlRoot;
    LPWSTR pszDisplayName;  // MAX_PATH characters
    LPCWSTR lpszTitle;
    UINT ulFlags;
    BFFCALLBACK lpfn;
    LPARAM lParam;
    int iImage;
} BROWSEINFOW, *LPBROWSEINFOW;
#define BIF_RETURNONLYFSDIRS 0x0001
#define BIF_STATUSTEXT 0x0004
#define BFFM_INITIALIZED 1
#define BFFM_SELCHANGED 2
#define BFFM_ENABLEOK (WM_USER + 101)
#define BFFM_SETSELECTIONW (WM_USER + 103)
#define BFFM_SETSTATUSTEXTW (WM_USER + 104)
// The chosen folder's item list (free it with the shell allocator), or
// null when the user cancelled.
LPITEMIDLIST SHBrowseForFolderW(LPBROWSEINFOW info);
#define SHBrowseForFolder SHBrowseForFolderW
