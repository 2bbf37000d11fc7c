// Win32 stand-in: private profile ("ini") files.
//
// A file that starts with the UTF-16LE byte-order mark is read and written
// as UTF-16; any other file is text in the ANSI code page (936), as Windows
// does. Section and key names compare without case; lines end with CR LF.
#pragma once

#include "win32_types.h"

#define ERROR_BAD_LENGTH 24L

// Copies the value (or the default) into the buffer, cut to capacity - 1
// characters; returns the characters copied. A null key lists the section's
// keys, a null section the sections, each terminated, with a final extra NUL.
DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
                               DWORD capacity, LPCWSTR file);
// A null value removes the key, a null key the section. Fails when the file
// cannot be written (missing folder, read-only file).
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file);

// The bytes are stored as upper-case hexadecimal pairs followed by one
// checksum byte, the sum of the bytes modulo 256. Reading refuses a value
// whose length or checksum does not match.
BOOL GetPrivateProfileStructW(LPCWSTR section, LPCWSTR key, LPVOID data, UINT size, LPCWSTR file);
BOOL WritePrivateProfileStructW(LPCWSTR section, LPCWSTR key, LPCVOID data, UINT size, LPCWSTR file);
