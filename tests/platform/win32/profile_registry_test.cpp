#include <gtest/gtest.h>

#include <string>

#include "machine_control.h"
#include "standin_control.h"
#include "test_support.h"
#include "windows.h"

namespace {

const wchar_t* kIni = L"C:\\Users\\user\\AppData\\Local\\test.ini";

std::string IniBytes() { return velktest::ReadNativeFile(standin::NativePath(kIni)); }

std::wstring Get(const wchar_t* section, const wchar_t* key, const wchar_t* def = L"NotExist")
{
    WCHAR buf[64];
    GetPrivateProfileStringW(section, key, def, buf, 64, kIni);
    return buf;
}

}  // namespace

TEST(Profile, StringsRoundTripInAnAnsiFile)
{
    EXPECT_EQ(Get(L"TempPath", L"MapTemp"), L"NotExist");
    ASSERT_TRUE(WritePrivateProfileStringW(L"TempPath", L"MapTemp", L"D:\\地图缓存", kIni));
    ASSERT_TRUE(WritePrivateProfileStringW(L"FILE_MD5", L"123", L"abc", kIni));
    ASSERT_TRUE(WritePrivateProfileStringW(L"TempPath", L"Other", L"1", kIni));
    // stored in code page 936 with CR LF lines, the new key inside its section
    EXPECT_EQ(IniBytes(), "[TempPath]\r\nMapTemp=D:\\\xB5\xD8\xCD\xBC\xBB\xBA\xB4\xE6\r\nOther=1\r\n"
                          "[FILE_MD5]\r\n123=abc\r\n");
    EXPECT_EQ(Get(L"temppath", L"MAPTEMP"), L"D:\\地图缓存");
    ASSERT_TRUE(WritePrivateProfileStringW(L"TempPath", L"MapTemp", L"E:\\t", kIni));
    EXPECT_EQ(Get(L"TempPath", L"MapTemp"), L"E:\\t");

    WCHAR small[4];
    EXPECT_EQ(GetPrivateProfileStringW(L"TempPath", L"MapTemp", L"", small, 4, kIni), 3u);
    EXPECT_STREQ(small, L"E:\\");

    ASSERT_TRUE(WritePrivateProfileStringW(L"TempPath", L"MapTemp", nullptr, kIni));
    EXPECT_EQ(Get(L"TempPath", L"MapTemp"), L"NotExist");
    ASSERT_TRUE(WritePrivateProfileStringW(L"TempPath", nullptr, nullptr, kIni));
    EXPECT_EQ(IniBytes(), "[FILE_MD5]\r\n123=abc\r\n");
}

TEST(Profile, ListsAndUtf16Files)
{
    velktest::WriteNativeFile(standin::NativePath(kIni),
                              std::string("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\x34\x6C\r\0\n\0", 22));
    EXPECT_EQ(Get(L"s", L"k"), L"水");
    ASSERT_TRUE(WritePrivateProfileStringW(L"s", L"j", L"\U0001F600", kIni));
    EXPECT_EQ(Get(L"s", L"j"), L"\U0001F600");  // a surrogate pair in the file
    EXPECT_EQ(IniBytes().substr(0, 2), "\xFF\xFE");

    WCHAR list[16];
    EXPECT_EQ(GetPrivateProfileStringW(L"s", nullptr, L"", list, 16, kIni), 4u);
    EXPECT_EQ(std::wstring(list, 5), std::wstring(L"k\0j\0\0", 5));
    EXPECT_EQ(GetPrivateProfileStringW(nullptr, nullptr, L"", list, 16, kIni), 2u);
}

