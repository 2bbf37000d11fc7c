// Files and folders of the stand-in machine.
#include <dirent.h>
#include <fnmatch.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "machine_control.h"
#include "paths_internal.h"
#include "standin_control.h"
#include "text_internal.h"
#include "windows.h"

namespace {

const DWORD kAttrFailed = INVALID_FILE_ATTRIBUTES;

bool IsReadOnlyMode(mode_t m) { return (m & S_IWUSR) == 0; }

// Windows ignores trailing separators; a native trailing slash would
// resolve a link instead of naming it.
std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// Attributes of a native path as Windows reports them; a link is reported
// as itself, with the folder bit when it points to a folder.
DWORD NativeAttributes(const std::string& nativePath)
{
    std::string path = WithoutTrailingSlash(nativePath);
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return kAttrFailed;
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        bool folder = stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
        return FILE_ATTRIBUTE_REPARSE_POINT | (folder ? FILE_ATTRIBUTE_DIRECTORY : 0);
    }
    DWORD a = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (IsReadOnlyMode(st.st_mode)) a |= FILE_ATTRIBUTE_READONLY;
    return a;
}

DWORD ErrorFromErrno(int e)
{
    switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    default: return ERROR_ACCESS_DENIED;
    }
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

BOOL FailErrno() { return Fail(ErrorFromErrno(errno)); }

// The native place of a path inside the machine; false, with the reason as
// the last error, when it has none. A link that is the last part is
// followed only with `followLast`.
bool Place(LPCWSTR path, bool followLast, std::string& native)
{
    DWORD error = ERROR_INVALID_PARAMETER;
    native = path ? standin::MachinePath(path, followLast, &error) : std::string();
    if (native.empty()) SetLastError(error);
    return !native.empty();
}

// The same for a search pattern, whose last part may hold wildcards.
bool PatternPlace(LPCWSTR pattern, std::string& native)
{
    DWORD error = ERROR_INVALID_PARAMETER;
    native = pattern ? standin::MachinePatternPath(pattern, &error) : std::string();
    if (native.empty()) SetLastError(error);
    return !native.empty();
}

// Copies text and its terminator into a Windows-style buffer: the length
// without the terminator, or the size needed with it when it does not fit.
DWORD CopyOut(const std::wstring& text, LPWSTR buffer, DWORD capacity)
{
    if (!buffer || capacity < text.size() + 1) return (DWORD)text.size() + 1;
    wmemcpy(buffer, text.c_str(), text.size() + 1);
    return (DWORD)text.size();
}

uint64_t g_diskFreeBytes;
bool g_diskQueryFails = false;
// What GetModuleFileNameW gives for the module's handle.
std::wstring g_modulePath;

struct FindState {
    DIR* dir;
    std::string folder;
    std::string pattern;
};

bool HasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

// Fills `data` from the next directory entry that matches; false at the end.
bool NextMatch(FindState& f, WIN32_FIND_DATAW* data)
{
    while (dirent* e = readdir(f.dir)) {
        std::string name = e->d_name;
        bool all = f.pattern == "*" || f.pattern == "*.*";
        if (!all && fnmatch(f.pattern.c_str(), name.c_str(), FNM_NOESCAPE) != 0) continue;
        std::wstring wide = standin::Utf8ToWide(name);
        if (wide.size() >= MAX_PATH) continue;
        std::string full = f.folder + "/" + name;
        memset(data, 0, sizeof *data);
        data->dwFileAttributes = NativeAttributes(full);
        if (data->dwFileAttributes == kAttrFailed) continue;
        struct stat st;
        if (lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            data->nFileSizeHigh = (DWORD)((uint64_t)st.st_size >> 32);
            data->nFileSizeLow = (DWORD)st.st_size;
        }
        wmemcpy(data->cFileName, wide.c_str(), wide.size() + 1);
        return true;
    }
    return false;
}

void ResetFiles()
{
    g_diskFreeBytes = 100ull << 30;
    g_diskQueryFails = false;
    g_modulePath = standin::kModulePath;
    for (const wchar_t* folder : {standin::kLocalAppDataFolder, standin::kAppDataFolder, standin::kTempFolder})
        std::filesystem::create_directories(standin::NativePath(folder));
    for (const wchar_t* file : {standin::kHostExePath, standin::kModulePath})
        std::filesystem::create_directories(std::filesystem::path(standin::NativePath(file)).parent_path());
}

standin::ResetHook g_reset(&ResetFiles);

}  // namespace

