#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "codec_test_support.h"
#include "image/pximage_png.h"

using namespace imagetest;

namespace {

const char* const kColourFixtures[] = {"g1",  "g2",  "g4",    "g8",    "g16",  "rgb8",   "rgb16", "p1",
                                       "p2",  "p4",  "p8",    "ga8",   "ga16", "rgba8",  "rgba16"};

// Writes a PNG with libpng itself, for cases the fixture tools cannot make.
std::string LibpngWrite(int width, int height, int colorType, int bitDepth, const std::vector<uint8_t>& rows,
                        void (*extra)(png_structp, png_infop) = nullptr)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return std::string();
    }
    png_set_write_fn(
        png, &out, [](png_structp p, png_bytep d, size_t n) { ((std::string*)png_get_io_ptr(p))->append((char*)d, n); },
        nullptr);
    png_set_IHDR(png, info, width, height, bitDepth, colorType, PNG_INTERLACE_NONE, 0, 0);
    if (extra) extra(png, info);
    png_write_info(png, info);
    size_t rowBytes = rows.size() / height;
    for (int y = 0; y < height; ++y) png_write_row(png, rows.data() + y * rowBytes);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// The chunk types of a PNG, in order, with the IHDR's bit depth and colour type.
struct Chunks {
    std::vector<std::string> names;
    int bitDepth = -1;
    int colorType = -1;
    std::string data(const std::string& name, const std::string& png) const
    {
        size_t at = 8;
        while (at + 8 <= png.size()) {
            uint32_t length = (uint8_t)png[at] << 24 | (uint8_t)png[at + 1] << 16 | (uint8_t)png[at + 2] << 8 |
                              (uint8_t)png[at + 3];
            if (png.compare(at + 4, 4, name) == 0) return png.substr(at + 8, length);
            at += 12 + length;
        }
        return std::string();
    }
};

Chunks ReadChunks(const std::string& png)
{
    Chunks c;
    size_t at = 8;
    while (at + 8 <= png.size()) {
        uint32_t length = (uint8_t)png[at] << 24 | (uint8_t)png[at + 1] << 16 | (uint8_t)png[at + 2] << 8 |
                          (uint8_t)png[at + 3];
        c.names.push_back(png.substr(at + 4, 4));
        if (c.names.back() == "IHDR") {
            c.bitDepth = (uint8_t)png[at + 16];
            c.colorType = (uint8_t)png[at + 17];
        }
        at += 12 + length;
    }
    return c;
}

bool Has(const Chunks& c, const char* name)
{
    return std::find(c.names.begin(), c.names.end(), name) != c.names.end();
}

}  // namespace

// Every colour type, depth and interlace decodes to the pixels ImageMagick
// decodes from the same file, and to libpng's own reading of it.
TEST(PngDecode, MatchesIndependentDecoders)
{
    for (const char* base : kColourFixtures) {
        for (const std::string& name : {std::string(base), std::string(base) + "_i"}) {
            SCOPED_TRACE(name);
            PxImage image;
            ASSERT_TRUE(DecodePng(Fixture(name + ".png"), image)) << image.GetLastErrorText();
            EXPECT_EQ(image.GetType(), PXIMAGE_FORMAT_PNG);
            EXPECT_TRUE(SamePicture(FixturePixels(name), ToRgba(image)));
            if (!strstr(base, "16")) {
                EXPECT_TRUE(SamePicture(ReadWithLibpng(Fixture(name + ".png")), ToRgba(image)));
            }
            EXPECT_EQ(image.GetCodecOption(PXIMAGE_FORMAT_PNG), name.back() == 'i' ? 1u : 0u);
        }
    }
}

TEST(PngDecode, DepthsAndPalettesOfTheContainer)
{
    PxImage image;
    ASSERT_TRUE(DecodePng(Fixture("g16.png"), image));
    EXPECT_EQ(image.GetBpp(), 8u);
    EXPECT_TRUE(image.IsGrayScale());

    ASSERT_TRUE(DecodePng(Fixture("rgb16.png"), image));
    EXPECT_EQ(image.GetBpp(), 24u);
    EXPECT_EQ(image.alpha, nullptr);

    ASSERT_TRUE(DecodePng(Fixture("g2.png"), image));
    EXPECT_EQ(image.GetBpp(), 4u);
    for (BYTE i = 0; i < 4; ++i) EXPECT_EQ(image.GetPaletteColor(i).red, 85 * i);

    ASSERT_TRUE(DecodePng(Fixture("p2.png"), image));
    EXPECT_EQ(image.GetBpp(), 4u);
    EXPECT_EQ(image.header.clrImportant, 4u);

    ASSERT_TRUE(DecodePng(Fixture("ga8.png"), image));
    EXPECT_EQ(image.GetBpp(), 8u);
    EXPECT_NE(image.alpha, nullptr);
}

