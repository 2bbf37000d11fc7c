#include "base/basefile.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "windows.h"

MemTraceFn MemTraceHook = nullptr;

namespace {

// Path capacities in UTF-16 units, terminator included.
const int kFopenPathUnits = 2048;
const int kFopenModeUnits = 100;
const int kStatPathUnits = 1023;
const int kPathUnits = 1024;
const int kBuiltPathUnits = 1023;
// Bytes of zeros behind the data of ReadFileUtf8.
const int32_t kReadSlack = 500;

template <int N>
bool ToWide(const char* utf8, wchar_t (&wide)[N])
{
    return utf8 && MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, N) > 0;
}

// "a\b" into the fixed buffer of built paths; false when it does not fit.
bool JoinPath(wchar_t (&out)[kBuiltPathUnits], const wchar_t* folder, const wchar_t* name)
{
    if (wcslen(folder) + 1 + wcslen(name) >= (size_t)kBuiltPathUnits) return false;
    swprintf_s(out, kBuiltPathUnits, L"%s\\%s", folder, name);
    return true;
}

bool IsDotEntry(const wchar_t* name) { return !wcscmp(name, L".") || !wcscmp(name, L".."); }

}  // namespace

void* MemAlloc(uint64_t size)
{
    void* p = malloc((size_t)size);
    if (MemTraceHook) MemTraceHook(p, size, 1);
    return p;
}

void* MemAllocZeroed(uint64_t size)
{
    void* p = MemAlloc(size);
    if (p) memset(p, 0, (size_t)size);
    return p;
}

void* MemRealloc(void* pointer, uint64_t size)
{
    if (MemTraceHook) MemTraceHook(pointer, 0, 0);
    void* p = realloc(pointer, (size_t)size);
    if (MemTraceHook) MemTraceHook(p, size, 2);
    return p;
}

void MemFree(void* pointer)
{
    if (!pointer) return;
    if (MemTraceHook) MemTraceHook(pointer, 0, 0);
    free(pointer);
}

void* MemAllocUntraced(uint64_t size) { return malloc((size_t)size); }

void* MemAllocZeroedUntraced(uint64_t size)
{
    void* p = MemAllocUntraced(size);
    if (p) memset(p, 0, (size_t)size);
    return p;
}

void* MemDupPadded(uint64_t size, const void* source, uint64_t pad)
{
    if (size + pad < size) return nullptr;
    char* p = static_cast<char*>(MemAlloc(size + pad));
    if (!p) return nullptr;
    if (size) memcpy(p, source, (size_t)size);
    memset(p + size, 0, (size_t)pad);
    return p;
}

void MemFreeArray(void** array, int32_t count)
{
    if (!array) return;
    for (int32_t i = 0; i < count; ++i) MemFree(array[i]);
    MemFree(array);
}

void* MemGrowArray(void* pointer, int32_t elementSize, int32_t count, int32_t step)
{
    if (elementSize < 0 || count < 0) return nullptr;
    if (step > 1 && count % step != 0) return pointer;
    size_t elements = (size_t)count + (step > 1 ? (size_t)step + 1 : 1);
    size_t bytes;
    if (__builtin_mul_overflow(elements, (size_t)elementSize, &bytes)) return nullptr;
    return MemRealloc(pointer, bytes);
}

FILE* FopenUtf8(const char* path, const char* mode)
{
    wchar_t widePath[kFopenPathUnits], wideMode[kFopenModeUnits];
    if (!ToWide(path, widePath) || !ToWide(mode, wideMode)) return nullptr;
    return _wfopen(widePath, wideMode);
}

int32_t ReadFileUtf8(const char* path, char** buffer)
{
    *buffer = nullptr;
    FILE* f = FopenUtf8(path, "rb");
    if (!f) return -1;
    int32_t size = GetFileSizeUtf8(path);
    char* data = size < 0 ? nullptr : static_cast<char*>(malloc((size_t)size + kReadSlack));
    if (!data) {
        fclose(f);
        return -1;
    }
    *buffer = data;
    if (size > 0) {
        size_t got = fread(data, 1, (size_t)size, f);
        (void)got;  // a short read leaves zeros, as the slack does
    }
    fclose(f);
    memset(data + size, 0, kReadSlack);
    return size;
}

int32_t WriteBufferToFileUtf8(const char* path, const char* mode, const void* buffer, int32_t length)
{
    FILE* f = FopenUtf8(path, mode);
    if (!f) return 0;
    if (length > 0) fwrite(buffer, 1, (size_t)length, f);
    fclose(f);
    return 1;
}

int32_t WriteFileUtf8(const char* path, const void* buffer, int32_t length)
{
    return WriteBufferToFileUtf8(path, "wb", buffer, length);
}

int32_t AppendFileUtf8(const char* path, const void* buffer, int32_t length)
{
    return WriteBufferToFileUtf8(path, "ab", buffer, length);
}

int32_t GetFileSizeUtf8(const char* path)
{
    int64_t size = GetFileSize64Utf8(path);
    return size < 0 || size >= INT32_MAX - kReadSlack ? -1 : (int32_t)size;
}

int64_t GetFileSize64Utf8(const char* path)
{
    wchar_t wide[kStatPathUnits];
    struct _stat64 st;
    if (!ToWide(path, wide) || _wstat64(wide, &st) != 0) return -1;
    return st.st_size;
}

int32_t GetPathKindStatUtf8(const char* path)
{
    wchar_t wide[kStatPathUnits];
    struct _stat64 st;
    if (!ToWide(path, wide) || _wstat64(wide, &st) != 0) return 0;
    return (st.st_mode & _S_IFDIR) ? 2 : 1;
}