TEST(Profile, StructsCarryAByteSumChecksum)
{
    const BYTE record[3] = {0x01, 0x02, 0xFF};
    ASSERT_TRUE(WritePrivateProfileStructW(L"VelkArx", L"ini", record, 3, kIni));
    EXPECT_EQ(IniBytes(), "[VelkArx]\r\nini=0102FF02\r\n");
    BYTE back[3] = {};
    ASSERT_TRUE(GetPrivateProfileStructW(L"VelkArx", L"ini", back, 3, kIni));
    EXPECT_EQ(memcmp(back, record, 3), 0);

    BYTE untouched[3] = {7, 7, 7};
    EXPECT_FALSE(GetPrivateProfileStructW(L"VelkArx", L"ini", untouched, 2, kIni));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_LENGTH);
    WritePrivateProfileStringW(L"VelkArx", L"ini", L"0102FF03", kIni);
    EXPECT_FALSE(GetPrivateProfileStructW(L"VelkArx", L"ini", untouched, 3, kIni));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_DATA);
    WritePrivateProfileStringW(L"VelkArx", L"ini", L"0102FG02", kIni);
    EXPECT_FALSE(GetPrivateProfileStructW(L"VelkArx", L"ini", untouched, 3, kIni));
    EXPECT_FALSE(GetPrivateProfileStructW(L"VelkArx", L"missing", untouched, 3, kIni));
    EXPECT_EQ(untouched[0], 7);

    // a 160-byte record round-trips whole
    BYTE big[160], big2[160] = {};
    for (int i = 0; i < 160; ++i) big[i] = (BYTE)(i * 37);
    ASSERT_TRUE(WritePrivateProfileStructW(L"VelkArx", L"ini", big, 160, kIni));
    ASSERT_TRUE(GetPrivateProfileStructW(L"VelkArx", L"ini", big2, 160, kIni));
    EXPECT_EQ(memcmp(big, big2, 160), 0);
}

TEST(Profile, WritesFailOnReadOnlyFilesAndMissingFolders)
{
    EXPECT_FALSE(WritePrivateProfileStringW(L"a", L"b", L"c", L"C:\\nofolder\\x.ini"));
    EXPECT_TRUE(WritePrivateProfileStringW(L"a", L"b", nullptr, L"C:\\none.ini"));
    EXPECT_FALSE(velktest::NativeExists(standin::NativePath(L"C:\\none.ini")));
    ASSERT_TRUE(WritePrivateProfileStringW(L"a", L"b", L"c", kIni));
    standin::SetReadOnly(kIni, true);
    EXPECT_FALSE(WritePrivateProfileStringW(L"a", L"b", L"d", kIni));
    EXPECT_EQ(Get(L"a", L"b"), L"c");
}

TEST(Registry, ReadsWhatTheMachineHolds)
{
    const wchar_t* key = L"Software\\Brisan Software\\velk\\MainFrm";
    HKEY h = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_ALL_ACCESS, &h), ERROR_FILE_NOT_FOUND);
    standin::SetRegistryDword(HKEY_CURRENT_USER, key, L"LastVersion", 832);
    standin::SetRegistryString(HKEY_CURRENT_USER, key, L"LastRunPath", L"D:\\拓岚\\velk.exe");
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &h), ERROR_FILE_NOT_FOUND);

    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"software\\brisan software", 0, KEY_READ, &parent), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(parent, L"velk\\MainFrm", 0, KEY_READ, &h), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(parent), ERROR_SUCCESS);

    BYTE buf[1024] = {};
    DWORD type = 0, size = sizeof buf;
    ASSERT_EQ(RegQueryValueExW(h, L"LastVersion", nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, (DWORD)REG_DWORD);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(*reinterpret_cast<DWORD*>(buf), 832u);

    size = 0;
    ASSERT_EQ(RegQueryValueExW(h, L"LastRunPath", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 15 * sizeof(WCHAR));
    size = 8;
    EXPECT_EQ(RegQueryValueExW(h, L"LastRunPath", nullptr, &type, buf, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 15 * sizeof(WCHAR));
    size = sizeof buf;
    ASSERT_EQ(RegQueryValueExW(h, L"lastrunpath", nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, (DWORD)REG_SZ);
    EXPECT_STREQ(reinterpret_cast<WCHAR*>(buf), L"D:\\拓岚\\velk.exe");
    EXPECT_EQ(RegQueryValueExW(h, L"Nothing", nullptr, &type, buf, &size), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(h), ERROR_INVALID_HANDLE);
    standin::DeleteRegistryKey(HKEY_CURRENT_USER, L"Software\\Brisan Software");
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &h), ERROR_FILE_NOT_FOUND);
}