TEST(PngDecode, Transparency)
{
    PxImage image;
    // One fully transparent palette entry: the transparent index.
    ASSERT_TRUE(DecodePng(Fixture("pt0.png"), image));
    EXPECT_EQ(image.info.backgroundIndex, 0);
    EXPECT_FALSE(image.info.alphaPaletteEnabled);
    EXPECT_TRUE(SamePicture(FixturePixels("pt0"), ToRgba(image)));

    // One half-transparent entry stays half transparent.
    PxImage half;
    ASSERT_TRUE(DecodePng(Fixture("pt128.png"), half));
    EXPECT_EQ(half.info.backgroundIndex, -1);
    EXPECT_TRUE(half.info.alphaPaletteEnabled);
    EXPECT_EQ(half.GetPaletteColor(0).reserved, 128);
    EXPECT_EQ(half.GetPaletteColor(1).reserved, 255);
    EXPECT_TRUE(SamePicture(FixturePixels("pt128"), ToRgba(half)));

    PxImage three;
    ASSERT_TRUE(DecodePng(Fixture("pt3.png"), three));
    EXPECT_TRUE(three.info.alphaPaletteEnabled);
    EXPECT_EQ(three.GetPaletteColor(3).reserved, 255);
    EXPECT_EQ(three.GetPaletteColor(15).reserved, 255);
    EXPECT_TRUE(SamePicture(FixturePixels("pt3"), ToRgba(three)));

    // The next picture decoded into the same image has no transparency of its own.
    ASSERT_TRUE(DecodePng(Fixture("p8.png"), half));
    EXPECT_FALSE(half.info.alphaPaletteEnabled);
    ASSERT_TRUE(DecodePng(Fixture("g8.png"), image));
    EXPECT_EQ(image.info.backgroundIndex, -1);

    for (const char* name : {"rgbt8", "rgbt16", "gt8"}) {
        SCOPED_TRACE(name);
        PxImage keyed;
        ASSERT_TRUE(DecodePng(Fixture(std::string(name) + ".png"), keyed));
        EXPECT_GE(keyed.info.backgroundIndex, 0);
        EXPECT_TRUE(SamePicture(FixturePixels(name), ToRgba(keyed)));
    }
}

TEST(PngDecode, Resolution)
{
    PxImage image;
    image.SetXDPI(200);  // a previous picture's value must not survive
    ASSERT_TRUE(DecodePng(Fixture("dpi300.png"), image));
    EXPECT_EQ(image.info.xDpi, 300);
    EXPECT_EQ(image.info.yDpi, 300);

    ASSERT_TRUE(DecodePng(Fixture("g8.png"), image));  // no pHYs
    EXPECT_EQ(image.info.xDpi, 96);

    std::vector<uint8_t> rows(4, 128);
    PxImage perMetre;
    ASSERT_TRUE(DecodePng(LibpngWrite(2, 2, PNG_COLOR_TYPE_GRAY, 8, rows,
                                      [](png_structp p, png_infop i) { png_set_pHYs(p, i, 3780, 3780, 1); }),
                          perMetre));
    EXPECT_EQ(perMetre.info.xDpi, 96);
    EXPECT_EQ(perMetre.header.xPelsPerMeter, 3780);
    // Unit 0 is an aspect ratio, not a resolution.
    PxImage aspect;
    ASSERT_TRUE(DecodePng(LibpngWrite(2, 2, PNG_COLOR_TYPE_GRAY, 8, rows,
                                      [](png_structp p, png_infop i) { png_set_pHYs(p, i, 1, 1, 0); }),
                          aspect));
    EXPECT_EQ(aspect.info.xDpi, 96);
    EXPECT_EQ(aspect.info.yDpi, 96);
}

TEST(PngDecode, HeaderOnly)
{
    PxImage image;
    image.info.escape = -1;
    ASSERT_TRUE(DecodePng(Fixture("rgba8_i.png"), image));
    EXPECT_EQ(image.GetWidth(), 13u);
    EXPECT_EQ(image.GetHeight(), 11u);
    EXPECT_EQ(image.GetType(), PXIMAGE_FORMAT_PNG);
    EXPECT_EQ(image.dib, nullptr);

    // A header-only read of something that is not a PNG still fails, even
    // when the image was a PNG before.
    PxImage png;
    ASSERT_TRUE(DecodePng(Fixture("g8.png"), png));
    png.info.escape = -1;
    EXPECT_FALSE(DecodePng("BM not a png at all", png));

    // Any other escape value stops the decode.
    PxImage stopped;
    stopped.info.escape = 1;
    EXPECT_FALSE(DecodePng(Fixture("g8.png"), stopped));
    EXPECT_EQ(stopped.dib, nullptr);
}

