#include "win32_curdir.h"

#include <sys/stat.h>

#include <cerrno>
#include <cwchar>
#include <string>

#include "paths_internal.h"
#include "text_internal.h"
#include "win32_file.h"

BOOL SetCurrentDirectoryW(LPCWSTR path)
{
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD error = ERROR_PATH_NOT_FOUND;
    std::string utf8 = standin::WideToUtf8(path);
    std::string native = standin::MachinePathUtf8(utf8, true, &error);
    if (native.empty()) {
        SetLastError(error);
        return FALSE;
    }
    struct stat st;
    if (stat(native.c_str(), &st) != 0) {
        SetLastError(errno == ENOTDIR ? ERROR_DIRECTORY : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    standin::SetCurrentDirectoryUtf8(standin::FullWindowsPathUtf8(utf8));
    return TRUE;
}

DWORD GetCurrentDirectoryW(DWORD capacity, LPWSTR buffer)
{
    // Windows gives a drive's root with its separator, any other folder without.
    std::wstring w = standin::Utf8ToWide(standin::CurrentDirectoryUtf8());
    if (!buffer || capacity < w.size() + 1) return (DWORD)(w.size() + 1);
    wmemcpy(buffer, w.c_str(), w.size() + 1);
    return (DWORD)w.size();
}

int _waccess(const wchar_t* path, int mode)
{
    DWORD attr = path ? GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
    if (attr == INVALID_FILE_ATTRIBUTES) {
        errno = ENOENT;
        return -1;
    }
    if ((mode & 2) && (attr & FILE_ATTRIBUTE_READONLY)) {
        errno = EACCES;
        return -1;
    }
    return 0;
}
