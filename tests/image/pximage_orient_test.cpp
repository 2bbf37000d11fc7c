#include <gtest/gtest.h>

#include "image/pximage.h"
#include "image_test_support.h"

using namespace imagetest;

namespace {

// A picture whose every pixel and alpha value differ from their neighbours'.
void Paint(PxImage& image)
{
    const LONG w = image.header.width, h = image.header.height;
    if (PxRgbQuad* palette = image.GetPalette())
        for (DWORD i = 0; i < image.header.clrUsed; ++i) palette[i] = PxRgbQuad{(BYTE)i, (BYTE)(3 * i), (BYTE)(7 * i), 0};
    for (LONG y = 0; y < h; ++y)
        for (LONG x = 0; x < w; ++x) {
            if (image.GetBpp() == 24) image.SetPixelColor(x, y, PxRgbQuad{(BYTE)x, (BYTE)y, (BYTE)(x ^ y), 0});
            else image.SetPixelIndex(x, y, (BYTE)(x * 7 + y * 3));
        }
    image.AlphaCreate();
    for (size_t i = 0; i < (size_t)w * h; ++i) image.alpha[i] = (BYTE)(i * 13);
}

}  // namespace

TEST(Orientation, TurnsAndFlipsUndoThemselves)
{
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        for (auto size : {std::pair<DWORD, DWORD>{3, 2}, {130, 67}, {9, 1}}) {
            SCOPED_TRACE(::testing::Message() << bpp << " bits, " << size.first << "x" << size.second);
            PxImage image(size.first, size.second, bpp, PXIMAGE_FORMAT_TIF);
            Paint(image);
            const Rgba original = ToRgba(image);
            ASSERT_TRUE(image.RotateLeft());
            EXPECT_EQ(image.GetWidth(), size.second);
            EXPECT_EQ(image.GetHeight(), size.first);
            ASSERT_TRUE(image.RotateRight());
            EXPECT_TRUE(SamePicture(original, ToRgba(image)));
            for (int i = 0; i < 4; ++i) ASSERT_TRUE(image.RotateLeft());
            EXPECT_TRUE(SamePicture(original, ToRgba(image)));
            ASSERT_TRUE(image.Flip());
            if (size.second > 1) {
                EXPECT_FALSE(SamePicture(original, ToRgba(image)));
            }
            ASSERT_TRUE(image.Flip());
            ASSERT_TRUE(image.Mirror());
            EXPECT_FALSE(SamePicture(original, ToRgba(image)));
            ASSERT_TRUE(image.Mirror());
            EXPECT_TRUE(SamePicture(original, ToRgba(image)));
        }
    }
}

TEST(Orientation, WhereThePixelsGo)
{
    // 3 × 2, seen from the top: a b c / d e f, with alpha values of their own.
    PxImage image(3, 2, 24, 0);
    const char* seen = "abcdef";
    for (int i = 0; i < 6; ++i) image.SetPixelColor(i % 3, 1 - i / 3, PxRgbQuad{(BYTE)seen[i], 0, 0, 0});
    image.AlphaCreate();
    for (int i = 0; i < 6; ++i) image.alpha[(1 - i / 3) * 3 + i % 3] = (BYTE)seen[i];
    auto picture = [](const PxImage& im) {
        std::string s;
        for (LONG top = 0; top < (LONG)im.GetHeight(); ++top) {
            for (LONG x = 0; x < (LONG)im.GetWidth(); ++x) {
                LONG y = (LONG)im.GetHeight() - 1 - top;
                s += (char)im.GetPixelColor(x, y, false).blue;
                EXPECT_EQ(im.alpha[y * im.GetWidth() + x], (BYTE)s.back());
            }
            s += '/';
        }
        return s;
    };
    image.RotateLeft();  // the top-right corner becomes the top-left
    EXPECT_EQ(picture(image), "cf/be/ad/");
    image.RotateRight();
    image.RotateRight();  // the bottom-left corner becomes the top-left
    EXPECT_EQ(picture(image), "da/eb/fc/");
    image.RotateLeft();
    image.Flip();
    EXPECT_EQ(picture(image), "def/abc/");
    image.Mirror();
    EXPECT_EQ(picture(image), "fed/cba/");

    // Odd height: the middle row stays.
    PxImage three(1, 3, 8, 0);
    three.SetPixelIndex(0, 0, 1);
    three.SetPixelIndex(0, 1, 2);
    three.SetPixelIndex(0, 2, 3);
    three.Flip();
    EXPECT_EQ(three.GetPixelIndex(0, 0), 3);
    EXPECT_EQ(three.GetPixelIndex(0, 1), 2);

    // 1 bit, 9 wide: pixel 0 and pixel 8 change places.
    PxImage bits(9, 1, 1, 0);
    bits.SetPixelIndex(0, 0, 1);
    bits.Mirror();
    EXPECT_EQ(bits.GetPixelIndex(8, 0), 1);
    EXPECT_EQ(bits.GetPixelIndex(0, 0), 0);
}

TEST(Orientation, SettingsSurviveAndEmptyImagesRefuse)
{
    PxImage image(5, 4, 8, PXIMAGE_FORMAT_TIF);
    Paint(image);
    image.SetXDPI(300);
    image.SetYDPI(150);
    image.info.backgroundIndex = 7;
    image.SetCodecOption(5);
    ASSERT_TRUE(image.RotateRight());
    EXPECT_EQ(image.info.xDpi, 300);
    EXPECT_EQ(image.info.yDpi, 150);
    EXPECT_EQ(image.header.xPelsPerMeter, 11811);
    EXPECT_EQ(image.info.backgroundIndex, 7);
    EXPECT_EQ(image.GetCodecOption(PXIMAGE_FORMAT_TIF), 5u);
    EXPECT_EQ(image.GetPaletteColor(9), (PxRgbQuad{9, 27, 63, 0}));
    EXPECT_EQ(image.GetType(), PXIMAGE_FORMAT_TIF);
    EXPECT_EQ(image.info.progress, 100);

    PxImage empty;
    EXPECT_FALSE(empty.Flip());
    EXPECT_FALSE(empty.Mirror());
    EXPECT_FALSE(empty.RotateLeft());
    EXPECT_FALSE(empty.RotateRight());
}
