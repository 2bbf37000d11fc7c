#include <gtest/gtest.h>

#include <cstring>

#include "image/pximage.h"

TEST(PxImageCreate, DepthsPalettesAndRows)
{
    PxImage image;
    EXPECT_EQ(image.Create(0, 10, 24, 1), nullptr);
    EXPECT_STREQ(image.GetLastErrorText(), "PxImage::Create : width and height must be greater than zero");

    struct Case {
        DWORD bpp, expectedBpp, colours;
    } cases[] = {{0, 1, 2}, {1, 1, 2}, {2, 4, 16}, {3, 4, 16}, {5, 8, 256}, {8, 8, 256}, {16, 24, 0}, {32, 24, 0}};
    for (const Case& c : cases) {
        ASSERT_NE(image.Create(3, 2, c.bpp, 4), nullptr) << c.bpp;
        EXPECT_EQ(image.GetBpp(), c.expectedBpp);
        EXPECT_EQ(image.GetNumColors(), c.colours);
        EXPECT_EQ(image.info.bits, image.dib + 40 + 4 * c.colours);
        EXPECT_EQ(memcmp(image.dib, &image.header, 40), 0);
    }
    image.Create(3, 1, 24, 4);
    EXPECT_EQ(image.GetEffWidth(), 12u);
    image.Create(33, 1, 1, 4);
    EXPECT_EQ(image.GetEffWidth(), 8u);
    EXPECT_EQ(image.header.sizeImage, 8u);
}

// Sizes are computed so that nothing wraps: too large is refused, never
// allocated small.
TEST(PxImageCreate, MemoryLimit)
{
    struct Case {
        DWORD width, height, bpp;
    } cases[] = {{65536, 65536, 24}, {1u << 20, 1u << 20, 1}, {179000000, 12, 24}, {0xFFFFFFFF, 1, 24},
                 {0xFFFFFFFF, 0xFFFFFFFF, 1}, {0x80000000u, 1, 1}};
    for (const Case& c : cases) {
        PxImage image;
        EXPECT_EQ(image.Create(c.width, c.height, c.bpp, 4), nullptr) << c.width << "x" << c.height;
        EXPECT_STREQ(image.GetLastErrorText(), "PXIMAGE_MAX_MEMORY exceeded");
        EXPECT_EQ(image.dib, nullptr);
    }
}

TEST(PxImageCreate, PixelAreaStartsZeroed)
{
    for (int round = 0; round < 4; ++round) {
        PxImage image(31, 17, 24, 4);
        for (DWORD i = 0; i < image.header.sizeImage; ++i) ASSERT_EQ(image.info.bits[i], 0);
        memset(image.info.bits, 0xAB, image.header.sizeImage);  // reused by the next round's allocation
    }
}

TEST(PxImageSettings, ResolutionAndCodecOptions)
{
    PxImage image(2, 2, 8, 4);
    EXPECT_EQ(image.info.xDpi, 96);
    EXPECT_EQ(image.header.xPelsPerMeter, 3780);
    image.SetXDPI(300);
    EXPECT_EQ(image.header.xPelsPerMeter, 11811);
    EXPECT_EQ(((PxBitmapInfoHeader*)image.dib)->xPelsPerMeter, 11811);
    image.SetXDPI(0);
    EXPECT_EQ(image.info.xDpi, 96);
    image.SetYDPI(-5);
    EXPECT_EQ(image.info.yDpi, 96);

    image.SetCodecOption(1);
    EXPECT_EQ(image.GetCodecOption(PXIMAGE_FORMAT_PNG), 1u);
    EXPECT_EQ(image.GetCodecOption(PXIMAGE_FORMAT_TIF), 0u);
    PxImage tif(PXIMAGE_FORMAT_TIF);
    tif.SetCodecOption(7);
    EXPECT_EQ(tif.info.codecOptions[5], 7u);
    PxImage unknown(5);
    unknown.SetCodecOption(9);
    EXPECT_EQ(unknown.info.codecOptions[0], 9u);

    EXPECT_TRUE(image.SelectionDelete());
    EXPECT_EQ(image.info.selectionBox.left, 2);
    EXPECT_EQ(image.info.selectionBox.bottom, 2);
    EXPECT_EQ(image.info.selectionBox.right, 0);
}

// Ownership moves and views: the sanitizers catch a double free or a leak.
TEST(PxImageOwnership, TransferMovesEverything)
{
    PxImage* source = new PxImage(4, 3, 24, 4);
    source->AlphaCreate();
    source->info.backgroundIndex = 3;
    BYTE* dib = source->dib;
    PxImage target;
    ASSERT_TRUE(target.Transfer(*source));
    EXPECT_EQ(target.dib, dib);
    EXPECT_NE(target.alpha, nullptr);
    EXPECT_EQ(target.info.backgroundIndex, 3);
    EXPECT_EQ(source->dib, nullptr);
    EXPECT_EQ(source->alpha, nullptr);
    EXPECT_EQ(source->GetHeight(), 0u);
    delete source;
    EXPECT_EQ(target.GetWidth(), 4u);
}

