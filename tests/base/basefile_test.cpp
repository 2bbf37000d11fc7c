#include <gtest/gtest.h>
#include <malloc.h>
#include <utime.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "base/basefile.h"
#include "machine_control.h"
#include "standin_control.h"
#include "test_support.h"
#include "windows.h"

namespace {

std::string Utf8(const std::wstring& w)
{
    char buf[8192];
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, buf, sizeof buf, nullptr, nullptr);
    return n ? std::string(buf) : std::string();
}

std::string Native(const char* windowsPath) { return standin::NativePathUtf8(windowsPath); }

// A Windows path of exactly `units` UTF-16 units: folders of Chinese names
// (three UTF-8 bytes each) and a file name filling the rest.
std::wstring PathOfUnits(size_t units, wchar_t folderChar = L'长')
{
    std::wstring p = L"C:\\";
    while (units - p.size() > 120) p += std::wstring(80, folderChar) + L"\\";
    return p + std::wstring(units - p.size(), L'f');
}

struct HookCall {
    void* pointer;
    uint64_t size;
    int32_t kind;
};
std::vector<HookCall> g_calls;
void RecordHook(void* p, uint64_t size, int32_t kind) { g_calls.push_back({p, size, kind}); }

}  // namespace

TEST(PathFiles, PathsThatDoNotFitTheirBufferFailLikeMissingFiles)
{
    // sizes and moves: 1023 units with the terminator
    std::wstring fits = PathOfUnits(1022), tooLong = PathOfUnits(1023);
    velktest::WriteNativeFile(standin::NativePath(fits), "12345");
    velktest::WriteNativeFile(standin::NativePath(tooLong), "12345");
    EXPECT_EQ(GetFileSizeUtf8(Utf8(fits).c_str()), 5);
    EXPECT_EQ(GetFileSizeUtf8(Utf8(tooLong).c_str()), -1);
    EXPECT_EQ(GetPathKindStatUtf8(Utf8(tooLong).c_str()), 0);
    EXPECT_EQ(GetFileSizeUtf8(nullptr), -1);
    // deletion: 1024 units
    EXPECT_EQ(DeleteFileUtf8(Utf8(tooLong).c_str()), 1);
    std::wstring deleteTooLong = PathOfUnits(1024);
    velktest::WriteNativeFile(standin::NativePath(deleteTooLong), "x");
    EXPECT_EQ(DeleteFileUtf8(Utf8(deleteTooLong).c_str()), 0);
    EXPECT_TRUE(velktest::NativeExists(standin::NativePath(deleteTooLong)));
    EXPECT_EQ(GetPathKindUtf8(Utf8(deleteTooLong).c_str()), -1);
    // opening: 2048 units
    std::wstring open = PathOfUnits(2047, L'o'), openTooLong = PathOfUnits(2048, L'o');
    velktest::WriteNativeFile(standin::NativePath(open), "x");
    velktest::WriteNativeFile(standin::NativePath(openTooLong), "x");
    FILE* f = FopenUtf8(Utf8(open).c_str(), "rb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    EXPECT_EQ(FopenUtf8(Utf8(openTooLong).c_str(), "rb"), nullptr);
    EXPECT_TRUE(velktest::NativeExists(standin::NativePath(openTooLong)));
}

TEST(PathFiles, CharactersBeyondTheBasicPlaneTakeTwoUnitsOfTheBuffer)
{
    // U+20000 is one wchar_t here but a surrogate pair in UTF-16
    std::wstring fits = PathOfUnits(1021), tooLong = PathOfUnits(1022);
    fits.back() = tooLong.back() = L'\U00020000';
    velktest::WriteNativeFile(standin::NativePath(fits), "12345");
    velktest::WriteNativeFile(standin::NativePath(tooLong), "12345");
    EXPECT_EQ(GetFileSizeUtf8(Utf8(fits).c_str()), 5);  // 1022 units and the terminator
    EXPECT_EQ(GetFileSizeUtf8(Utf8(tooLong).c_str()), -1);

    // a child path built inside the removal counts its units the same way
    std::wstring folder = PathOfUnits(1010, L'r');
    std::wstring child = folder + L"\\" + std::wstring(10, L'\U00020000');  // 1031 units
    velktest::WriteNativeFile(standin::NativePath(child), "c");
    RemoveFolderTreeW(folder.c_str());
    EXPECT_TRUE(velktest::NativeExists(standin::NativePath(child)));
}

TEST(PathFiles, ChinesePathsSurviveCreateWriteSizeAndDelete)
{
    CreateFolderPathUtf8("C:\\地图\\缓存\\", 0);
    ASSERT_EQ(GetPathKindUtf8("C:\\地图\\缓存"), 2);
    ASSERT_EQ(WriteFileUtf8("C:\\地图\\缓存\\图块.png", "abc", 3), 1);
    EXPECT_EQ(velktest::ReadNativeFile(velktest::MachineRoot() + "/C/地图/缓存/图块.png"), "abc");
    EXPECT_EQ(GetFileSizeUtf8("C:\\地图\\缓存\\图块.png"), 3);
    EXPECT_EQ(GetPathKindUtf8("C:\\地图\\缓存\\图块.png"), 1);
    EXPECT_EQ(DeleteFileUtf8("C:\\地图\\缓存\\图块.png"), 1);
    EXPECT_EQ(GetPathKindStatUtf8("C:\\地图\\缓存\\图块.png"), 0);
    EXPECT_EQ(GetPathKindUtf8("C:\\地图\\缓存\\图块.png"), -1);
    EXPECT_EQ(GetPathKindStatUtf8("C:\\地图"), 2);
    EXPECT_EQ(GetFileSizeUtf8("C:\\地图"), 0);  // what the folder's record holds, not -1
}

TEST(PathFiles, ReadWholeFileWithZeroSlack)
{
    char* data = reinterpret_cast<char*>(1);
    EXPECT_EQ(ReadFileUtf8("C:\\missing.txt", &data), -1);
    EXPECT_EQ(data, nullptr);

    velktest::WriteNativeFile(Native("C:\\t.txt"), "hello");
    ASSERT_EQ(ReadFileUtf8("C:\\t.txt", &data), 5);
    EXPECT_EQ(std::string(data, 5), "hello");
    for (int i = 5; i < 505; ++i) ASSERT_EQ(data[i], 0) << i;
    free(data);

    velktest::WriteNativeFile(Native("C:\\empty.txt"), "");
    ASSERT_EQ(ReadFileUtf8("C:\\empty.txt", &data), 0);
    EXPECT_EQ(data[0], 0);
    EXPECT_EQ(data[499], 0);
    free(data);
}

TEST(PathFiles, ReadShorterThanTheRecordedSizeIsZeroFilled)
{
    // the system reports 4096 bytes for this file but it holds only a few
    if (!std::filesystem::exists("/sys/devices/system/cpu/online")) GTEST_SKIP() << "no /sys/devices/system/cpu/online";
    standin::MapDrive(L'Y', "/sys/devices/system/cpu");
    char* data = nullptr;
    int32_t size = ReadFileUtf8("Y:\\online", &data);
    ASSERT_GT(size, 0);
    size_t text = strlen(data);
    ASSERT_LT(text, (size_t)size);
    EXPECT_EQ(std::string(data + text, (size_t)size + 500 - text), std::string((size_t)size + 500 - text, '\0'));
    free(data);
}

TEST(PathFiles, FilesTooLargeForTheSizeFailAsMissing)
{
    std::string native = Native("C:\\big.bin");
    velktest::WriteNativeFile(native, "");
    // the size and the 500-byte slack must fit the 32-bit result together
    std::filesystem::resize_file(native, INT32_MAX - 500ll);
    EXPECT_EQ(GetFileSizeUtf8("C:\\big.bin"), INT32_MAX - 500);
    std::filesystem::resize_file(native, INT32_MAX - 499ll);
    EXPECT_EQ(GetFileSizeUtf8("C:\\big.bin"), -1);
    std::filesystem::resize_file(native, 3ll << 30);  // sparse: no disk used
    EXPECT_EQ(GetFileSize64Utf8("C:\\big.bin"), 3ll << 30);
    EXPECT_EQ(GetFileSizeUtf8("C:\\big.bin"), -1);
    char* data = nullptr;
    EXPECT_EQ(ReadFileUtf8("C:\\big.bin", &data), -1);
    EXPECT_EQ(data, nullptr);
}

TEST(PathFiles, WriteReplacesAppendAppendsAndMissingFoldersFail)
{
    ASSERT_EQ(WriteFileUtf8("C:\\w.txt", "abcdef", 6), 1);
    ASSERT_EQ(WriteFileUtf8("C:\\w.txt", "xy", 2), 1);
    ASSERT_EQ(AppendFileUtf8("C:\\w.txt", "z", 1), 1);
    EXPECT_EQ(velktest::ReadNativeFile(Native("C:\\w.txt")), "xyz");
    ASSERT_EQ(WriteFileUtf8("C:\\w.txt", "ignored", 0), 1);
    EXPECT_EQ(GetFileSizeUtf8("C:\\w.txt"), 0);

    EXPECT_EQ(WriteFileUtf8("C:\\no\\w.txt", "a", 1), 0);
    EXPECT_EQ(GetPathKindUtf8("C:\\no"), -1);
    standin::SetReadOnly(L"C:\\w.txt", true);
    EXPECT_EQ(AppendFileUtf8("C:\\w.txt", "a", 1), 0);
    // 1 says the file opened, not that the bytes reached it
    if (std::filesystem::exists("/dev/full")) {
        standin::MapDrive(L'Y', "/dev");
        EXPECT_EQ(WriteFileUtf8("Y:\\full", "abc", 3), 1);
    }
}

TEST(PathFiles, MoveCopyAndFileTimes)
{
    WriteFileUtf8("C:\\a.txt", "A", 1);
    WriteFileUtf8("C:\\b.txt", "B", 1);
    EXPECT_EQ(MoveFileUtf8("C:\\a.txt", "C:\\b.txt"), 0);
    EXPECT_EQ(MoveFileUtf8("C:\\a.txt", nullptr), 0);
    EXPECT_EQ(CopyFileUtf8("C:\\a.txt", "C:\\b.txt", 1), 0);
    EXPECT_EQ(CopyFileUtf8("C:\\a.txt", "C:\\b.txt", 0), 1);
    EXPECT_EQ(velktest::ReadNativeFile(Native("C:\\b.txt")), "A");
    EXPECT_EQ(MoveFileUtf8("C:\\a.txt", "C:\\c.txt"), 1);
    EXPECT_EQ(GetPathKindUtf8("C:\\a.txt"), -1);

    struct utimbuf times = {1500000000, 1577934245};
    ASSERT_EQ(utime(Native("C:\\c.txt").c_str(), &times), 0);
    EXPECT_EQ(GetFileMTimeUtf8("C:\\c.txt"), 1577934245);
    EXPECT_EQ(GetFileMTimeUtf8(""), 0);
    EXPECT_EQ(GetFileMTimeUtf8("C:\\none"), 0);
}

TEST(PathFiles, CreateFolderPathMakesExactlyThePrefixes)
{
    CreateFolderPathUtf8("C:\\a\\b\\c.txt", 0);
    EXPECT_EQ(GetPathKindUtf8("C:\\a\\b"), 2);
    EXPECT_EQ(GetPathKindUtf8("C:\\a\\b\\c.txt"), -1);
    CreateFolderPathUtf8("C:/x/y/", 0);
    EXPECT_EQ(GetPathKindUtf8("C:\\x\\y"), 2);
    CreateFolderPathUtf8("C:\\p\\q", 1);
    EXPECT_EQ(GetPathKindUtf8("C:\\p\\q"), 2);
    CreateFolderPathUtf8("C:\\m\\n", 0);
    EXPECT_EQ(GetPathKindUtf8("C:\\m"), 2);
    EXPECT_EQ(GetPathKindUtf8("C:\\m\\n"), -1);

    // A prefix of 1023 bytes still fits the 1024-byte buffer with its
    // terminator; at 1024 bytes the walk stops, the last folder included.
    std::string base = "C:\\l";
    for (int i = 0; i < 4; ++i) base += "\\" + std::string(200, (char)('a' + i));  // 808 bytes
    std::string fits = base + "\\" + std::string(214, 'f');                        // 1023 bytes
    std::string tooLong = base + "\\" + std::string(215, 't');                     // 1024 bytes
    CreateFolderPathUtf8((fits + "\\x").c_str(), 0);
    EXPECT_TRUE(velktest::NativeExists(Native(fits.c_str())));
    CreateFolderPathUtf8((tooLong + "\\y").c_str(), 1);
    EXPECT_TRUE(velktest::NativeExists(Native(base.c_str())));
    EXPECT_FALSE(velktest::NativeExists(Native(tooLong.c_str())));
    EXPECT_FALSE(velktest::NativeExists(Native((tooLong + "\\y").c_str())));
}

TEST(PathFiles, RemoveFolderTreeNeverFollowsLinks)
{
    CreateFolderPathUtf8("C:\\cache\\x\\y\\", 1);
    WriteFileUtf8("C:\\cache\\x\\y\\deep.bin", "d", 1);
    WriteFileUtf8("C:\\cache\\top.bin", "t", 1);
    CreateFolderPathUtf8("C:\\precious\\", 1);
    WriteFileUtf8("C:\\precious\\data.txt", "p", 1);
    std::filesystem::create_directory_symlink(Native("C:\\precious"), Native("C:\\cache\\x\\folderlink"));
    std::filesystem::create_symlink(Native("C:\\precious\\data.txt"), Native("C:\\cache\\filelink"));

    RemoveFolderTree("C:\\cache");
    EXPECT_FALSE(velktest::NativeExists(Native("C:\\cache")));
    EXPECT_EQ(velktest::ReadNativeFile(Native("C:\\precious\\data.txt")), "p");

    RemoveFolderTree("");
    RemoveFolderTree(nullptr);
    EXPECT_EQ(GetPathKindUtf8("C:\\precious"), 2);

    // a root that is itself a link: the link goes, what it points to stays
    std::filesystem::create_directory_symlink(Native("C:\\precious"), Native("C:\\rootlink"));
    RemoveFolderTree("C:\\rootlink\\");
    EXPECT_FALSE(std::filesystem::is_symlink(Native("C:\\rootlink")));
    EXPECT_EQ(velktest::ReadNativeFile(Native("C:\\precious\\data.txt")), "p");
}

TEST(PathFiles, RemoveFolderTreeLeavesReadOnlyFilesAndTheirFolders)
{
    CreateFolderPathUtf8("C:\\t\\keep\\", 1);
    CreateFolderPathUtf8("C:\\t\\gone\\", 1);
    WriteFileUtf8("C:\\t\\keep\\ro.txt", "r", 1);
    WriteFileUtf8("C:\\t\\gone\\rw.txt", "w", 1);
    standin::SetReadOnly(L"C:\\t\\keep\\ro.txt", true);
    RemoveFolderTree("C:\\t");
    EXPECT_EQ(GetPathKindUtf8("C:\\t\\keep\\ro.txt"), 1);
    EXPECT_EQ(GetPathKindUtf8("C:\\t\\gone"), -1);
}

TEST(PathFiles, ListFolderGrowsByHundredsAndMarksFolders)
{
    FolderListEntry* entries = reinterpret_cast<FolderListEntry*>(1);
    CreateFolderUtf8("C:\\empty");
    EXPECT_EQ(ListFolderUtf8("C:\\empty", &entries), 0);
    EXPECT_EQ(entries, nullptr);
    EXPECT_EQ(ListFolderUtf8("C:\\missing", &entries), 0);

    // 100 entries take one growth of 100 records, 101 a second one
    CreateFolderUtf8("C:\\many");
    for (int count : {100, 101}) {
        for (int i = 0; i < count - 1; ++i)
            WriteFileUtf8(("C:\\many\\文件" + std::to_string(i)).c_str(), "", 0);
        CreateFolderUtf8("C:\\many\\子目录");
        ASSERT_EQ(ListFolderUtf8("C:\\many", &entries), count);
        size_t records = count == 100 ? 100 : 200;
        EXPECT_GE(malloc_usable_size(entries), records * sizeof(FolderListEntry));
        EXPECT_LT(malloc_usable_size(entries), (records + 100) * sizeof(FolderListEntry));
        size_t unused = (records - (size_t)count) * sizeof(FolderListEntry);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(entries + count), unused), std::string(unused, '\0'));
        std::set<std::string> names;
        for (int i = 0; i < count; ++i) {
            names.insert(entries[i].name);
            EXPECT_EQ(entries[i].isFolder, std::string(entries[i].name) == "子目录" ? 1 : 0);
        }
        free(entries);
        EXPECT_EQ(names.size(), (size_t)count);
        EXPECT_TRUE(names.count("文件" + std::to_string(count - 2)));
        RemoveFolderTree("C:\\many");
        CreateFolderUtf8("C:\\many");
    }
}

