#include <gtest/gtest.h>

#include <cstring>

#include "codec_test_support.h"
#include "image/pximage_bmp.h"

using namespace imagetest;

namespace {

std::string Le16(unsigned v) { return std::string{(char)(v & 0xFF), (char)(v >> 8)}; }
std::string Le32(unsigned v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

// A bitmap file with a 40-byte info header.
std::string Bitmap(int width, int height, int bpp, unsigned compression, const std::string& palette,
                   const std::string& pixels, const std::string& masks = "")
{
    std::string info = Le32(40) + Le32((unsigned)width) + Le32((unsigned)height) + Le16(1) + Le16((unsigned)bpp) +
                       Le32(compression) + Le32((unsigned)pixels.size()) + Le32(2835) + Le32(2835) +
                       Le32((unsigned)palette.size() / 4) + Le32(0);
    unsigned offset = (unsigned)(14 + info.size() + masks.size() + palette.size());
    return "BM" + Le32(offset + (unsigned)pixels.size()) + Le32(0) + Le32(offset) + info + masks + palette + pixels;
}

}  // namespace

// Every depth and header kind, read against ImageMagick's decoding.
TEST(BmpDecode, MatchesImageMagick)
{
    struct Case {
        const char* file;
        const char* expected;
        DWORD bpp;
        bool alpha;
    } cases[] = {
        {"b1.bmp", "b1", 1, false},         {"b4.bmp", "b4", 4, false},       {"b8.bmp", "b8", 8, false},
        {"b24.bmp", "b24", 24, false},      {"b24core.bmp", "b24core", 24, false},
        {"b8core.bmp", "b8core", 8, false}, {"b8rle.bmp", "b8rle", 8, false}, {"b4rle.bmp", "b4", 4, false},
        {"b32v5.bmp", "b32v5", 24, true},   {"b16565.bmp", "b16565", 24, false},
        {"b16555.bmp", "b16555", 24, false}, {"b24top.bmp", "b24", 24, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        PxImage image;
        ASSERT_TRUE(DecodeAs(Fixture(c.file), PXIMAGE_FORMAT_BMP, image)) << image.GetLastErrorText();
        EXPECT_EQ(image.GetBpp(), c.bpp);
        EXPECT_EQ(image.alpha != nullptr, c.alpha);
        EXPECT_EQ(image.GetType(), PXIMAGE_FORMAT_BMP);
        Rgba expected = RawFixture(c.expected, 13, 11);
        if (c.bpp == 24 && strstr(c.file, "16")) {
            // Fields of 5 and 6 bits are moved to the top of the byte, where
            // ImageMagick also repeats their high bits below.
            EXPECT_LE(MaxChannelDifference(expected, ToRgba(image)), 7);
            continue;
        }
        EXPECT_TRUE(SamePicture(c.alpha ? expected : Opaque(expected), ToRgba(image)));
    }
}

TEST(BmpDecode, BareDibAndDetection)
{
    PxImage bare;
    ASSERT_TRUE(DecodeAs(Fixture("b24bare.dib"), PXIMAGE_FORMAT_BMP, bare)) << bare.GetLastErrorText();
    EXPECT_TRUE(SamePicture(Opaque(RawFixture("b24", 13, 11)), ToRgba(bare)));
    // Found first by detection, and its resolution taken over.
    PxImage detected;
    ASSERT_TRUE(DecodeAs(Fixture("b8.bmp"), PXIMAGE_FORMAT_UNKNOWN, detected));
    EXPECT_EQ(detected.GetType(), PXIMAGE_FORMAT_BMP);
    PxImage dpi;
    ASSERT_TRUE(DecodeAs(Bitmap(1, 1, 24, 0, "", std::string(4, '\0')), PXIMAGE_FORMAT_BMP, dpi));
    EXPECT_EQ(dpi.info.xDpi, 72);
}

TEST(BmpDecode, AlphaBytesAndMasks)
{
    // 32 bits, no compression: all fourth bytes 0 give an opaque picture,
    // any other value keeps the bytes as alpha.
    std::string zero = std::string("\x10\x20\x30\x00\x11\x21\x31\x00", 8);
    PxImage opaque;
    ASSERT_TRUE(DecodeAs(Bitmap(2, 1, 32, 0, "", zero), PXIMAGE_FORMAT_BMP, opaque));
    ASSERT_NE(opaque.alpha, nullptr);
    EXPECT_EQ(opaque.alpha[0], 255);
    EXPECT_EQ(opaque.alpha[1], 255);
    EXPECT_EQ(opaque.GetPixelColor(1, 0, false), (PxRgbQuad{0x11, 0x21, 0x31, 0}));
    std::string some = zero;
    some[7] = 9;
    PxImage keyed;
    ASSERT_TRUE(DecodeAs(Bitmap(2, 1, 32, 0, "", some), PXIMAGE_FORMAT_BMP, keyed));
    EXPECT_EQ(keyed.alpha[0], 0);
    EXPECT_EQ(keyed.alpha[1], 9);

    // 16 bits without masks is 5-5-5; with 5-6-5 masks after the header.
    PxImage rgb555;
    ASSERT_TRUE(DecodeAs(Bitmap(1, 1, 16, 0, "", Le16(0x7FFF) + Le16(0)), PXIMAGE_FORMAT_BMP, rgb555));
    EXPECT_EQ(rgb555.GetPixelColor(0, 0, false), (PxRgbQuad{248, 248, 248, 0}));
    PxImage rgb565;
    ASSERT_TRUE(DecodeAs(Bitmap(1, 1, 16, 3, "", Le16(0xFFFF) + Le16(0), Le32(0xF800) + Le32(0x07E0) + Le32(0x001F)),
                         PXIMAGE_FORMAT_BMP, rgb565));
    EXPECT_EQ(rgb565.GetPixelColor(0, 0, false), (PxRgbQuad{248, 252, 248, 0}));
    // 32-bit masks in another byte order.
    PxImage swapped;
    ASSERT_TRUE(DecodeAs(Bitmap(1, 1, 32, 3, "", std::string("\x01\x02\x03\x04", 4),
                                Le32(0x000000FF) + Le32(0x0000FF00) + Le32(0x00FF0000)),
                         PXIMAGE_FORMAT_BMP, swapped));
    EXPECT_EQ(swapped.GetPixelColor(0, 0, false), (PxRgbQuad{3, 2, 1, 0}));
}

TEST(BmpDecode, RleStaysInsideTheImage)
{
    std::string palette = Le32(0) + Le32(0xFFFFFF);
    // A run longer than its row is cut at the row's end; a delta far outside
    // and runs below the last row write nothing.
    std::string codes = std::string("\x09\x01", 2) + std::string("\x00\x00", 2) + std::string("\x00\x02\xFF\xFF", 4) +
                        std::string("\xFF\x01", 2) + std::string("\x00\x00\x03\x01", 4) +
                        std::string("\x00\x05\x01\x01\x01\x01\x01\x00", 8) + std::string("\x00\x01", 2);
    PxImage image;
    ASSERT_TRUE(DecodeAs(Bitmap(3, 2, 8, 1, palette, codes), PXIMAGE_FORMAT_BMP, image)) << image.GetLastErrorText();
    for (LONG x = 0; x < 3; ++x) EXPECT_EQ(image.GetPixelIndex(x, 0), 1) << x;
    EXPECT_EQ(image.info.bits[3], 1);  // the padding of row 0 too, up to the row's end
    EXPECT_EQ(image.GetPixelIndex(0, 1), 0);
    // RLE4 with an odd literal count.
    std::string rle4 = std::string("\x00\x03\x12\x30\x00\x01", 6);
    PxImage four;
    ASSERT_TRUE(DecodeAs(Bitmap(3, 1, 4, 2, palette + std::string(56, '\0'), rle4), PXIMAGE_FORMAT_BMP, four));
    EXPECT_EQ(four.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(four.GetPixelIndex(1, 0), 2);
    EXPECT_EQ(four.GetPixelIndex(2, 0), 3);
}

TEST(BmpDecode, HeaderOnlyCancelAndRefusals)
{
    PxImage header;
    header.info.escape = -1;
    ASSERT_TRUE(DecodeAs(Fixture("b8.bmp"), PXIMAGE_FORMAT_BMP, header));
    EXPECT_EQ(header.GetWidth(), 13u);
    EXPECT_EQ(header.GetHeight(), 11u);
    EXPECT_EQ(header.dib, nullptr);
    EXPECT_STREQ(header.GetLastErrorText(), "output dimensions returned");

    PxImage cancelled;
    cancelled.info.escape = 1;
    EXPECT_FALSE(DecodeAs(Fixture("b8.bmp"), PXIMAGE_FORMAT_BMP, cancelled));
    EXPECT_STREQ(cancelled.GetLastErrorText(), "Cancelled");

    PxImage image;
    EXPECT_FALSE(DecodeAs("", PXIMAGE_FORMAT_BMP, image));
    EXPECT_STREQ(image.GetLastErrorText(), "Not a BMP");
    EXPECT_FALSE(DecodeAs(Bitmap(2, 2, 24, 1, "", std::string(16, '\0')), PXIMAGE_FORMAT_BMP, image));
    EXPECT_STREQ(image.GetLastErrorText(), "unknown compression");
    EXPECT_FALSE(DecodeAs(Bitmap(2, 2, 8, 4, std::string(1024, '\0'), std::string(16, '\0')), PXIMAGE_FORMAT_BMP, image));
    EXPECT_STREQ(image.GetLastErrorText(), "compression type not supported");
    // A bit count no pixel code reads is refused, not decoded into nothing.
    EXPECT_FALSE(DecodeAs(Bitmap(2, 2, 2, 0, "", std::string(16, '\0')), PXIMAGE_FORMAT_BMP, image));
    EXPECT_STREQ(image.GetLastErrorText(), "Error reading BMP info");
    EXPECT_FALSE(DecodeAs(Bitmap(-2, 2, 24, 0, "", std::string(16, '\0')), PXIMAGE_FORMAT_BMP, image));
    EXPECT_FALSE(DecodeAs(Bitmap(0x7FFFFFFF, 0x7FFFFFFF, 24, 0, "", ""), PXIMAGE_FORMAT_BMP, image));
    EXPECT_STREQ(image.GetLastErrorText(), "PXIMAGE_MAX_MEMORY exceeded");
}

TEST(BmpDecode, TruncatedAndFlippedFiles)
{
    for (const char* name : {"b1.bmp", "b4rle.bmp", "b8rle.bmp", "b16565.bmp", "b24core.bmp", "b32v5.bmp", "b24top.bmp"}) {
        SCOPED_TRACE(name);
        DecodeDamaged(Fixture(name), PXIMAGE_FORMAT_BMP, 3);
    }
}

TEST(BmpEncode, RoundTripsAndSizes)
{
    for (const char* name : {"b1.bmp", "b4.bmp", "b8.bmp", "b24.bmp", "b32v5.bmp"}) {
        SCOPED_TRACE(name);
        PxImage image;
        ASSERT_TRUE(DecodeAs(Fixture(name), PXIMAGE_FORMAT_BMP, image));
        std::string before = Snapshot(image);
        std::string bytes = EncodeAs(image, PXIMAGE_FORMAT_BMP);
        EXPECT_EQ(Snapshot(image), before);
        const size_t pixels = image.alpha ? 4u * 13 * 11 : (size_t)image.GetEffWidth() * 11;
        EXPECT_EQ(bytes.size(), 54 + 4 * image.GetNumColors() + pixels);
        PxImage back;
        ASSERT_TRUE(DecodeAs(bytes, PXIMAGE_FORMAT_BMP, back));
        EXPECT_TRUE(SamePicture(ToRgba(image), ToRgba(back)));
        EXPECT_EQ(back.info.xDpi, image.info.xDpi);
    }
}

TEST(BmpEncode, WriteFailures)
{
    PxImage image;
    ASSERT_TRUE(DecodeAs(Fixture("b32v5.bmp"), PXIMAGE_FORMAT_BMP, image));
    const size_t full = EncodeAs(image, PXIMAGE_FORMAT_BMP).size();
    for (size_t n : {(size_t)0, (size_t)13, (size_t)54, full / 2, full - 1}) {
        RefusingStream file(n);
        EXPECT_FALSE(image.Encode(&file, PXIMAGE_FORMAT_BMP)) << n;
        EXPECT_STREQ(image.GetLastErrorText(), "Error writing BMP file");
    }
    RefusingStream enough(full);
    EXPECT_TRUE(image.Encode(&enough, PXIMAGE_FORMAT_BMP));
    PxImage empty;
    EXPECT_FALSE(empty.Encode(&enough, PXIMAGE_FORMAT_BMP));
    EXPECT_STREQ(empty.GetLastErrorText(), "null image!!!");
}

// A host that is not little-endian swaps every header field on the way out
// and back in.
TEST(BmpEncode, SwappedHeaders)
{
    PxImage image;
    ASSERT_TRUE(DecodeAs(Fixture("b8.bmp"), PXIMAGE_FORMAT_BMP, image));
    image.info.littleEndianHost = false;
    const std::string bytes = EncodeAs(image, PXIMAGE_FORMAT_BMP);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.substr(0, 2), "MB");
    EXPECT_EQ(bytes.substr(18, 4), std::string("\0\0\0\x0D", 4));  // the width, byte-swapped
    PxImage back;
    back.info.littleEndianHost = false;
    ASSERT_TRUE(DecodeAs(bytes, PXIMAGE_FORMAT_BMP, back)) << back.GetLastErrorText();
    EXPECT_TRUE(SamePicture(ToRgba(image), ToRgba(back)));
}

// Headers claiming large pictures cost what the file holds: a top-down
// file is read row by row into place, and a 32-bit file needs one row of
// scratch, counted with the picture against the memory limit.
TEST(BmpDecode, HostileHeadersCostWhatTheFileHolds)
{
    // 20000 x 20000 at 24 bits, top-down, with one row and a bit of data.
    std::string top = Bitmap(20000, -20000, 24, 0, "", std::string(60000, '\x11') + std::string(30, '\x22'));
    const ResidentPeak before;
    PxImage picture;
    ASSERT_TRUE(DecodeAs(top, PXIMAGE_FORMAT_BMP, picture)) << picture.GetLastErrorText();
    EXPECT_LT(before.Growth(), SmallGrowth(20000LL * 60000));
    EXPECT_EQ(picture.GetPixelColor(0, 19999, false), (PxRgbQuad{0x11, 0x11, 0x11, 0}));  // the top row
    EXPECT_EQ(picture.GetPixelColor(5, 19998, false), (PxRgbQuad{0x22, 0x22, 0x22, 0}));
    EXPECT_EQ(picture.GetPixelColor(0, 0, false), (PxRgbQuad{0, 0, 0, 0}));

    // The same at 32 bits: rows the file does not hold are transparent.
    std::string wide = Bitmap(12000, -12000, 32, 0, "", std::string("\x10\x20\x30\x80", 4));
    const ResidentPeak again;
    PxImage alpha;
    ASSERT_TRUE(DecodeAs(wide, PXIMAGE_FORMAT_BMP, alpha)) << alpha.GetLastErrorText();
    EXPECT_LT(again.Growth(), SmallGrowth(12000LL * 12000 * 4));
    ASSERT_NE(alpha.alpha, nullptr);
    EXPECT_EQ(alpha.alpha[(size_t)11999 * 12000], 0);

    // 23000 x 23000 at 32 bits: the picture and its alpha plane fit the
    // limit, with room for a row of scratch but not for a copy of the file's
    // pixels.
    {
        const HeapPeak heap;
        PxImage fits;
        ASSERT_TRUE(DecodeAs(Bitmap(23000, -23000, 32, 0, "", std::string(64, '\x01')), PXIMAGE_FORMAT_BMP, fits))
            << fits.GetLastErrorText();
        EXPECT_LE(heap.Growth(), kDecodeHeapLimit);
        EXPECT_TRUE(fits.FitsMemoryLimit(0));
    }

    // 24000 x 24000 at 32 bits: the picture and its alpha plane together
    // pass the limit. At 23000 x 23342 they fit, with less room left than
    // the row of scratch needs.
    for (LONG height : {24000, 23342}) {
        PxImage big;
        EXPECT_FALSE(DecodeAs(Bitmap(height == 24000 ? 24000 : 23000, height, 32, 0, "", std::string(64, '\x01')),
                              PXIMAGE_FORMAT_BMP, big));
        EXPECT_STREQ(big.GetLastErrorText(), "PXIMAGE_MAX_MEMORY exceeded");
    }
}

// Pictures of one size decoded one after another into one image use its
// pixel block again. What a short file does not hold is black, never the
// earlier picture; a failure before the block is taken keeps the picture,
// one after leaves none.
TEST(BmpDecode, ASeriesOfOneSizeUsesOneBlock)
{
    const PxRgbQuad black{0, 0, 0, 0};
    auto grey = [](BYTE v) { return PxRgbQuad{v, v, v, 0}; };
    auto rows = [](char fill, int count) { return std::string((size_t)16 * count, fill); };  // 5 pixels, padded
    PxImage image;
    ASSERT_TRUE(DecodeAs(Bitmap(5, 3, 24, 0, "", rows('\x40', 3)), PXIMAGE_FORMAT_BMP, image));
    const BYTE* block = image.dib;

    // Bottom-up, a row and two pixels.
    ASSERT_TRUE(DecodeAs(Bitmap(5, 3, 24, 0, "", rows('\x11', 1) + std::string(6, '\x22')), PXIMAGE_FORMAT_BMP, image));
    EXPECT_EQ(image.dib, block);
    EXPECT_EQ(image.GetPixelColor(4, 0, false), grey(0x11));
    EXPECT_EQ(image.GetPixelColor(1, 1, false), grey(0x22));
    EXPECT_EQ(image.GetPixelColor(2, 1, false), black);
    EXPECT_EQ(image.GetPixelColor(0, 2, false), black);

    // Top-down, one row and a half: the top row, then black below.
    ASSERT_TRUE(DecodeAs(Bitmap(5, -3, 24, 0, "", rows('\x33', 1) + std::string(3, '\x44')), PXIMAGE_FORMAT_BMP, image));
    EXPECT_EQ(image.dib, block);
    EXPECT_EQ(image.GetPixelColor(4, 2, false), grey(0x33));
    EXPECT_EQ(image.GetPixelColor(0, 1, false), grey(0x44));
    EXPECT_EQ(image.GetPixelColor(1, 1, false), black);
    EXPECT_EQ(image.GetPixelColor(0, 0, false), black);

    // 16-bit pixels become a block of the same size, cleared before the
    // one row the file holds.
    ASSERT_TRUE(DecodeAs(Bitmap(5, 3, 16, 0, "", std::string(12, '\xFF')), PXIMAGE_FORMAT_BMP, image));
    EXPECT_EQ(image.dib, block);
    EXPECT_EQ(image.GetPixelColor(0, 0, false), (PxRgbQuad{0xF8, 0xF8, 0xF8, 0}));
    EXPECT_EQ(image.GetPixelColor(0, 1, false), black);

    // A header that does not read: the picture stays whole.
    EXPECT_FALSE(DecodeAs("BM" + std::string(20, '\0'), PXIMAGE_FORMAT_BMP, image));
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(image.dib, block);
    EXPECT_EQ(image.GetPixelColor(0, 0, false), (PxRgbQuad{0xF8, 0xF8, 0xF8, 0}));

    // Cancelled once the block was taken: no picture is left.
    image.info.escape = 1;
    EXPECT_FALSE(DecodeAs(Bitmap(5, 3, 24, 0, "", rows('\x55', 3)), PXIMAGE_FORMAT_BMP, image));
    EXPECT_STREQ(image.GetLastErrorText(), "Cancelled");
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 0u);
    image.info.escape = 0;
    ASSERT_TRUE(DecodeAs(Bitmap(5, 3, 24, 0, "", rows('\x55', 3)), PXIMAGE_FORMAT_BMP, image));
    EXPECT_EQ(image.GetPixelColor(2, 1, false), grey(0x55));
}
