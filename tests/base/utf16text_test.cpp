#include <gtest/gtest.h>

#include "base/utf16text.h"

TEST(Utf16Text, RoundTripsBmpAndSupplementaryCharacters)
{
    const std::wstring text = L"CAD工作空间 \U0001F600 end";
    std::u16string u = Utf16FromWide(text);
    // the emoji takes a surrogate pair, every other character one unit
    EXPECT_EQ(u.size(), text.size() + 1);
    EXPECT_EQ(WideFromUtf16(u.data(), u.size()), text);
}

TEST(Utf16Text, UnpairedSurrogatesBecomeReplacement)
{
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00};
    EXPECT_EQ(WideFromUtf16(lone, 4), L"a\xFFFD" L"b\xFFFD");
}

TEST(Utf16Text, FieldsAreLittleEndianZeroFilledAndNeverCutAPair)
{
    unsigned char field[8];
    memset(field, 0xAA, sizeof field);
    EXPECT_EQ(PutUtf16Field(field, 3, L"AB\U0001F600"), 2u);  // the pair does not fit in 3 units
    const unsigned char want[8] = {'A', 0, 'B', 0, 0, 0, 0xAA, 0xAA};
    EXPECT_EQ(memcmp(field, want, 8), 0);
    EXPECT_EQ(GetUtf16Field(field, 4), L"AB");

    PutUtf16Field(field, 4, L"\u5DE5");
    EXPECT_EQ(field[0], 0xE5);
    EXPECT_EQ(field[1], 0x5D);
}