// Damaged input fails cleanly (the sanitizers watch every attempt); a file
// cut short anywhere never decodes.
TEST(PngDecode, TruncatedAndFlippedFiles)
{
    for (const char* name : {"p4_i", "rgba16", "g2_i", "pt3", "rgbt16"}) {
        SCOPED_TRACE(name);
        std::string png = Fixture(std::string(name) + ".png");
        for (size_t n = 0; n < png.size(); ++n) {
            PxImage image;
            EXPECT_FALSE(DecodePng(png.substr(0, n), image)) << "cut at " << n;
            EXPECT_NE(image.GetLastErrorText()[0], 0);
        }
        for (size_t i = 0; i < png.size(); ++i) {
            std::string flipped = png;
            flipped[i] = (char)(flipped[i] ^ 0x5A);
            PxImage image;
            if (DecodePng(flipped, image)) {
                EXPECT_NE(image.dib, nullptr);
            }
        }
    }
}

// Decoded, saved and read back by libpng: the same picture.
TEST(PngEncode, RoundTripsThroughLibpng)
{
    std::vector<std::string> names;
    for (const char* base : kColourFixtures) names.insert(names.end(), {base, std::string(base) + "_i"});
    for (const char* t : {"pt0", "pt128", "pt3", "rgbt8", "rgbt16", "gt8", "dpi300"}) names.push_back(t);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        PxImage image;
        ASSERT_TRUE(DecodePng(Fixture(name + ".png"), image));
        std::string before = Snapshot(image);
        std::string saved = EncodePng(image);
        ASSERT_FALSE(saved.empty()) << image.GetLastErrorText();
        EXPECT_EQ(Snapshot(image), before);
        EXPECT_TRUE(SamePicture(ToRgba(image), ReadWithLibpng(saved)));
        bool interlaced = name.size() > 2 && name.compare(name.size() - 2, 2, "_i") == 0;
        EXPECT_EQ(saved[28] == 1, interlaced);  // the IHDR's interlace method
    }
}

TEST(PngEncode, ColourTypesAndChunks)
{
    PxImage rgba(5, 3, 24, PXIMAGE_FORMAT_PNG);
    rgba.SetPixelColor(0, 2, PxRgbQuad{10, 20, 30, 0});  // top-left
    ASSERT_TRUE(rgba.AlphaCreate());
    rgba.alpha[2 * 5] = 77;
    std::string png = EncodePng(rgba);
    Chunks c = ReadChunks(png);
    EXPECT_EQ(c.colorType, 6);
    EXPECT_EQ(c.bitDepth, 8);
    EXPECT_EQ(c.names, (std::vector<std::string>{"IHDR", "bKGD", "pHYs", "IDAT", "IEND"}));
    Rgba back = ReadWithLibpng(png);
    ASSERT_EQ(back.pixels.size(), 60u);
    EXPECT_EQ(std::vector<uint8_t>(back.pixels.begin(), back.pixels.begin() + 4), (std::vector<uint8_t>{30, 20, 10, 77}));

    rgba.AlphaDelete();
    c = ReadChunks(EncodePng(rgba));
    EXPECT_EQ(c.colorType, 2);

    // The full grey ramp is written as grey; a palette of i = (i, i, i) at
    // 4 bits is not a grey ramp (15 would read as white) and stays a palette.
    PxImage grey(4, 4, 4, PXIMAGE_FORMAT_PNG);
    grey.SetGrayPalette();
    c = ReadChunks(EncodePng(grey));
    EXPECT_EQ(c.colorType, 0);
    EXPECT_EQ(c.bitDepth, 4);
    EXPECT_FALSE(Has(c, "PLTE"));
    PxImage identity(4, 4, 4, PXIMAGE_FORMAT_PNG);
    for (BYTE i = 0; i < 16; ++i) identity.SetPaletteColor(i, PxRgbQuad{i, i, i, 0});
    identity.SetPixelIndex(1, 1, 15);
    std::string identityPng = EncodePng(identity);
    EXPECT_EQ(ReadChunks(identityPng).colorType, 3);
    EXPECT_TRUE(SamePicture(ToRgba(identity), ReadWithLibpng(identityPng)));

    PxImage oneBit(9, 2, 1, PXIMAGE_FORMAT_PNG);
    oneBit.SetGrayPalette();
    oneBit.SetPixelIndex(8, 0, 1);
    c = ReadChunks(EncodePng(oneBit));
    EXPECT_EQ(c.colorType, 0);
    EXPECT_EQ(c.bitDepth, 1);

    // pHYs carries the image's resolution.
    rgba.SetXDPI(300);
    std::string dpi = EncodePng(rgba);
    PxImage back300;
    ASSERT_TRUE(DecodePng(dpi, back300));
    EXPECT_EQ(back300.info.xDpi, 300);
    EXPECT_EQ(back300.info.yDpi, 96);
}