TEST(Memory, TraceHookKindsAndGrowthRule)
{
    MemTraceHook = &RecordHook;
    g_calls.clear();
    void* p = MemAlloc(16);
    void* q = MemRealloc(p, 32);
    MemFree(q);
    MemFree(nullptr);
    void* untraced = MemAllocZeroedUntraced(8);
    ASSERT_EQ(g_calls.size(), 4u);
    EXPECT_EQ(g_calls[0].kind, 1);
    EXPECT_EQ(g_calls[0].size, 16u);
    EXPECT_EQ(g_calls[1].pointer, p);
    EXPECT_EQ(g_calls[1].kind, 0);
    EXPECT_EQ(g_calls[2].kind, 2);
    EXPECT_EQ(g_calls[2].size, 32u);
    EXPECT_EQ(g_calls[3].pointer, q);
    EXPECT_EQ(g_calls[3].kind, 0);
    free(untraced);

    // step 10: grows to count + 11 elements at multiples of 10 only
    g_calls.clear();
    void* a = MemGrowArray(nullptr, 4, 0, 10);
    EXPECT_EQ(g_calls.back().size, 44u);
    EXPECT_EQ(MemGrowArray(a, 4, 5, 10), a);
    a = MemGrowArray(a, 4, 10, 10);
    EXPECT_EQ(g_calls.back().size, 84u);
    a = MemGrowArray(a, 4, 7, 1);
    EXPECT_EQ(g_calls.back().size, 32u);
    EXPECT_EQ(MemGrowArray(a, -4, 7, 1), nullptr);
    MemFree(a);
    // a size beyond 2 GiB is taken whole, never wrapped in 32 bits
    a = MemGrowArray(nullptr, 1 << 16, 1 << 15, 1);
    EXPECT_EQ(g_calls.back().size, 65536ull * 32769);  // reported even when the block is refused
    MemFree(a);
    MemTraceHook = nullptr;

    char* dup = static_cast<char*>(MemDupPadded(3, "abc", 2));
    EXPECT_EQ(std::string(dup, 5), std::string("abc\0\0", 5));
    void** list = static_cast<void**>(MemAllocZeroed(2 * sizeof(void*)));
    list[0] = MemAlloc(1);
    list[1] = MemAlloc(1);
    MemFreeArray(list, 2);  // ASan reports any leak
    MemFree(dup);
}

TEST(PathFiles, MachineFoldersAndClock)
{
    char buf[300];
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(GetTempFolderUtf8(5, buf), 0);
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(GetTempFolderUtf8(8, buf), 0);  // no room for the terminator
    EXPECT_EQ(GetTempFolderUtf8(sizeof buf, buf), 8);
    EXPECT_STREQ(buf, "C:\\Temp\\");
    ASSERT_NE(GetExeFolderUtf8(buf, sizeof buf), nullptr);
    EXPECT_STREQ(buf, "C:\\Program Files\\CadHost");
    EXPECT_EQ(GetExeFolderUtf8(buf, 10), nullptr);
    standin::SetClockMs(0x1'0000'0007ull);
    EXPECT_EQ(GetTickCountMs(), 7u);
}
