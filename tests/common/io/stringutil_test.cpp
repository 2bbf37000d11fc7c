#include <gtest/gtest.h>

#include <cfloat>

#include "common/io/stringutil.h"

namespace {
std::vector<CString> Split(const wchar_t* text, const wchar_t* sep, bool keepEmpty)
{
    std::vector<CString> pieces{L"kept"};
    CStringUtil::Split(text, sep, pieces, keepEmpty);
    pieces.erase(pieces.begin());
    return pieces;
}
}  // namespace

TEST(StringUtil, SplitTrimsTrailingBlanksAndKeepsEmptyPiecesOnRequest)
{
    EXPECT_EQ(Split(L"a b  c ", L" ", true), (std::vector<CString>{L"a", L"b", L"", L"c"}));
    EXPECT_EQ(Split(L"a b  c ", L" ", false), (std::vector<CString>{L"a", L"b", L"c"}));
    EXPECT_TRUE(Split(L"   ", L" ", true).empty());
    EXPECT_EQ(Split(L"abc", L" ", true), (std::vector<CString>{L"abc"}));
    EXPECT_EQ(Split(L"abc", L" ", false), (std::vector<CString>{L"abc"}));
    EXPECT_EQ(Split(L"1::2:3", L"::", false), (std::vector<CString>{L"1", L"2:3"}));
    EXPECT_EQ(Split(L"a,b", L"", true), (std::vector<CString>{L"a,b"}));  // empty separator: absent
    EXPECT_EQ(Split(L"a,b", nullptr, true), (std::vector<CString>{L"a,b"}));

    std::vector<CString> pieces{L"x"};
    CStringUtil::Split(L"y", L",", pieces, true);
    EXPECT_EQ(pieces.size(), 2u);  // appended, not cleared
}

TEST(StringUtil, JoinDropsExactlyOneTrailingSeparator)
{
    EXPECT_EQ(CStringUtil::Join({L"a", L"b"}, L","), L"a,b");
    EXPECT_EQ(CStringUtil::Join({L"a", L"b,,"}, L","), L"a,b,,");
    EXPECT_EQ(CStringUtil::Join({L"a", L""}, L", "), L"a, ");
    EXPECT_EQ(CStringUtil::Join({}, L","), L"");
}

TEST(StringUtil, NumbersAndNarrowText)
{
    EXPECT_EQ(CStringUtil::IntToString(-2147483647 - 1), L"-2147483648");
    EXPECT_EQ(CStringUtil::DoubleToString(2.5), L"2.500000");
    CString huge = CStringUtil::DoubleToString(-DBL_MAX);
    EXPECT_EQ(huge.GetLength(), 1 + 309 + 7);
    EXPECT_EQ(CStringUtil::AnsiToCString("\xB9\xA4\xD7\xF7"), L"工作");  // GBK
    EXPECT_EQ(CStringUtil::ToFloat(L"0.1"), 0.1f);
    EXPECT_NE((double)CStringUtil::ToFloat(L"0.1"), 0.1);
    EXPECT_EQ(CStringUtil::ToFloat(L"x"), 0.0f);
}