int32_t GetPathKindUtf8(const char* path)
{
    wchar_t wide[kPathUnits];
    if (!ToWide(path, wide)) return -1;
    DWORD attributes = GetFileAttributesW(wide);
    if (attributes == INVALID_FILE_ATTRIBUTES) return -1;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 2 : 1;
}

int64_t GetFileMTimeUtf8(const char* path)
{
    wchar_t wide[kStatPathUnits];
    struct _stat64 st;
    if (!path || !*path || !ToWide(path, wide) || _wstat64(wide, &st) != 0) return 0;
    return st.st_mtime;
}

int32_t DeleteFileUtf8(const char* path)
{
    wchar_t wide[kPathUnits];
    return ToWide(path, wide) && DeleteFileW(wide) ? 1 : 0;
}

int32_t MoveFileUtf8(const char* from, const char* to)
{
    wchar_t wideFrom[kStatPathUnits], wideTo[kStatPathUnits];
    return ToWide(from, wideFrom) && ToWide(to, wideTo) && MoveFileW(wideFrom, wideTo) ? 1 : 0;
}

int32_t CopyFileUtf8(const char* from, const char* to, int32_t failIfExists)
{
    wchar_t wideFrom[kStatPathUnits], wideTo[kStatPathUnits];
    return ToWide(from, wideFrom) && ToWide(to, wideTo) && CopyFileW(wideFrom, wideTo, failIfExists) ? 1 : 0;
}

void CreateFolderUtf8(const char* path)
{
    wchar_t wide[kPathUnits];
    if (ToWide(path, wide)) CreateDirectoryW(wide, nullptr);
}

void CreateFolderPathUtf8(const char* path, uint8_t withLast)
{
    if (!path) return;
    char prefix[kPathUnits];
    for (size_t i = 1; path[i]; ++i) {
        if ((path[i] != '\\' && path[i] != '/') || path[i - 1] == ':') continue;
        if (i >= sizeof prefix) return;  // the folders further on would not fit either
        memcpy(prefix, path, i);
        prefix[i] = 0;
        CreateFolderUtf8(prefix);
    }
    if (withLast) CreateFolderUtf8(path);
}

void RemoveFolderTree(const char* path)
{
    wchar_t wide[kPathUnits];
    if (path && *path && ToWide(path, wide)) RemoveFolderTreeW(wide);
}

void RemoveFolderTreeW(const wchar_t* path)
{
    // A link to a folder (the root's or a child's) is removed, never entered.
    DWORD kind = GetFileAttributesW(path);
    if (kind != INVALID_FILE_ATTRIBUTES && (kind & FILE_ATTRIBUTE_REPARSE_POINT) &&
        (kind & FILE_ATTRIBUTE_DIRECTORY)) {
        RemoveDirectoryW(path);
        return;
    }
    wchar_t built[kBuiltPathUnits];
    WIN32_FIND_DATAW data;
    HANDLE find = JoinPath(built, path, L"*") ? FindFirstFileW(built, &data) : INVALID_HANDLE_VALUE;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (IsDotEntry(data.cFileName) || !JoinPath(built, path, data.cFileName)) continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolderTreeW(built);
            else
                DeleteFileW(built);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path);
}

int32_t ListFolderUtf8(const char* path, FolderListEntry** entries)
{
    const int32_t kGrowth = 100;
    *entries = nullptr;
    int32_t count = 0;
    wchar_t wide[kPathUnits], pattern[kBuiltPathUnits];
    WIN32_FIND_DATAW data;
    if (!ToWide(path, wide) || !JoinPath(pattern, wide, L"*")) return 0;
    HANDLE find = FindFirstFileW(pattern, &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        if (IsDotEntry(data.cFileName)) continue;
        if (count % kGrowth == 0) {
            FolderListEntry* grown = static_cast<FolderListEntry*>(
                realloc(*entries, ((size_t)count + kGrowth) * sizeof(FolderListEntry)));
            if (!grown) break;  // keep what was listed so far
            memset(grown + count, 0, kGrowth * sizeof(FolderListEntry));
            *entries = grown;
        }
        FolderListEntry& e = (*entries)[count];
        if (!WideCharToMultiByte(CP_UTF8, 0, data.cFileName, -1, e.name, sizeof e.name, nullptr, nullptr)) {
            memset(e.name, 0, sizeof e.name);
            break;
        }
        e.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
        ++count;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return count;
}

int32_t GetTempFolderUtf8(uint32_t capacity, char* buffer)
{
    const DWORD kTempUnits = 256;
    if (capacity < 6) return 0;
    memset(buffer, 0, capacity);
    wchar_t wide[kTempUnits];
    DWORD n = GetTempPathW(kTempUnits, wide);
    if (n == 0 || n >= kTempUnits) return 0;
    int capped = capacity > (uint32_t)INT32_MAX ? INT32_MAX : (int)capacity;
    if (!WideCharToMultiByte(CP_UTF8, 0, wide, -1, buffer, capped, nullptr, nullptr)) return 0;
    return (int32_t)strlen(buffer);
}

char* GetExeFolderUtf8(char* buffer, int32_t capacity)
{
    const DWORD kExeUnits = 1024;
    wchar_t wide[kExeUnits];
    DWORD n = GetModuleFileNameW(nullptr, wide, kExeUnits);
    if (n == 0 || n >= kExeUnits || capacity <= 0) return nullptr;
    if (!WideCharToMultiByte(CP_UTF8, 0, wide, -1, buffer, capacity, nullptr, nullptr)) return nullptr;
    if (char* slash = strrchr(buffer, '\\')) *slash = 0;
    return buffer;
}

uint32_t GetTickCountMs() { return GetTickCount(); }