// The transparent index is written as entry 0, in the file only.
TEST(PngEncode, TransparentIndexMovesToEntryZeroInTheFileOnly)
{
    PxImage image(6, 4, 8, PXIMAGE_FORMAT_PNG);
    for (BYTE i = 0; i < 8; ++i) image.SetPaletteColor(i, PxRgbQuad{200, 50, (BYTE)(i * 30), 0});
    for (LONG y = 0; y < 4; ++y)
        for (LONG x = 0; x < 6; ++x) image.SetPixelIndex(x, y, (BYTE)((x + y) % 8));
    image.SetClrImportant(8);
    image.info.backgroundIndex = 5;
    std::string before = Snapshot(image);

    std::string png = EncodePng(image);
    ASSERT_FALSE(png.empty());
    EXPECT_EQ(Snapshot(image), before);
    Chunks c = ReadChunks(png);
    std::string plte = c.data("PLTE", png);
    ASSERT_EQ(plte.size(), 24u);
    EXPECT_EQ((uint8_t)plte[0], 5 * 30);  // red of entry 5, now first
    EXPECT_EQ((uint8_t)plte[15], 0);      // red of entry 0, now at 5
    EXPECT_EQ(c.data("tRNS", png), std::string(1, '\0'));
    EXPECT_TRUE(SamePicture(ToRgba(image), ReadWithLibpng(png)));
}

// A palette whose important count is below an index in use is still
// written whole enough for libpng to accept every pixel.
TEST(PngEncode, PaletteCoversEveryIndexUsed)
{
    PxImage image(4, 4, 8, PXIMAGE_FORMAT_PNG);
    for (BYTE i = 0; i < 20; ++i) image.SetPaletteColor(i, PxRgbQuad{i, (BYTE)(i * 10), 0, 0});
    image.SetPixelIndex(3, 3, 19);
    image.SetClrImportant(4);
    std::string png = EncodePng(image);
    ASSERT_FALSE(png.empty()) << image.GetLastErrorText();
    EXPECT_EQ(ReadChunks(png).data("PLTE", png).size(), 60u);
    EXPECT_TRUE(SamePicture(ToRgba(image), ReadWithLibpng(png)));
}

TEST(PngEncode, TransparentColourOfATrueColourImage)
{
    PxImage image(3, 2, 24, PXIMAGE_FORMAT_PNG);
    image.SetPixelColor(1, 1, PxRgbQuad{1, 2, 3, 0});
    image.info.backgroundColor = PxRgbQuad{1, 2, 3, 0};
    image.info.backgroundIndex = 0;
    std::string png = EncodePng(image);
    Rgba back = ReadWithLibpng(png);
    ASSERT_EQ(back.pixels.size(), 24u);
    EXPECT_EQ(back.pixels[4 + 3], 0);  // (1, top row)
    EXPECT_EQ(back.pixels[3], 255);

    // With an alpha plane the colour's pixels are written transparent, and
    // the plane itself is left as it was.
    ASSERT_TRUE(image.AlphaCreate());
    std::string before = Snapshot(image);
    back = ReadWithLibpng(EncodePng(image));
    EXPECT_EQ(Snapshot(image), before);
    EXPECT_EQ(back.pixels[4 + 3], 0);
    EXPECT_EQ(image.alpha[3 + 1], 255);
}

namespace {

// Accepts `limit` bytes, then refuses every write.
class RefusingFile : public PxMemFile {
public:
    explicit RefusingFile(size_t limit) : PxMemFile((BYTE*)malloc(1), 0), limit_(limit) { ownsBuffer = true; }
    size_t Write(const void* data, size_t size, size_t count) override
    {
        if ((size_t)this->size + size * count > limit_) return 0;
        return PxMemFile::Write(data, size, count);
    }

private:
    size_t limit_;
};

}  // namespace

