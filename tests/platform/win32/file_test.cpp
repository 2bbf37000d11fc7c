#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "machine_control.h"
#include "standin_control.h"
#include "test_support.h"
#include "windows.h"

namespace {

std::string Native(const wchar_t* windowsPath) { return standin::NativePath(windowsPath); }

void WriteFile(const wchar_t* windowsPath, const std::string& bytes)
{
    velktest::WriteNativeFile(Native(windowsPath), bytes);
}

// Names and attributes of a folder's entries, as the search reports them.
std::map<std::wstring, DWORD> Search(const wchar_t* pattern)
{
    std::map<std::wstring, DWORD> found;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(pattern, &data);
    if (h == INVALID_HANDLE_VALUE) return found;
    do found[data.cFileName] = data.dwFileAttributes;
    while (FindNextFileW(h, &data));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(h));
    return found;
}

}  // namespace

TEST(Files, WindowsPathsMapIntoTheRootWithUtf8Names)
{
    ASSERT_TRUE(CreateDirectoryW(L"C:\\数据", nullptr));
    EXPECT_FALSE(CreateDirectoryW(L"C:\\数据", nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryW(L"C:\\missing\\sub", nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);

    FILE* f = _wfopen(L"C:\\数据\\图.txt", L"wb");
    ASSERT_NE(f, nullptr);
    fputs("x", f);
    fclose(f);
    EXPECT_EQ(velktest::ReadNativeFile(velktest::MachineRoot() + "/C/数据/图.txt"), "x");
    EXPECT_EQ(GetFileAttributesW(L"C:\\数据") & FILE_ATTRIBUTE_DIRECTORY, (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesW(L"C:\\数据\\nothing"), INVALID_FILE_ATTRIBUTES);
}

TEST(Files, OpenRefusesFoldersAndWritesToReadOnlyFiles)
{
    EXPECT_EQ(_wfopen(L"C:\\Temp", L"rb"), nullptr);
    WriteFile(L"C:\\ro.txt", "keep");
    ASSERT_TRUE(standin::SetReadOnly(L"C:\\ro.txt", true));
    EXPECT_EQ(GetFileAttributesW(L"C:\\ro.txt") & FILE_ATTRIBUTE_READONLY, (DWORD)FILE_ATTRIBUTE_READONLY);
    for (const wchar_t* mode : {L"wb", L"ab", L"r+b", L"w"}) {
        EXPECT_EQ(_wfopen(L"C:\\ro.txt", mode), nullptr) << mode;
        EXPECT_EQ(errno, EACCES);
    }
    FILE* f = _wfopen(L"C:\\ro.txt", L"rb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    EXPECT_FALSE(DeleteFileW(L"C:\\ro.txt"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(velktest::ReadNativeFile(Native(L"C:\\ro.txt")), "keep");

    ASSERT_TRUE(SetFileAttributesW(L"C:\\ro.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileW(L"C:\\ro.txt"));
    EXPECT_FALSE(DeleteFileW(L"C:\\Temp"));
}

TEST(Files, MoveRefusesAnExistingTargetAndCopyHonoursItsFlag)
{
    WriteFile(L"C:\\a.txt", "A");
    WriteFile(L"C:\\b.txt", "B");
    EXPECT_FALSE(MoveFileW(L"C:\\a.txt", L"C:\\b.txt"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(MoveFileW(L"C:\\a.txt", L"C:\\Temp"));
    EXPECT_EQ(velktest::ReadNativeFile(Native(L"C:\\b.txt")), "B");
    EXPECT_TRUE(MoveFileW(L"C:\\a.txt", L"C:\\c.txt"));
    EXPECT_FALSE(velktest::NativeExists(Native(L"C:\\a.txt")));
    EXPECT_FALSE(MoveFileW(L"C:\\a.txt", L"C:\\d.txt"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);

    EXPECT_FALSE(CopyFileW(L"C:\\c.txt", L"C:\\b.txt", TRUE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
    EXPECT_TRUE(CopyFileW(L"C:\\c.txt", L"C:\\b.txt", FALSE));
    EXPECT_EQ(velktest::ReadNativeFile(Native(L"C:\\b.txt")), "A");
    standin::SetReadOnly(L"C:\\b.txt", true);
    EXPECT_FALSE(CopyFileW(L"C:\\c.txt", L"C:\\b.txt", FALSE));
}

TEST(Files, FolderRemovalAndSearch)
{
    WriteFile(L"C:\\f\\one.txt", "1");
    WriteFile(L"C:\\f\\two.dat", "22");
    CreateDirectoryW(L"C:\\f\\sub", nullptr);
    WriteFile(L"C:\\outside\\keep.txt", "k");
    std::filesystem::create_directory_symlink(Native(L"C:\\outside"), Native(L"C:\\f\\link"));

    auto all = Search(L"C:\\f\\*");
    EXPECT_EQ(all.size(), 6u);
    EXPECT_TRUE(all.count(L".") && all.count(L".."));
    EXPECT_EQ(all[L"sub"], (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(all[L"one.txt"] & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(all[L"link"], (DWORD)(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    auto txt = Search(L"C:\\f\\*.txt");
    EXPECT_EQ(txt.size(), 1u);
    EXPECT_TRUE(txt.count(L"one.txt"));
    WIN32_FIND_DATAW data;
    EXPECT_EQ(FindFirstFileW(L"C:\\nowhere\\*", &data), INVALID_HANDLE_VALUE);

    EXPECT_FALSE(RemoveDirectoryW(L"C:\\f"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DIR_NOT_EMPTY);
    EXPECT_TRUE(RemoveDirectoryW(L"C:\\f\\link"));
    EXPECT_TRUE(velktest::NativeExists(Native(L"C:\\outside\\keep.txt")));
    EXPECT_FALSE(RemoveDirectoryW(L"C:\\f\\one.txt"));
}

TEST(Files, MachineFoldersAndProcessPaths)
{
    WCHAR buf[300];
    EXPECT_EQ(GetTempPathW(300, buf), 8u);
    EXPECT_STREQ(buf, L"C:\\Temp\\");
    EXPECT_EQ(GetTempPathW(8, buf), 9u);  // the size needed, terminator included
    EXPECT_EQ(GetFileAttributesW(buf) & FILE_ATTRIBUTE_DIRECTORY, (DWORD)FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, 300), wcslen(standin::kHostExePath));
    EXPECT_STREQ(buf, standin::kHostExePath);
    GetModuleFileNameW(standin::ModuleHandle(), buf, 300);
    EXPECT_STREQ(buf, standin::kModulePath);
    EXPECT_EQ(GetModuleFileNameW(standin::ModuleHandle(), buf, 5), 5u);
    EXPECT_STREQ(buf, L"C:\\P");

    EXPECT_EQ(GetShortPathNameW(standin::kLocalAppDataFolder, buf, 300), wcslen(standin::kLocalAppDataFolder));
    EXPECT_STREQ(buf, standin::kLocalAppDataFolder);
    EXPECT_EQ(GetShortPathNameW(L"C:\\no\\such", buf, 300), 0u);

    ULARGE_INTEGER free;
    standin::SetDiskFreeBytes(3ull << 30);
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &free, nullptr, nullptr));
    EXPECT_EQ(free.QuadPart, 3ull << 30);
    EXPECT_FALSE(GetDiskFreeSpaceExW(L"Q:\\", &free, nullptr, nullptr));

    standin::SetClockMs((1ull << 32) + 25);
    EXPECT_EQ(GetTickCount(), 25u);
}

TEST(SpecialFolders, LocalApplicationData)
{
    LPITEMIDLIST list = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_LOCAL_APPDATA, &list), S_OK);
    WCHAR path[MAX_PATH];
    ASSERT_TRUE(SHGetPathFromIDListW(list, path));
    ILFree(list);
    EXPECT_STREQ(path, L"C:\\Users\\user\\AppData\\Local");
    EXPECT_EQ(GetFileAttributesW(path), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(FAILED(SHGetSpecialFolderLocation(nullptr, 0x7777, &list)));
}

TEST(Events, AutoAndManualResetWithTheVirtualClock)
{
    HANDLE autoEvent = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 50), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(standin::ClockMs(), 50u);
    EXPECT_TRUE(SetEvent(autoEvent));
    EXPECT_EQ(WaitForSingleObject(autoEvent, INFINITE), (DWORD)WAIT_OBJECT_0);

    SetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), (DWORD)WAIT_OBJECT_0);
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), (DWORD)WAIT_TIMEOUT);

    EXPECT_TRUE(CloseHandle(autoEvent));
    EXPECT_FALSE(CloseHandle(autoEvent));
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_FAILED);
    EXPECT_TRUE(CloseHandle(manual));
}
