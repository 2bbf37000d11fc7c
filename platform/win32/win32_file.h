// Win32 stand-in: files, folders and the process's paths.
//
// Paths are Windows paths mapped by standin::NativePath into the machine
// root; wide names become UTF-8 native names. The read-only attribute is the
// owner's write bit, checked explicitly, so it holds even when run as root.
// Text mode is not emulated: "a" and "w" write the bytes as they stand.
#pragma once

#include <sys/stat.h>  // included first: its st_*time macros would break _stat64
#undef st_atime
#undef st_mtime
#undef st_ctime

#include <cstdio>

#include "win32_types.h"

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

#define ERROR_DIRECTORY 267L
#define ERROR_MOD_NOT_FOUND 126L

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME;

typedef struct _WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
} WIN32_FIND_DATAW, *LPWIN32_FIND_DATAW;

typedef union _ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    };
    ULONGLONG QuadPart;
} ULARGE_INTEGER, *PULARGE_INTEGER;

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

// The runtime's wide file calls.
#define _S_IFDIR 0x4000
#define _S_IFREG 0x8000
#define _S_IREAD 0x0100
#define _S_IWRITE 0x0080
struct _stat64 {
    unsigned int st_dev;
    unsigned short st_ino;
    unsigned short st_mode;  // _S_IFDIR or _S_IFREG, _S_IREAD, _S_IWRITE unless read-only
    short st_nlink;
    short st_uid;
    short st_gid;
    unsigned int st_rdev;
    __int64 st_size;
    __int64 st_atime;
    __int64 st_mtime;
    __int64 st_ctime;
};
// Null (errno EACCES) for a folder, and for a read-only file opened to write.
FILE* _wfopen(const wchar_t* path, const wchar_t* mode);
int _wstat64(const wchar_t* path, struct _stat64* out);

DWORD GetFileAttributesW(LPCWSTR path);
// Only FILE_ATTRIBUTE_READONLY has an effect.
BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes);
// Fails on a folder and on a read-only file.
BOOL DeleteFileW(LPCWSTR path);
// Fails unless the folder is empty; a link to a folder is removed itself.
BOOL RemoveDirectoryW(LPCWSTR path);
// Fails when the target exists (ERROR_ALREADY_EXISTS).
BOOL MoveFileW(LPCWSTR from, LPCWSTR to);
BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists);
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security);

// The pattern's last part may hold * and ?; "." and ".." are reported. A
// symbolic link has FILE_ATTRIBUTE_REPARSE_POINT, plus the folder attribute
// when it points to a folder.
HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data);
BOOL FindClose(HANDLE find);

// The sizes follow Windows: the length without the terminator, or the size
// needed with it when the buffer is too small.
DWORD GetTempPathW(DWORD capacity, LPWSTR buffer);
// Null gives the host executable; standin::ModuleHandle() the module.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD capacity);
// The identity for a path that exists.
DWORD GetShortPathNameW(LPCWSTR longPath, LPWSTR shortPath, DWORD capacity);
// The free space is the machine's setting (standin::SetDiskFreeBytes).
BOOL GetDiskFreeSpaceExW(LPCWSTR folder, PULARGE_INTEGER freeToCaller, PULARGE_INTEGER total,
                         PULARGE_INTEGER totalFree);

// Milliseconds on the virtual clock, wrapping at 2^32.
DWORD GetTickCount();