TEST(PngEncode, RefusingStreamFailsAndLeavesTheImageAlone)
{
    PxImage palette(7, 5, 8, PXIMAGE_FORMAT_PNG);
    for (BYTE i = 0; i < 10; ++i) palette.SetPaletteColor(i, PxRgbQuad{i, 9, 90, 0});
    for (LONG x = 0; x < 7; ++x) palette.SetPixelIndex(x, 1, (BYTE)x);
    palette.info.backgroundIndex = 5;
    PxImage keyed(7, 5, 24, PXIMAGE_FORMAT_PNG);
    keyed.AlphaCreate();
    keyed.info.backgroundIndex = 0;

    for (PxImage* image : {&palette, &keyed}) {
        std::string before = Snapshot(*image);
        size_t full = EncodePng(*image).size();
        ASSERT_GT(full, 0u);
        for (size_t n = 0; n < full; ++n) {
            RefusingFile file(n);
            EXPECT_FALSE(image->Encode(&file, PXIMAGE_FORMAT_PNG)) << n;
            EXPECT_STREQ(image->GetLastErrorText(), "Error saving PNG file");
            EXPECT_EQ(Snapshot(*image), before);
        }
        RefusingFile enough(full);
        EXPECT_TRUE(image->Encode(&enough, PXIMAGE_FORMAT_PNG));
    }
}

TEST(PngEncode, RefusedCases)
{
    PxImage empty;
    EXPECT_FALSE(empty.Encode(nullptr, PXIMAGE_FORMAT_PNG));
    EXPECT_STREQ(empty.GetLastErrorText(), "null file handler");
    PxMemFile file;
    EXPECT_FALSE(empty.Encode(&file, PXIMAGE_FORMAT_PNG));
    EXPECT_STREQ(empty.GetLastErrorText(), "null image!!!");

    // A palette that is not grey cannot go with an alpha plane.
    PxImage paletteAlpha(2, 2, 8, PXIMAGE_FORMAT_PNG);
    paletteAlpha.SetPaletteColor(1, PxRgbQuad{1, 2, 3, 0});
    paletteAlpha.AlphaCreate();
    EXPECT_TRUE(EncodePng(paletteAlpha).empty());
    EXPECT_STREQ(paletteAlpha.GetLastErrorText(), "Error saving PNG file");
}

namespace {

std::string Be32(uint32_t v) { return std::string{(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v}; }

std::string PngChunk(const std::string& type, const std::string& data)
{
    const std::string body = type + data;
    return Be32((uint32_t)data.size()) + body + Be32((uint32_t)crc32(0, (const Bytef*)body.data(), (uInt)body.size()));
}

// An 8-bit grey and alpha PNG of any claimed size over the given filtered
// rows, deflated here.
std::string GreyAlphaPng(uint32_t width, uint32_t height, bool interlaced, const std::string& rows)
{
    uLongf size = compressBound((uLong)rows.size());
    std::string z(size, '\0');
    if (compress((Bytef*)&z[0], &size, (const Bytef*)rows.data(), (uLong)rows.size()) != Z_OK) return std::string();
    z.resize(size);
    const std::string ihdr = Be32(width) + Be32(height) + std::string{8, PNG_COLOR_TYPE_GRAY_ALPHA, 0, 0, interlaced};
    return std::string("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", ihdr) + PngChunk("IDAT", z) + PngChunk("IEND", "");
}

}  // namespace

// A grey and alpha header claiming 20000 x 20000 pixels over the data of
// one short row: the decode fails when the data ends, without having filled
// planes the file never reaches. Interlaced, a first pass of 12 KB reaches
// one row in eight, and only those are written.
TEST(PngDecode, HostileHeaderCostsWhatTheDataHolds)
{
    std::string firstPass;
    for (int y = 0; y < 2500; ++y) firstPass += std::string(1 + 2 * 2500, '\0');
    for (bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced);
        const std::string png = GreyAlphaPng(20000, 20000, interlaced, interlaced ? firstPass : "\0\1\2\3\4");
        ASSERT_FALSE(png.empty());
        const ResidentPeak before;
        const HeapPeak heap;
        PxImage image;
        EXPECT_FALSE(DecodeAs(png, PXIMAGE_FORMAT_PNG, image));
        EXPECT_LT(before.Growth(), SmallGrowth(2 * 20000LL * 20000));
        EXPECT_LE(heap.Growth(), kDecodeHeapLimit);
    }
}
