#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/basefile.h"
#include "base/textutil.h"

TEST(TextUtil, CharacterSets)
{
    char t[] = "Hello, World 42";
    AsciiToLower(t);
    EXPECT_STREQ(t, "hello, world 42");
    AsciiToUpper(t);
    EXPECT_STREQ(t, "HELLO, WORLD 42");
    EXPECT_STREQ(SkipCharsOf("  \tabc", " \t"), "abc");
    EXPECT_STREQ(SkipCharsOf("aaa", "a"), "");
    EXPECT_EQ(SkipCharsOf(nullptr, "a"), nullptr);
    EXPECT_EQ(HasAnyCharOf("abc", "xc"), 1);
    EXPECT_EQ(HasAnyCharOf("abc", "xyz"), 0);
    EXPECT_EQ(HasAnyCharOf(nullptr, "x"), 0);
    EXPECT_STREQ(FindAnyCharOf("a,b;c", ";,"), ",b;c");
    EXPECT_EQ(CountCharsOf("a.b.c.d", ".", -1), 3);
    EXPECT_EQ(CountCharsOf("a.b.c.d", ".", 4), 2);
    EXPECT_EQ(CountCharsOf("a.b.c.d", ".", 0), 0);
    EXPECT_EQ(OnlyCharsOf("1.2.3", "0123456789."), 1);
    EXPECT_EQ(OnlyCharsOf("", "0"), 1);
    EXPECT_EQ(OnlyCharsOf("1a", "0123456789"), 0);
    char r[] = "a-b_c";
    ReplaceCharsOf(r, "-_", ' ');
    EXPECT_STREQ(r, "a b c");
    char s[] = "a-b_c";
    EXPECT_STREQ(RemoveCharsOf(s, "-_"), "abc");

    struct { const char* in; const char* out; } trims[] = {
        {"  a b \r\n", "a b"}, {"\t\t", ""}, {"", ""}, {"x", "x"}, {"\n x\t", "x"}};
    for (const auto& c : trims) {
        char buf[32];
        strcpy(buf, c.in);
        TrimText(buf);
        EXPECT_STREQ(buf, c.out);
    }
    EXPECT_EQ(CountLines(""), 0);
    EXPECT_EQ(CountLines("a"), 1);
    EXPECT_EQ(CountLines("a\nb\n"), 3);
    char crlf[8] = "ab";
    AppendCrLf(crlf);
    EXPECT_STREQ(crlf, "ab\r\n");
}

TEST(TextUtil, ComparisonsAndSearches)
{
    EXPECT_EQ(StartsWithNoCase("Hello", "hEL"), 0);
    EXPECT_EQ(StartsWithNoCase("He", "hello"), -1);
    EXPECT_EQ(EndsWithText("file.txt", ".txt"), 0);
    EXPECT_EQ(EndsWithText("file.txt", ".TXT"), -1);
    EXPECT_EQ(EndsWithText("t", "longer"), -1);
    EXPECT_EQ(EndsWithNoCase("FILE.TXT", ".txt"), 0);
    EXPECT_NE(EndsWithNoCase("file.doc", ".txt"), 0);
    // a suffix longer than the text, or none, is no match and reads nothing before the text
    EXPECT_EQ(EndsWithNoCase("x", "a much longer suffix"), -1);
    EXPECT_EQ(EndsWithNoCase("x", nullptr), -1);
    EXPECT_EQ(CompareNoCase("abc", "ABC"), 0);
    EXPECT_LT(CompareNoCase("abc", "abd"), 0);
    const char* same = "x";
    EXPECT_EQ(CompareNoCaseN(same, same, 5), 0);
    EXPECT_EQ(CompareNoCaseN(nullptr, "a", 1), -1);
    EXPECT_EQ(CompareNoCaseN("a", nullptr, 1), 1);
    EXPECT_EQ(CompareNoCaseN("abcX", "ABCy", 3), 0);

    const char* hay = "one Two tWo";
    EXPECT_EQ(FindTextNoCase(hay, "two"), hay + 4);
    EXPECT_EQ(FindTextNoCaseB(hay, "TWO"), hay + 4);
    const char* aab = "aab";
    EXPECT_EQ(FindTextNoCase(aab, "AB"), aab + 1);  // restarts one character after a failed start
    EXPECT_STREQ(FindTextNoCase("aaab", "AAB"), "aab");
    EXPECT_EQ(FindTextNoCase(hay, "three"), nullptr);
    EXPECT_EQ(FindTextNoCaseB(hay, ""), hay);
    const char* dots = "a.b.c";
    EXPECT_EQ(FindLastText(dots, "."), dots + 3);
    EXPECT_EQ(FindLastText("abc", "x"), nullptr);

    struct { const char* text; const char* pattern; int want; } wild[] = {
        {"ABC.TXT", "*.txt", 1}, {"abc", "a?c", 1}, {"abcabd", "*a?d", 0}, {"abc", "abc", 1},
        {"abcd", "abc", 0},      {"abc", "abcd", 0}, {"abc", "a*", 1},     {"", "*", 1},
        {"x.tar.gz", "*.gz", 1}, {"ab", "a?c", 0},   {"abc", "*?c", 1},
    };
    for (const auto& w : wild) EXPECT_EQ(WildcardMatchNoCase(w.text, w.pattern), w.want) << w.pattern;
    // Only A-Z and a-z fold: Latin-1 and UTF-8 letters compare as bytes.
    EXPECT_NE(CompareNoCase("\xC4", "\xE4"), 0);  // Ä and ä in Latin-1
    EXPECT_NE(CompareNoCase("\xC3\x84", "\xC3\xA4"), 0);  // Ä and ä in UTF-8
    EXPECT_EQ(CompareNoCase("Straße", "STRAßE"), 0);
    EXPECT_EQ(WildcardMatchNoCase("\xC3\x84" "B", "\xC3\xA4*"), 0);
    char upper[] = "ab\xC3\xA4";
    AsciiToUpper(upper);
    EXPECT_STREQ(upper, "AB\xC3\xA4");
    // a piece behind "*" longer than any fixed buffer is matched whole
    const std::string piece(300, 'q');
    EXPECT_EQ(WildcardMatchNoCase(("z" + piece).c_str(), ("*" + piece).c_str()), 1);
    EXPECT_EQ(WildcardMatchNoCase(("z" + piece).c_str(), ("*" + piece + "r").c_str()), 0);

    EXPECT_TRUE(SameFormatSpecs("%d of %s", "%d von %s"));
    EXPECT_TRUE(SameFormatSpecs("100%% %5.2f", "%5.2f"));
    EXPECT_FALSE(SameFormatSpecs("%d %s", "%s %d"));
    EXPECT_FALSE(SameFormatSpecs("%d", "%d %d"));
    EXPECT_FALSE(SameFormatSpecs("%5d", "%6d"));
}

