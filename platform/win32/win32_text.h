// Win32 stand-in: code page conversions.
//
// WCHAR strings hold one code point per unit here (wchar_t is 32-bit), so a
// character beyond U+FFFF is one unit, not a surrogate pair. Code page 0
// (the ANSI page) is 936, as on a Chinese Windows system.
#pragma once

#include "win32_types.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_THREAD_ACP 3
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008

// Length -1 means "up to and including the terminator". With a null buffer or
// capacity 0, returns the units needed; 0 on failure (capacity too small:
// ERROR_INSUFFICIENT_BUFFER). Malformed UTF-8 becomes U+FFFD.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen,
                        WCHAR* dst, int dstCap);
// Unmappable characters become the default character ('?' unless given).
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* src, int srcLen,
                        char* dst, int dstCap, const char* defaultChar, BOOL* usedDefault);

UINT GetACP();
