// Memory wrappers and files and folders named by UTF-8 paths.
//
// Every path is converted into a fixed UTF-16 buffer before the wide system
// call; a path that does not fit fails like a missing file. Results are
// plain: null, 0/1, -1 or counts; nothing is reported or thrown.
#pragma once

#include <cstdint>
#include <cstdio>

// Allocation trace: hook(pointer, size, kind) with kind 1 for an allocation,
// 2 for the result of a reallocation and 0 for a block given up (size 0).
typedef void (*MemTraceFn)(void* pointer, uint64_t size, int32_t kind);
extern MemTraceFn MemTraceHook;

// One entry of ListFolderUtf8: the UTF-8 name (at most 254 bytes and its
// terminator) and byte 255, 1 for a folder.
struct FolderListEntry {
    char name[255];
    uint8_t isFolder;
};
static_assert(sizeof(FolderListEntry) == 256, "folder list entries are 256 bytes");

void* MemAlloc(uint64_t size);
void* MemAllocZeroed(uint64_t size);
void* MemRealloc(void* pointer, uint64_t size);
void MemFree(void* pointer);
void* MemAllocUntraced(uint64_t size);
void* MemAllocZeroedUntraced(uint64_t size);
// A copy of `size` bytes followed by `pad` zero bytes.
void* MemDupPadded(uint64_t size, const void* source, uint64_t pad);
void MemFreeArray(void** array, int32_t count);
// Room for one more element of an array of `count`: with a step above 1 the
// array grows by step + 1 elements whenever count is a multiple of step (and
// is returned unchanged otherwise); else by one. Null when the size
// overflows or the reallocation fails.
void* MemGrowArray(void* pointer, int32_t elementSize, int32_t count, int32_t step);

FILE* FopenUtf8(const char* path, const char* mode);
// The whole file in a new buffer (free it with free) with 500 zero bytes
// behind the data; the size, or -1. A file above INT32_MAX - 500 bytes
// fails like a missing one.
int32_t ReadFileUtf8(const char* path, char** buffer);
// 1 when the file opened (the bytes written are not checked), 0 otherwise.
int32_t WriteBufferToFileUtf8(const char* path, const char* mode, const void* buffer, int32_t length);
int32_t WriteFileUtf8(const char* path, const void* buffer, int32_t length);
int32_t AppendFileUtf8(const char* path, const void* buffer, int32_t length);
// -1 for a missing file and for one above INT32_MAX - 500 bytes.
int32_t GetFileSizeUtf8(const char* path);
int64_t GetFileSize64Utf8(const char* path);
// 0 nothing there, 1 a file, 2 a folder.
int32_t GetPathKindStatUtf8(const char* path);
// -1 nothing there, 1 a file, 2 a folder.
int32_t GetPathKindUtf8(const char* path);
// Seconds since 1970, 0 on failure.
int64_t GetFileMTimeUtf8(const char* path);
int32_t DeleteFileUtf8(const char* path);
// Fails when the target exists.
int32_t MoveFileUtf8(const char* from, const char* to);
int32_t CopyFileUtf8(const char* from, const char* to, int32_t failIfExists);
void CreateFolderUtf8(const char* path);
// Creates every folder along the path; the last part too when withLast is
// set (a folder path), not when clear (a file path).
void CreateFolderPathUtf8(const char* path, uint8_t withLast);
// Deletes the folder and everything in it. Links are removed, never
// followed; a file that cannot be deleted stays, with its folders.
void RemoveFolderTree(const char* path);
void RemoveFolderTreeW(const wchar_t* path);
// The folder's entries (without "." and "..") in a new array of 256-byte
// records (free it with free); the count.
int32_t ListFolderUtf8(const char* path, FolderListEntry** entries);
// The temporary folder with its trailing backslash; its length, or 0.
int32_t GetTempFolderUtf8(uint32_t capacity, char* buffer);
// The folder of the host's executable, without a trailing backslash.
char* GetExeFolderUtf8(char* buffer, int32_t capacity);
uint32_t GetTickCountMs();