namespace standin {

const wchar_t* const kLocalAppDataFolder = L"C:\\Users\\user\\AppData\\Local";
const wchar_t* const kAppDataFolder = L"C:\\Users\\user\\AppData\\Roaming";
const wchar_t* const kTempFolder = L"C:\\Temp\\";
const wchar_t* const kHostExePath = L"C:\\Program Files\\CadHost\\cadhost.exe";
const wchar_t* const kModulePath = L"C:\\Program Files\\CadHost\\Plugins\\Velk\\VelkGrx2020(x64).grx";

HMODULE ModuleHandle() { return reinterpret_cast<HMODULE>((uintptr_t)0x180000000ull); }

bool SetReadOnly(const std::wstring& windowsPath, bool readOnly)
{
    DWORD a = GetFileAttributesW(windowsPath.c_str());
    if (a == kAttrFailed) return false;
    a = readOnly ? (a | FILE_ATTRIBUTE_READONLY) : (a & ~(DWORD)FILE_ATTRIBUTE_READONLY);
    return SetFileAttributesW(windowsPath.c_str(), a) != FALSE;
}

void SetDiskFreeBytes(uint64_t bytes) { g_diskFreeBytes = bytes; }
void SetDiskFreeSpaceQueryFails(bool fails) { g_diskQueryFails = fails; }

void SetModulePath(const std::wstring& windowsPath) { g_modulePath = windowsPath; }

}  // namespace standin

FILE* _wfopen(const wchar_t* path, const wchar_t* mode)
{
    if (!path || !mode) { errno = EINVAL; return nullptr; }
    std::string native;
    if (!Place(path, true, native)) {
        // As the runtime maps the error: a name no file can have is EINVAL.
        errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EINVAL;
        return nullptr;
    }
    std::string m;
    for (const wchar_t* c = mode; *c; ++c)
        if (wcschr(L"rwa+bx", *c)) m += (char)*c;
    if (m.empty()) { errno = EINVAL; return nullptr; }
    bool writes = m.find_first_of("wa+") != std::string::npos;
    struct stat st;
    if (stat(native.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) || (writes && IsReadOnlyMode(st.st_mode))) { errno = EACCES; return nullptr; }
    }
    return fopen(native.c_str(), m.c_str());
}

int _wstat64(const wchar_t* path, struct _stat64* out)
{
    struct stat st;
    std::string native;
    if (!out || !Place(path, true, native) || stat(native.c_str(), &st) != 0) { errno = ENOENT; return -1; }
    memset(out, 0, sizeof *out);
    unsigned short perm = _S_IREAD | (IsReadOnlyMode(st.st_mode) ? 0 : _S_IWRITE);
    out->st_mode = (unsigned short)((S_ISDIR(st.st_mode) ? _S_IFDIR : _S_IFREG) | perm | perm >> 3 | perm >> 6);
    out->st_nlink = 1;
    out->st_size = S_ISDIR(st.st_mode) ? 0 : (__int64)st.st_size;
    out->st_atime = st.st_atim.tv_sec;
    out->st_mtime = st.st_mtim.tv_sec;
    out->st_ctime = st.st_ctim.tv_sec;
    return 0;
}

DWORD GetFileAttributesW(LPCWSTR path)
{
    std::string native;
    if (!Place(path, false, native)) return kAttrFailed;
    DWORD a = NativeAttributes(native);
    if (a == kAttrFailed) SetLastError(ERROR_FILE_NOT_FOUND);
    return a;
}

BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes)
{
    std::string native;
    if (!Place(path, true, native)) return FALSE;
    struct stat st;
    if (stat(native.c_str(), &st) != 0) return FailErrno();
    mode_t m = st.st_mode & 07777;
    m = (attributes & FILE_ATTRIBUTE_READONLY) ? (m & ~(mode_t)0222) : (m | S_IWUSR);
    return chmod(native.c_str(), m) == 0 ? TRUE : FailErrno();
}

