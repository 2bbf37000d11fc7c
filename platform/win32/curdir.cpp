#include "win32_curdir.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <cwchar>
#include <string>

#include "standin_control.h"
#include "win32_file.h"
#include "win32_text.h"

namespace {

std::string StartDirectory()
{
    static const std::string dir = [] {
        char buf[PATH_MAX];
        return std::string(getcwd(buf, sizeof buf) ? buf : "/");
    }();
    return dir;
}

void ResetDirectory()
{
    if (chdir(StartDirectory().c_str()) != 0) { /* the start directory is gone: stay */ }
}

standin::ResetHook g_reset(&ResetDirectory);

std::wstring Widen(const std::string& s)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w((size_t)(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, &w[0], n);
    w.resize(wcslen(w.c_str()));
    return w;
}

// <root>/C/a/b is C:\a\b; a folder outside the machine keeps its native name.
std::wstring WindowsPathOf(const std::string& native)
{
    char resolved[PATH_MAX];
    const std::string root = realpath(standin::MachineRoot().c_str(), resolved) ? resolved : standin::MachineRoot();
    if (native.size() > root.size() + 1 && native.compare(0, root.size(), root) == 0 && native[root.size()] == '/') {
        std::string rest = native.substr(root.size() + 1);
        size_t slash = rest.find('/');
        std::string drive = rest.substr(0, slash);
        if (drive.size() == 1) {
            std::string tail = slash == std::string::npos ? "" : rest.substr(slash);
            for (char& c : tail) c = c == '/' ? '\\' : c;
            return Widen(drive + ":" + (tail.empty() ? "\\" : tail));
        }
    }
    return Widen(native);
}

}  // namespace

BOOL SetCurrentDirectoryW(LPCWSTR path)
{
    StartDirectory();
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (chdir(standin::NativePath(path).c_str()) != 0) {
        SetLastError(errno == ENOTDIR ? ERROR_DIRECTORY : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

DWORD GetCurrentDirectoryW(DWORD capacity, LPWSTR buffer)
{
    char buf[PATH_MAX];
    if (!getcwd(buf, sizeof buf)) return 0;
    std::wstring w = WindowsPathOf(buf);
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
