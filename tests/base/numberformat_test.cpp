#include <gtest/gtest.h>

#include <cstring>

#include "base/numberformat.h"

TEST(NumberFormat, NumberSizeDistanceAndBitTexts)
{
    struct { int64_t v; const char* text; } thousands[] = {
        {123456, "123,456"}, {12, "12"}, {-1234, "-1,234"}, {1234567, "1,234,567"}, {0, "0"},
        {INT64_MIN, "-9,223,372,036,854,775,808"}};
    char out[64];
    for (const auto& c : thousands) {
        FormatThousands(c.v, out);
        EXPECT_STREQ(out, c.text);
    }
    struct { int64_t v; const char* text; } sizes[] = {
        {1023, "1023 B"}, {1536, "1.5 K"}, {1048576, "1.0 M"}, {3 * 1073741824LL / 2, "1.5 G"}};
    for (const auto& c : sizes) {
        EXPECT_EQ(SizeText(c.v, out), (int32_t)strlen(c.text));
        EXPECT_STREQ(out, c.text);
    }
    EXPECT_EQ(DistanceText(999, out), 6);
    EXPECT_STREQ(out, "999\xE7\xB1\xB3");
    DistanceText(1250, out);
    EXPECT_STREQ(out, "1.2\xE5\x85\xAC\xE9\x87\x8C");

    struct { uint32_t v; int32_t width; int32_t lsb; const char* text; } bits[] = {
        {5, 0, 0, "101"}, {6, 0, 1, "011"}, {0, 0, 0, "0"}, {5, 8, 0, "00000101"},
        {0x80000001u, 32, 0, "10000000000000000000000000000001"}, {3, 40, 1, "11000000000000000000000000000000"}};
    for (const auto& b : bits) EXPECT_STREQ(BitsToText(b.v, b.width, b.lsb, out), b.text);
    EXPECT_EQ(ByteSwap32B(0x11223344u), 0x44332211u);
}