TEST(PxImageOwnership, SharedViewsFreeNothing)
{
    PxImage owner(4, 3, 8, 4);
    owner.AlphaCreate();
    {
        PxImage view;
        view.ShareFrom(&owner);
        EXPECT_EQ(view.dib, owner.dib);
        EXPECT_EQ(view.info.owner, &owner);
        EXPECT_FALSE(view.Destroy());
        EXPECT_FALSE(view.DestroyFrames());
        EXPECT_EQ(view.Create(2, 2, 8, 4), nullptr);
        PxImage other(1, 1, 8, 4);
        EXPECT_FALSE(view.Transfer(other));

        // A copy of a view is a view.
        PxImage copy(view);
        EXPECT_EQ(copy.info.owner, &view);
        EXPECT_EQ(copy.dib, owner.dib);
    }
    owner.info.bits[0] = 7;  // still owned and alive
    EXPECT_EQ(owner.GetPixelIndex(0, 0), 7);
}

TEST(PxImageOwnership, CopyAndCopyInfo)
{
    PxImage source(5, 4, 8, 4);
    source.SetPaletteColor(3, PxRgbQuad{1, 2, 3, 4});
    source.SetPixelIndex(4, 3, 3);
    source.AlphaCreate();
    source.alpha[2] = 9;
    source.info.escape = -1;

    PxImage full(source);
    EXPECT_NE(full.dib, source.dib);
    EXPECT_EQ(full.info.owner, nullptr);
    EXPECT_EQ(full.GetPixelIndex(4, 3), 3);
    EXPECT_EQ(full.alpha[2], 9);
    EXPECT_EQ(full.info.escape, -1);

    PxImage paletteOnly(source, false, false, false);
    EXPECT_EQ(paletteOnly.GetPaletteColor(3), (PxRgbQuad{1, 2, 3, 4}));
    EXPECT_EQ(paletteOnly.GetPixelIndex(4, 3), 0);
    EXPECT_EQ(paletteOnly.alpha, nullptr);
    PxImage rgb(3, 3, 24, 4);
    rgb.SetPixelColor(1, 1, PxRgbQuad{9, 9, 9, 0});
    PxImage blank(rgb, false);
    EXPECT_EQ(blank.GetBpp(), 24u);
    EXPECT_EQ(blank.GetPixelColor(1, 1, false), (PxRgbQuad{0, 0, 0, 0}));

    // A fresh codec object takes the caller's settings, never its buffers,
    // even from a view.
    PxImage view;
    view.ShareFrom(&source);
    PxImage codec(4);
    codec.CopyInfo(view);
    EXPECT_EQ(codec.info.escape, -1);
    EXPECT_EQ(codec.info.owner, nullptr);
    EXPECT_EQ(codec.info.bits, nullptr);
    EXPECT_NE(codec.Create(2, 2, 8, 4), nullptr);
    // An image with pixels keeps its own settings.
    full.info.escape = 0;
    full.CopyInfo(source);
    EXPECT_EQ(full.info.escape, 0);
}

TEST(PxImagePalette, GreyPalettesAndNearestColour)
{
    PxImage four(4, 4, 4, 4);
    four.SetGrayPalette();
    EXPECT_EQ(four.GetPaletteColor(1).red, 17);
    EXPECT_EQ(four.GetPaletteColor(15).blue, 255);
    EXPECT_FALSE(four.IsGrayScale());
    EXPECT_TRUE(four.IsGrayRamp());
    PxImage eight(2, 2, 8, 4);
    eight.SetGrayPalette();
    EXPECT_TRUE(eight.IsGrayScale());
    EXPECT_TRUE(eight.IsGrayRamp());
    eight.SetPaletteColor(200, PxRgbQuad{200, 200, 201, 0});
    EXPECT_FALSE(eight.IsGrayScale());

    PxImage bw(2, 2, 1, 4);
    bw.SetGrayPalette();
    EXPECT_EQ(bw.GetNearestIndex(PxRgbQuad{0, 0, 255, 0}), 0);  // red is nearer black
    EXPECT_EQ(bw.GetNearestIndex(PxRgbQuad{200, 200, 200, 0}), 1);
    eight.SetPaletteColor(9, PxRgbQuad{5, 5, 5, 0});
    EXPECT_EQ(eight.GetNearestIndex(PxRgbQuad{5, 5, 5, 0}), 5);  // ties keep the lower index
    // The cache follows palette changes.
    eight.SetPaletteColor(5, PxRgbQuad{6, 6, 6, 0});
    EXPECT_EQ(eight.GetNearestIndex(PxRgbQuad{5, 5, 5, 0}), 9);
    eight.SetClrImportant(4);
    EXPECT_EQ(eight.GetNearestIndex(PxRgbQuad{200, 200, 200, 0}), 3);

    eight.SetClrImportant(300);
    EXPECT_EQ(eight.header.clrImportant, 0u);
    bw.SetClrImportant(5);
    EXPECT_EQ(bw.header.clrImportant, 2u);
    four.SetClrImportant(40);
    EXPECT_EQ(four.header.clrImportant, 16u);

    BYTE red[2] = {10, 20};
    bw.SetPalette(2, red, nullptr, nullptr);
    EXPECT_EQ(bw.GetPaletteColor(1), (PxRgbQuad{20, 20, 20, 0}));
    bw.SetTransparentIndex(7);
    EXPECT_EQ(bw.info.backgroundIndex, 0);
    bw.SetTransparentIndex(-1);
    EXPECT_EQ(bw.info.backgroundIndex, -1);
}

