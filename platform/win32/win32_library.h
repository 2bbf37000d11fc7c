// Win32 stand-in: loading modules (over dlopen).
#pragma once

#include "win32_types.h"

typedef INT_PTR (*FARPROC)();

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// Loads a module by its Windows or native path and, on its first load, calls
// its exported DllMain with DLL_PROCESS_ATTACH; FreeLibrary calls it with
// DLL_PROCESS_DETACH before the last unload.
HMODULE LoadLibraryW(LPCWSTR path);
BOOL FreeLibrary(HMODULE module);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
// A loaded module by its file name (with or without folder); null gives the
// program itself.
HMODULE GetModuleHandleW(LPCWSTR name);
#define LoadLibrary LoadLibraryW
#define GetModuleHandle GetModuleHandleW
