#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "base/numtext.h"

TEST(NumberText, ParseUInt64EdgeCases)
{
    struct Case {
        const char* text;
        uint64_t value;
    } cases[] = {
        {"0x1F", 31},
        {"0XfF", 255},
        {"0xFFFFFFFFFFFFFFFF", UINT64_MAX},
        {"0x123456789abcdef012", 0x123456789abcdef0ull},  // stops after 16 digits
        {"18446744073709551616", 0},                      // 2^64 wraps
        {"18446744073709551615", UINT64_MAX},
        {" 12", 0},
        {"-5", 0},
        {"0x", 0},
        {"0xg", 0},
        {"123abc", 123},
        {"", 0},
        {"12\xB9", 12},
        {"000000000000000000000009", 0},  // only 23 characters are read
    };
    for (const Case& c : cases) EXPECT_EQ(ParseUInt64(c.text), c.value) << c.text;
    EXPECT_EQ(ParseUInt32("4294967297"), 1u);
    EXPECT_EQ(ParseUInt32("12345678901"), 1234567890u);
    EXPECT_EQ(ParseInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(Abs64(-5), 5);
    EXPECT_EQ(Abs64(INT64_MIN), INT64_MIN);
}

TEST(NumberText, IntegersToTextInEveryRadix)
{
    char buf[70];
    EXPECT_STREQ(Int64ToText(0, buf, 2), "0");
    EXPECT_STREQ(Int64ToText(-42, buf, 10), "-42");
    EXPECT_STREQ(Int64ToText(255, buf, 16), "ff");
    EXPECT_STREQ(Int64ToText(35, buf, 36), "z");
    EXPECT_STREQ(Int64ToText(-1, buf, 16), "ffffffffffffffff");
    EXPECT_STREQ(Int64ToText(INT64_MIN, buf, 10), "-9223372036854775808");
    EXPECT_STREQ(Int64ToText(-1, buf, 2), std::string(64, '1').c_str());
    for (int radix = 2; radix <= 36; ++radix) {
        Int64ToText(123456789, buf, radix);
        EXPECT_EQ(std::stoll(buf, nullptr, radix), 123456789) << radix;
    }
    strcpy(buf, "keep");
    EXPECT_EQ(Int64ToText(5, buf, 1), nullptr);
    EXPECT_EQ(Int64ToText(5, buf, 37), nullptr);
    EXPECT_STREQ(buf, "keep");
    EXPECT_STREQ(Int32ToText(-1, buf, 16), "ffffffff");
    EXPECT_STREQ(Int32ToText(INT32_MIN, buf, 10), "-2147483648");
    EXPECT_EQ(ByteSwap32(0x11223344u), 0x44332211u);
    EXPECT_EQ(ByteSwap64(0x1122334455667788ull), 0x8877665544332211ull);
}

TEST(NumberText, SnapDoubleToInt)
{
    EXPECT_EQ(SnapDoubleToInt(2.9999999), 3);
    EXPECT_EQ(SnapDoubleToInt(-2.9999999), -3);
    EXPECT_EQ(SnapDoubleToInt(2.5), 2);
    EXPECT_EQ(SnapDoubleToInt(-2.5), -2);
    EXPECT_EQ(DoubleToInt(7.0000001), 7);
    EXPECT_EQ(SnapDoubleToInt(1e20), INT32_MAX);
    EXPECT_EQ(SnapDoubleToInt(-1e20), INT32_MIN);
    EXPECT_EQ(SnapDoubleToInt(NAN), 0);
    EXPECT_EQ(SnapDoubleToInt(INFINITY), INT32_MAX);
}

TEST(Utf8Rules, CutInvalidKeepsWholeCharactersOnly)
{
    struct Case {
        const char* text;
        int32_t kept;
    } cases[] = {
        {"abc", 3},
        {"\xE5\x9B\xBE", 3},
        {"ab\xE5\x9B", 2},               // three-byte character cut after two bytes
        {"ab\xF0\x9F\x98\x80", 2},       // four-byte character: cut at its lead
        {"a\x80\xE5\x9B\xBE", 1},        // early stray continuation
        {"\xC3\xA9x\xC3", 3},
        {"", 0},
    };
    for (const Case& c : cases) {
        std::string s = c.text;
        EXPECT_EQ(Utf8CutInvalid(&s[0]), c.kept) << c.text;
        EXPECT_EQ(strlen(s.c_str()), (size_t)c.kept);
        EXPECT_EQ(s.substr(0, c.kept), std::string(c.text).substr(0, c.kept));
    }
    EXPECT_EQ(Utf8CutInvalid(nullptr), 0);
}

TEST(Utf8Rules, WalkCountAndBlank)
{
    const char* text = "a图\xC3\xA9z";  // 1 + 3 + 2 + 1 bytes
    EXPECT_EQ(Utf8SkipChars(text, 2), text + 4);
    EXPECT_EQ(Utf8SkipChars(text, 99), text + 7);
    EXPECT_EQ(Utf8SkipChars("a\xFF", 2), nullptr);
    EXPECT_EQ(Utf8BackChars(text, 2), text + 4);
    EXPECT_EQ(Utf8BackChars(text, 3), text + 1);
    EXPECT_EQ(Utf8BackChars(text, 9), text);
    EXPECT_EQ(Utf8BackChars("a\x9B\xBE", 1), nullptr);
    EXPECT_TRUE(Utf8IsValid(text));
    EXPECT_FALSE(Utf8IsValid("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(Utf8IsValid(nullptr));
    EXPECT_EQ(Utf8CountWidth(text), 6);
    EXPECT_EQ(Utf8CountWidth("ab\x80zz"), 2);
    EXPECT_EQ(WideCountWidth(L"a图\U0001F600"), 1 + 2 + 4);
    EXPECT_EQ(WideCountUnits(L"a图\U0001F600"), 4);

    char bad[] = "a\x80\xE5\x9B" "x\xC3" "b";
    EXPECT_EQ(Utf8BlankInvalid(bad), 0);
    EXPECT_STREQ(bad, "a   x b");
}

TEST(Utf8Rules, DecodeAndEncodeWideText)
{
    const wchar_t* wide = L"Aé图€";
    char utf8[32];
    EXPECT_EQ(WideEncodeToUtf8(wide, utf8, sizeof utf8), 1 + 2 + 3 + 3);
    int32_t count = -1;
    wchar_t back[32];
    EXPECT_STREQ(Utf8DecodeToWide(utf8, back, &count), wide);
    EXPECT_EQ(count, 4);

    // A character is written only while it and the terminator fit: 1, 2 and
    // 3 bytes need 2, 3 and 4 bytes of room.
    const int32_t written[11] = {0, 0, 1, 1, 3, 3, 3, 6, 6, 6, 9};
    for (int cap = 1; cap <= 10; ++cap) {
        char small[10];
        memset(small, 'x', sizeof small);
        int32_t n = WideEncodeToUtf8(wide, small, cap);
        EXPECT_EQ(n, written[cap]) << cap;
        EXPECT_EQ(small[n], 0);
        EXPECT_EQ(std::string(small), std::string(utf8, (size_t)n));
    }
    // a character beyond U+FFFF is written as its two surrogate units
    EXPECT_EQ(WideEncodeToUtf8(L"\U0001F600", utf8, sizeof utf8), 6);
    EXPECT_EQ(std::string(utf8), "\xED\xA0\xBD\xED\xB8\x80");

    // four-byte sequences are skipped; a cut sequence at the end stops the walk
    wchar_t* decoded = Utf8DecodeToWide("a\xF0\x9F\x98\x80" "b\xE5\x9B", nullptr, &count);
    EXPECT_STREQ(decoded, L"ab");
    EXPECT_EQ(count, 2);
    free(decoded);
    // an overlong form is decoded as it stands: C0 80 is a NUL that ends the text
    decoded = Utf8DecodeToWide("a\xC0\x80" "b", nullptr, &count);
    EXPECT_STREQ(decoded, L"a");
    EXPECT_EQ(decoded[1], L'\0');
    free(decoded);
    decoded = Utf8DecodeToWide("\xC1\x81", nullptr, &count);  // A in two bytes
    EXPECT_STREQ(decoded, L"A");
    free(decoded);
    // a long lead near the end never skips past the terminator
    decoded = Utf8DecodeToWide("a\xFC", nullptr, &count);
    EXPECT_STREQ(decoded, L"a");
    free(decoded);

    char* swapped = WideToUtf8Alloc(L"\x4100\xFE56", 1);  // "A" and 图 (U+56FE) byte-swapped
    EXPECT_STREQ(swapped, "A图");
    free(swapped);
}

TEST(CodePage936, RoundTripsThroughAnsi)
{
    const char* gbk = "\xB5\xD8\xCD\xBC abc";  // 地图 abc
    wchar_t* wide = AnsiToWideNew(gbk);
    EXPECT_STREQ(wide, L"地图 abc");
    char ansi[32];
    EXPECT_EQ(WideToAnsi(wide, ansi, sizeof ansi), 9);
    EXPECT_STREQ(ansi, gbk);
    EXPECT_EQ(WideToAnsi(wide, ansi, 4), 0);
    delete[] wide;

    char utf8[32];
    EXPECT_EQ(AnsiToUtf8(utf8, gbk), 10);
    EXPECT_STREQ(utf8, "地图 abc");
    EXPECT_EQ(Utf8ToAnsi(utf8, ansi, sizeof ansi), 8);
    EXPECT_STREQ(ansi, gbk);
    EXPECT_EQ(Utf8ToAnsi("\U0001F600x", ansi, sizeof ansi), 2);  // unmappable: the default character
    EXPECT_STREQ(ansi, "?x");
    EXPECT_EQ(Utf8ToAnsi(utf8, ansi, 3), 0);  // a text that does not fit gives nothing
    EXPECT_STREQ(ansi, "");
    wide = AnsiToWideNew("");
    EXPECT_STREQ(wide, L"");
    delete[] wide;
}