TEST(PxImagePixels, IndicesAndColours)
{
    PxImage eight(4, 3, 8, 4);
    eight.info.bits[0] = 42;
    eight.info.backgroundIndex = 5;
    EXPECT_EQ(eight.GetPixelIndex(-1, 0), 5);
    eight.info.backgroundIndex = -1;
    EXPECT_EQ(eight.GetPixelIndex(-1, 0), 42);

    PxImage four(3, 1, 4, 4);
    four.info.bits[0] = 0x0A;
    four.SetPixelIndex(0, 0, 0x1F);
    EXPECT_EQ(four.info.bits[0], 0xFA);
    four.SetPixelIndex(1, 0, 3);
    EXPECT_EQ(four.info.bits[0], 0xF3);

    // Swapping 0 and 1 of a black-and-white image inverts every pixel and
    // exchanges the colours: the picture looks the same.
    PxImage bw(9, 2, 1, 4);
    bw.SetGrayPalette();
    bw.SetPixelIndex(8, 1, 1);
    PxRgbQuad before = bw.GetPixelColor(8, 1), beforeBlack = bw.GetPixelColor(3, 0);
    bw.SwapIndex(0, 1);
    EXPECT_EQ(bw.GetPixelIndex(8, 1), 0);
    EXPECT_EQ(bw.GetPixelIndex(3, 0), 1);
    EXPECT_EQ(bw.GetPixelColor(8, 1), before);
    EXPECT_EQ(bw.GetPixelColor(3, 0), beforeBlack);

    PxImage rgb(2, 2, 24, 4);
    rgb.SetPixelColor(1, 1, PxRgbQuad{1, 2, 3, 99});
    rgb.info.backgroundColor.reserved = 77;
    EXPECT_EQ(rgb.GetPixelColor(1, 1), (PxRgbQuad{1, 2, 3, 77}));
    rgb.AlphaCreate();
    rgb.alpha[3] = 8;
    EXPECT_EQ(rgb.GetPixelColor(1, 1).reserved, 8);
    EXPECT_EQ(rgb.GetPixelColor(1, 1, false).reserved, 77);
    EXPECT_EQ(rgb.GetPixelColor(5, 5), rgb.GetPixelColor(0, 0));  // outside: pixel (0, 0)

    BYTE row[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    rgb.RgbToBgr(row, 8);  // two pixels wide: 6 bytes at most
    EXPECT_EQ(memcmp(row, "\x03\x02\x01\x06\x05\x04\x07\x08", 8), 0);

    four.Clear(3);
    EXPECT_EQ(four.info.bits[0], 0x33);
    bw.Clear(1);
    EXPECT_EQ(bw.info.bits[0], 0xFF);

    PxImage grey(4, 3, 8, 4);
    grey.SetGrayPalette();
    grey.SetPixelIndex(2, 1, 123);
    eight.AlphaFromGrey(grey);
    ASSERT_NE(eight.alpha, nullptr);
    EXPECT_EQ(eight.alpha[1 * 4 + 2], 123);
    PxImage packed(4, 3, 1, 4);
    packed.SetPaletteColor(1, PxRgbQuad{1, 1, 1, 0});
    four.AlphaFromGrey(packed);  // rows of a packed image are shorter than the width
    EXPECT_EQ(four.alpha, nullptr);
}

TEST(ImageRowCursor, WalksTheRowsFromTheTop)
{
    PxImage image(3, 3, 8, 4);
    ImageRowCursor cursor(image);
    EXPECT_EQ(cursor.row, image.info.bits);
    cursor.MoveToTop();
    EXPECT_EQ(cursor.y, 2);
    BYTE pixels[] = {7, 8, 9, 10, 11};
    cursor.CopyRow(pixels, 2);
    cursor.StepDown();
    cursor.CopyRow(pixels, -1);  // the whole padded row
    EXPECT_EQ(image.GetPixelIndex(1, 2), 8);
    EXPECT_EQ(image.GetPixelIndex(2, 2), 0);
    EXPECT_EQ(image.GetPixelIndex(2, 1), 9);
    EXPECT_EQ(image.info.bits[image.GetEffWidth() + 3], 10);
    cursor.MoveToRow(7);
    EXPECT_EQ(cursor.y, 1);
    cursor.StepDown();
    cursor.StepDown();
    EXPECT_FALSE(cursor.IsInside());
    EXPECT_EQ(cursor.row, image.info.bits);
}