BOOL DeleteFileW(LPCWSTR path)
{
    std::string native;
    if (!Place(path, false, native)) return FALSE;
    DWORD a = NativeAttributes(native);
    if (a == kAttrFailed) return Fail(ERROR_FILE_NOT_FOUND);
    if (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return Fail(ERROR_ACCESS_DENIED);
    return unlink(native.c_str()) == 0 ? TRUE : FailErrno();
}

BOOL RemoveDirectoryW(LPCWSTR path)
{
    std::string native;
    if (!Place(path, false, native)) return FALSE;
    DWORD a = NativeAttributes(native);
    if (a == kAttrFailed) return Fail(ERROR_FILE_NOT_FOUND);
    if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return Fail(ERROR_DIRECTORY);
    if (a & FILE_ATTRIBUTE_REPARSE_POINT)
        return unlink(WithoutTrailingSlash(native).c_str()) == 0 ? TRUE : FailErrno();
    return rmdir(native.c_str()) == 0 ? TRUE : FailErrno();
}

BOOL MoveFileW(LPCWSTR from, LPCWSTR to)
{
    std::string src, dst;
    if (!Place(from, false, src) || !Place(to, false, dst)) return FALSE;
    if (NativeAttributes(src) == kAttrFailed) return Fail(ERROR_FILE_NOT_FOUND);
    if (NativeAttributes(dst) != kAttrFailed) return Fail(ERROR_ALREADY_EXISTS);
    return rename(src.c_str(), dst.c_str()) == 0 ? TRUE : FailErrno();
}

BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists)
{
    // Both are followed: the copy reads the source's target and writes
    // through a link at the destination.
    std::string src, dst;
    if (!Place(from, true, src) || !Place(to, true, dst)) return FALSE;
    DWORD sa = NativeAttributes(src), da = NativeAttributes(dst);
    if (sa == kAttrFailed) return Fail(ERROR_FILE_NOT_FOUND);
    if (sa & FILE_ATTRIBUTE_DIRECTORY) return Fail(ERROR_ACCESS_DENIED);
    if (da != kAttrFailed) {
        if (failIfExists) return Fail(ERROR_FILE_EXISTS);
        if (da & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return Fail(ERROR_ACCESS_DENIED);
    }
    std::error_code ec;
    std::filesystem::copy_file(src, dst, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) return Fail(ErrorFromErrno(ec.value()));
    return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES)
{
    std::string native;
    if (!Place(path, false, native)) return FALSE;
    if (mkdir(native.c_str(), 0755) == 0) return TRUE;
    return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
}

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data)
{
    // The folder part is followed like any folder on the way; the last part
    // is the pattern.
    std::string native;
    size_t length = pattern ? wcslen(pattern) : 0;
    if (length > 0 && (pattern[length - 1] == L'\\' || pattern[length - 1] == L'/')) {
        SetLastError(ERROR_FILE_NOT_FOUND);  // a folder's name with a separator is no pattern
        return INVALID_HANDLE_VALUE;
    }
    if (!data || !PatternPlace(pattern, native)) {
        if (!data) SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    size_t slash = native.rfind('/');
    FindState f{nullptr, slash == std::string::npos ? "." : native.substr(0, slash),
                native.substr(slash == std::string::npos ? 0 : slash + 1)};
    if (f.folder.empty()) f.folder = "/";
    if (f.pattern.empty()) { SetLastError(ERROR_FILE_NOT_FOUND); return INVALID_HANDLE_VALUE; }
    if (!HasWildcard(f.pattern) && NativeAttributes(native) == kAttrFailed) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    f.dir = opendir(f.folder.c_str());
    if (!f.dir) { SetLastError(ERROR_PATH_NOT_FOUND); return INVALID_HANDLE_VALUE; }
    if (!NextMatch(f, data)) {
        closedir(f.dir);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return new FindState(std::move(f));
}

BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data)
{
    if (!find || find == INVALID_HANDLE_VALUE || !data) return Fail(ERROR_INVALID_HANDLE);
    return NextMatch(*static_cast<FindState*>(find), data) ? TRUE : Fail(ERROR_NO_MORE_FILES);
}

BOOL FindClose(HANDLE find)
{
    if (!find || find == INVALID_HANDLE_VALUE) return Fail(ERROR_INVALID_HANDLE);
    FindState* f = static_cast<FindState*>(find);
    closedir(f->dir);
    delete f;
    return TRUE;
}

DWORD GetTempPathW(DWORD capacity, LPWSTR buffer) { return CopyOut(standin::kTempFolder, buffer, capacity); }

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD capacity)
{
    const wchar_t* path = !module ? standin::kHostExePath
                          : module == standin::ModuleHandle() ? g_modulePath.c_str() : nullptr;
    if (!path) { SetLastError(ERROR_MOD_NOT_FOUND); return 0; }
    if (!buffer || capacity == 0) { SetLastError(ERROR_INSUFFICIENT_BUFFER); return 0; }
    // A path that does not fit is cut and terminated; the result is then the capacity.
    size_t n = wcslen(path);
    if (n + 1 > capacity) {
        wmemcpy(buffer, path, capacity - 1);
        buffer[capacity - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return capacity;
    }
    wmemcpy(buffer, path, n + 1);
    return (DWORD)n;
}

DWORD GetShortPathNameW(LPCWSTR longPath, LPWSTR shortPath, DWORD capacity)
{
    if (!longPath) { SetLastError(ERROR_INVALID_PARAMETER); return 0; }
    std::wstring path = longPath;  // the buffers may be the same
    std::string native;
    if (!Place(path.c_str(), false, native)) return 0;
    if (NativeAttributes(native) == kAttrFailed) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    return CopyOut(path, shortPath, capacity);
}

BOOL GetDiskFreeSpaceExW(LPCWSTR folder, PULARGE_INTEGER freeToCaller, PULARGE_INTEGER total,
                         PULARGE_INTEGER totalFree)
{
    std::string native;
    if (!Place(folder ? folder : L"C:\\", true, native)) return FALSE;
    DWORD a = NativeAttributes(native);
    if (a == kAttrFailed || !(a & FILE_ATTRIBUTE_DIRECTORY)) return Fail(ERROR_PATH_NOT_FOUND);
    if (g_diskQueryFails) return Fail(ERROR_NOT_READY);
    if (freeToCaller) freeToCaller->QuadPart = g_diskFreeBytes;
    if (totalFree) totalFree->QuadPart = g_diskFreeBytes;
    if (total) total->QuadPart = g_diskFreeBytes + (500ull << 30);
    return TRUE;
}

DWORD GetTickCount() { return (DWORD)standin::ClockMs(); }
