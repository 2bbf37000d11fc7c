#include <gtest/gtest.h>

#include "afxmsgbox.h"
#include "common/io/appdirectoryutil.h"
#include "common/io/inifile.h"
#include "common/io/textfileutil.h"
#include "machine_control.h"
#include "standin_control.h"
#include "test_support.h"
#include "win32_file.h"
#include "win32_profile.h"

namespace {
const wchar_t kIni[] = L"C:\\cfg\\a.ini";

void Store(const wchar_t* key, const wchar_t* value)
{
    CreateDirectoryW(L"C:\\cfg", nullptr);
    ASSERT_TRUE(WritePrivateProfileStringW(L"S", key, value, kIni));
}
}  // namespace

TEST(IniFile, StoredNotExistMissingKeysAndFilesReadAsMissing)
{
    CIniFile ini(kIni);
    CString text = L"kept";
    int n = 7;
    EXPECT_FALSE(ini.GetValueOfKey(L"S", L"k", text, 100));  // no file
    Store(L"k", L"NotExist");
    EXPECT_FALSE(ini.GetValueOfKey(L"S", L"k", text, 100));
    EXPECT_FALSE(ini.GetValueOfKey(L"S", L"other", n));
    EXPECT_EQ(text, L"kept");
    EXPECT_EQ(n, 7);
    Store(L"k", L"NotExisting");
    EXPECT_TRUE(ini.GetValueOfKey(L"S", L"k", text, 100));
    EXPECT_EQ(text, L"NotExisting");
}

TEST(IniFile, NumberConversions)
{
    CIniFile ini(kIni);
    Store(L"b2", L"2");
    Store(L"btrue", L"true");
    Store(L"b1", L"1");
    Store(L"byte", L"300");
    Store(L"d", L"2.75xyz");
    bool b = true;
    EXPECT_TRUE(ini.GetValueOfKey(L"S", L"b2", b));
    EXPECT_FALSE(b);
    EXPECT_TRUE(ini.GetValueOfKey(L"S", L"btrue", b));
    EXPECT_FALSE(b);
    EXPECT_TRUE(ini.GetValueOfKey(L"S", L"b1", b));
    EXPECT_TRUE(b);
    BYTE by = 0;
    EXPECT_TRUE(ini.GetValueOfKey(L"S", L"byte", by));
    EXPECT_EQ(by, 44);
    double d = 0;
    EXPECT_TRUE(ini.GetValueOfKey(L"S", L"d", d));
    EXPECT_EQ(d, 2.75);
}

TEST(IniFile, SettersFormatAndRefuseAnEmptyFileName)
{
    CreateDirectoryW(L"C:\\cfg", nullptr);
    CIniFile ini(kIni);
    EXPECT_TRUE(ini.SetValueOfKey(L"S", L"d2", 1.5, 2));
    EXPECT_TRUE(ini.SetValueOfKey(L"S", L"d0", 2.6, 0));
    EXPECT_TRUE(ini.SetValueOfKey(L"S", L"byte", (BYTE)200));
    EXPECT_TRUE(ini.SetValueOfKey(L"S", L"bool", true));
    EXPECT_TRUE(ini.SetValueOfKey(L"S", L"pct", L"100%s"));
    CString text;
    ini.GetValueOfKey(L"S", L"d2", text, 100);
    EXPECT_EQ(text, L"1.50");
    ini.GetValueOfKey(L"S", L"d0", text, 100);
    EXPECT_EQ(text, L"3");
    ini.GetValueOfKey(L"S", L"byte", text, 100);
    EXPECT_EQ(text, L"200");
    ini.GetValueOfKey(L"S", L"bool", text, 100);
    EXPECT_EQ(text, L"1");
    ini.GetValueOfKey(L"S", L"pct", text, 100);
    EXPECT_EQ(text, L"100%s");

    CIniFile unnamed(L"");
    EXPECT_FALSE(unnamed.SetValueOfKey(L"S", L"k", 1));
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"在调用函数SetValueOfKey时，m_strFile未被赋值，异常退出！");
}

TEST(TextFile, SavesCrLfInTheAnsiCodePageAndLoadsALastLineWithoutLineEnd)
{
    CreateDirectoryW(L"C:\\t", nullptr);
    ASSERT_TRUE(CTextFileUtil::Save(L"C:\\t\\a.txt", {L"工作", L"", L"b"}));
    EXPECT_EQ(velktest::ReadNativeFile(standin::NativePath(L"C:\\t\\a.txt")), "\xB9\xA4\xD7\xF7\r\n\r\nb\r\n");

    velktest::WriteNativeFile(standin::NativePath(L"C:\\t\\b.txt"), "one\r\ntwo\nlast");
    std::vector<CString> lines{L"stale"};
    ASSERT_TRUE(CTextFileUtil::Load(L"C:\\t\\b.txt", lines));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"one");
    EXPECT_EQ(lines[1], L"two");
    EXPECT_EQ(lines[2], L"last");

    velktest::WriteNativeFile(standin::NativePath(L"C:\\t\\empty.txt"), "");
    EXPECT_TRUE(CTextFileUtil::Load(L"C:\\t\\empty.txt", lines));
    EXPECT_TRUE(lines.empty());
}

TEST(TextFile, FailuresAreReturnedNotThrown)
{
    std::vector<CString> lines{L"stale"};
    EXPECT_FALSE(CTextFileUtil::Load(L"C:\\missing\\a.txt", lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_FALSE(CTextFileUtil::Save(L"C:\\missing\\a.txt", {L"x"}));
}

TEST(AppDirectory, ModuleFolderAndItsParent)
{
    EXPECT_EQ(CAppDirectoryUtil::GetModuleFolder(standin::ModuleHandle()),
              L"C:\\Program Files\\CadHost\\Plugins\\Velk");
    EXPECT_EQ(CAppDirectoryUtil::GetParentFolder(standin::ModuleHandle()), L"C:\\Program Files\\CadHost\\Plugins");
    EXPECT_EQ(CAppDirectoryUtil::GetModuleFolder(nullptr), L"C:\\Program Files\\CadHost");
}

TEST(IniFile, AFileThatCannotBeWrittenGivesFalse)
{
    CIniFile ini(L"C:\\no\\such\\folder\\a.ini");
    EXPECT_FALSE(ini.SetValueOfKey(L"S", L"k", L"v"));
    EXPECT_TRUE(standin::MessageBoxes().empty());
}
