#include <gtest/gtest.h>

#include "afxstr.h"
#include "standin_control.h"
#include "windows.h"

TEST(CodePages, Utf8MalformedBytesBecomeReplacementCharacters)
{
    WCHAR buf[16];
    // a lone continuation byte, a truncated three-byte sequence, then 'A'
    int n = MultiByteToWideChar(CP_UTF8, 0, "\x80\xE4\xB8" "A", -1, buf, 16);
    ASSERT_EQ(n, 4);
    EXPECT_EQ(std::wstring(buf), L"\xFFFD\xFFFD" L"A");
}

TEST(CodePages, CapacityTooSmallFailsAndSizeQueryCountsTheTerminator)
{
    WCHAR buf[2];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, buf, 2), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    char out[3];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u5DE5", -1, out, 3, nullptr, nullptr), 0);
}

TEST(CodePages, AnsiIsCodePage936)
{
    // "工作" in GBK is B9 A4 D7 F7
    char gbk[8] = {};
    int n = WideCharToMultiByte(CP_ACP, 0, L"工作", -1, gbk, 8, nullptr, nullptr);
    ASSERT_EQ(n, 5);
    EXPECT_EQ(std::string(gbk), "\xB9\xA4\xD7\xF7");
    WCHAR back[8];
    ASSERT_EQ(MultiByteToWideChar(CP_THREAD_ACP, 0, gbk, -1, back, 8), 3);
    EXPECT_EQ(std::wstring(back), L"工作");

    BOOL usedDefault = FALSE;
    n = WideCharToMultiByte(CP_ACP, 0, L"a\U0001F600", -1, gbk, 8, nullptr, &usedDefault);
    EXPECT_EQ(std::string(gbk), "a?");
    EXPECT_TRUE(usedDefault);
}

TEST(CString, FormatFollowsTheWideRules)
{
    CString s;
    s.Format(L"%s|%S|%c|%d|%ld|%I64d|%.2f|%5s|%%", L"宽", "narrow", L'字', -7, (LONG)-8,
             (__int64)1 << 40, 3.14159, L"ab");
    EXPECT_EQ(s, CString(L"宽|narrow|字|-7|-8|1099511627776|3.14|   ab|%"));
    s.AppendFormat(L" ErrorCode:%d", 26);
    EXPECT_EQ(s.Right(12), CString(L"ErrorCode:26"));
}

// A text without flags, width or precision goes in as it is, however long
// and whatever it holds; with them it is still padded or cut.
TEST(CString, FormatPutsAPlainTextInWhole)
{
    const std::wstring said = L"POINT at line 12: 100% of %d and %s stay as written; " + std::wstring(2000, L'x');
    CString s;
    s.Format(L"<%s>|%hs|%s|%-4s|%.2s|", said.c_str(), "\xB9\xA4", (const wchar_t*)nullptr, L"ab", L"abc");
    EXPECT_EQ(std::wstring(s.GetString()), L"<" + said + L">|工|(null)|ab  |ab|");
}

TEST(CString, EditingOperations)
{
    CString s(L"  a,b,,c  ");
    s.Trim();
    EXPECT_EQ(s, L"a,b,,c");
    int pos = 0;
    EXPECT_EQ(s.Tokenize(L",", pos), L"a");
    EXPECT_EQ(s.Tokenize(L",", pos), L"b");
    EXPECT_EQ(s.Tokenize(L",", pos), L"c");
    s.Tokenize(L",", pos);
    EXPECT_EQ(pos, -1);
    EXPECT_EQ(s.Replace(L",", L";;"), 3);
    EXPECT_EQ(s, L"a;;b;;;;c");
    EXPECT_EQ(s.Mid(3, 100), L"b;;;;c");
    EXPECT_EQ(s.Find(L'c', 9), -1);
    EXPECT_EQ(CString("\xB9\xA4"), L"工");
}

TEST(CrtTime, TimesBefore1970AreRefusedWithAZeroedResult)
{
    struct tm t;
    memset(&t, 0x55, sizeof t);
    __time64_t before = -1;
    EXPECT_NE(_localtime64_s(&t, &before), 0);
    EXPECT_EQ(t.tm_year, 0);
    EXPECT_EQ(t.tm_mday, 0);
    memset(&t, 0x55, sizeof t);
    EXPECT_NE(_gmtime64_s(&t, &before), 0);
    EXPECT_EQ(t.tm_mday, 0);
    __time64_t day = 86400 + 3600;
    ASSERT_EQ(_gmtime64_s(&t, &day), 0);
    EXPECT_EQ(t.tm_year, 70);
    EXPECT_EQ(t.tm_mday, 2);
    EXPECT_EQ(t.tm_hour, 1);
}