TEST(TextUtil, BoundedEdits)
{
    char buf[8];
    memset(buf, 'x', sizeof buf);
    SafeTextCopy(buf, "abcdefghij", 5);
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(buf[5], 'x');  // nothing beyond size
    SafeTextCopy(buf, "zz", 0);
    EXPECT_STREQ(buf, "abcd");
    char app[8] = "ab";
    SafeTextAppend(app, "cdefghij", 6);
    EXPECT_STREQ(app, "abcde");
    SafeTextAppend(app, "x", 5);  // already full
    EXPECT_STREQ(app, "abcde");

    char* dup = DupTextPadded("hello", 0);
    ASSERT_NE(dup, nullptr);
    EXPECT_STREQ(dup, "hello");
    for (int i = 5; i < 15; ++i) EXPECT_EQ(dup[i], 0);
    MemFree(dup);
    EXPECT_EQ(DupTextPadded(nullptr, 4), nullptr);

    char left[32], right[32];
    SplitAtText("key = value = x", left, right, " = ");
    EXPECT_STREQ(left, "key");
    EXPECT_STREQ(right, "value = x");
    SplitAtText("novalue", left, right, "=");
    EXPECT_STREQ(left, "novalue");
    EXPECT_STREQ(right, "");

    char line[4];
    const char* text = "first line\r\nsecond\r\n";
    const char* next = ReadCrLfLine(text, line, 3);
    EXPECT_STREQ(line, "fir");
    EXPECT_STREQ(next, "second\r\n");
    EXPECT_EQ(ReadCrLfLine("no end", line, 3), nullptr);

    char rep[32] = "a-b-c-d";
    ReplaceAllText(rep, "-", "+", 2, 0);
    EXPECT_STREQ(rep, "a+b+c-d");
    ReplaceAllText(rep, "+", "", 0, 0);
    EXPECT_STREQ(rep, "abc-d");
    ReplaceAllText(rep, "c", "CCC", 0, 0);  // growing, no capacity: nothing
    EXPECT_STREQ(rep, "abc-d");
    char grow[12] = "x.x.x.x";
    ReplaceAllText(grow, ".", "..", 0, 10);  // 8, 9, 10 with the terminator; the fourth would need 11
    EXPECT_STREQ(grow, "x..x..x.x");
    char again[16] = "aaa";
    ReplaceAllText(again, "a", "aa", 0, 16);  // replaced text is not searched again
    EXPECT_STREQ(again, "aaaaaa");
    ReplaceAllText(again, "", "x", 0, 16);
    EXPECT_STREQ(again, "aaaaaa");

    char spans[32] = "a<b>c<d>e<f";
    RemoveSpans(spans, "<", ">");
    EXPECT_STREQ(spans, "ace<f");

    char kv[32] = "k=old\r\nnext=1";
    ReplaceLineValue(kv + 2, "longer");
    EXPECT_STREQ(kv, "k=longer\r\nnext=1");
    ReplaceLineValue(kv + 12, "22");
    EXPECT_STREQ(kv, "k=longer\r\nne22");
    char lf[32] = "a=1\nb=2";
    ReplaceLineValue(lf + 2, "");
    EXPECT_STREQ(lf, "a=\nb=2");
}
