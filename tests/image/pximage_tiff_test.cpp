#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "codec_test_support.h"
#include "image/pximage_tiff.h"

using namespace imagetest;

namespace {

// The samples of the elevation fixtures, by file row and column.
unsigned Sample(int x, int y) { return (unsigned)(x * 397 + y * 1013) % 65536; }

// A 16-bit grey picture reduced to 8 bits the way the decoder does it for
// striped files: one scale for all rows, set by the largest high byte.
std::vector<uint8_t> Reduced16(int width, int height)
{
    int m = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) m = std::max(m, (int)(Sample(x, y) >> 8));
    int s = 8;
    for (int bit = 0x80; bit && !(m & bit); bit >>= 1) --s;
    std::vector<uint8_t> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out.push_back((uint8_t)(Sample(x, y) >> s));
    return out;
}

Rgba Grey(int width, int height, const std::vector<uint8_t>& levels)
{
    Rgba r;
    r.width = width;
    r.height = height;
    for (uint8_t v : levels) r.pixels.insert(r.pixels.end(), {v, v, v, 255});
    return r;
}

// Alpha exact; colours as close as undoing a premultiplication allows.
::testing::AssertionResult NearStraightAlpha(const Rgba& expected, const Rgba& actual)
{
    if (expected.pixels.size() != actual.pixels.size()) return ::testing::AssertionFailure() << "sizes differ";
    for (size_t i = 0; i < expected.pixels.size(); i += 4) {
        const int a = expected.pixels[i + 3];
        if (actual.pixels[i + 3] != a) return ::testing::AssertionFailure() << "alpha at " << i / 4;
        if (a == 0) continue;
        for (int c = 0; c < 3; ++c)
            if (std::abs(expected.pixels[i + c] - actual.pixels[i + c]) > 255 / a + 1)
                return ::testing::AssertionFailure() << "colour at " << i / 4 << " alpha " << a;
    }
    return ::testing::AssertionSuccess();
}

// A tag of a TIFF as libtiff reads it.
struct TiffTags {
    uint16_t photometric = 0, compression = 0, samples = 0, bits = 0, predictor = 0;
    uint32_t rowsPerStrip = 0;
    int quality = 0;
    bool ok = false;
};

tmsize_t MemRead(thandle_t h, void* b, tmsize_t n) { return (tmsize_t)((PxFile*)h)->Read(b, 1, (size_t)n); }
tmsize_t MemWrite(thandle_t, void*, tmsize_t) { return 0; }
toff_t MemSeek(thandle_t h, toff_t o, int w) { return ((PxFile*)h)->Seek((int)o, w) ? (toff_t)((PxFile*)h)->Tell() : (toff_t)-1; }
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return (toff_t)((PxFile*)h)->Size(); }

TiffTags ReadTags(const std::string& bytes)
{
    TiffTags t;
    PxMemFile file((BYTE*)bytes.data(), (DWORD)bytes.size());
    TIFF* tif = TIFFClientOpen("test", "r", (thandle_t)&file, MemRead, MemWrite, MemSeek, MemClose, MemSize, nullptr, nullptr);
    if (!tif) return t;
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &t.photometric);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &t.compression);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &t.samples);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &t.bits);
    TIFFGetField(tif, TIFFTAG_PREDICTOR, &t.predictor);
    TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &t.rowsPerStrip);
    if (t.compression == COMPRESSION_JPEG) TIFFGetField(tif, TIFFTAG_JPEGQUALITY, &t.quality);
    t.ok = true;
    TIFFClose(tif);
    return t;
}

std::string Le16(unsigned v) { return std::string{(char)(v & 0xFF), (char)(v >> 8 & 0xFF)}; }
std::string Le32(uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

// A little-endian TIFF of one strip, written here byte by byte: the strip
// follows the header, then the directory with the entries (tag, type,
// count, value bytes) in tag order, then the values longer than 4 bytes.
struct TiffEntry {
    uint16_t tag, type;
    uint32_t count;
    std::string value;
};
std::string TiffFile(uint32_t width, uint32_t height, const std::string& strip, std::vector<TiffEntry> entries,
                     uint32_t rowsPerStrip = 0)
{
    entries.push_back({256, 4, 1, Le32(width)});
    entries.push_back({257, 4, 1, Le32(height)});
    entries.push_back({273, 4, 1, Le32(8)});
    entries.push_back({278, 4, 1, Le32(rowsPerStrip ? rowsPerStrip : height)});
    entries.push_back({279, 4, 1, Le32((uint32_t)strip.size())});
    std::sort(entries.begin(), entries.end(), [](const TiffEntry& a, const TiffEntry& b) { return a.tag < b.tag; });
    const uint32_t dir = 8 + (uint32_t)strip.size() + (uint32_t)(strip.size() & 1);
    uint32_t extra = dir + 2 + 12 * (uint32_t)entries.size() + 4;
    std::string head = "II" + Le16(42) + Le32(dir), ifd = Le16((unsigned)entries.size()), values;
    for (const TiffEntry& e : entries) {
        ifd += Le16(e.tag) + Le16(e.type) + Le32(e.count);
        if (e.value.size() <= 4) {
            ifd += e.value + std::string(4 - e.value.size(), '\0');
        } else {
            ifd += Le32(extra + (uint32_t)values.size());
            values += e.value;
        }
    }
    return head + strip + std::string(strip.size() & 1, '\0') + ifd + Le32(0) + values;
}

// RGB samples of a picture (top row first) at 8 or 16 bits, with an
// unassociated alpha sample when asked, and its orientation tag.
std::string ColourTiff(const Rgba& picture, int bits, bool withAlpha, int orientation)
{
    const unsigned samples = withAlpha ? 4 : 3;
    std::string strip;
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        if (i % 4 == 3 && !withAlpha) continue;
        const uint8_t v = picture.pixels[i];
        strip += bits == 8 ? std::string(1, (char)v) : Le16(v * 257u);
    }
    std::string bitCounts;
    for (unsigned c = 0; c < samples; ++c) bitCounts += Le16((unsigned)bits);
    std::vector<TiffEntry> entries = {{258, 3, samples, bitCounts}, {259, 3, 1, Le16(1)},
                                      {262, 3, 1, Le16(PHOTOMETRIC_RGB)}, {274, 3, 1, Le16((unsigned)orientation)},
                                      {277, 3, 1, Le16(samples)}, {284, 3, 1, Le16(1)}};
    if (withAlpha) entries.push_back({338, 3, 1, Le16(EXTRASAMPLE_UNASSALPHA)});
    return TiffFile((uint32_t)picture.width, (uint32_t)picture.height, strip, entries);
}

Rgba Decode(const std::string& name, int frame = 0)
{
    PxImage image;
    image.info.frame = frame;
    if (!DecodeAs(Fixture(name), PXIMAGE_FORMAT_TIF, image)) return Rgba();
    return ToRgba(image);
}

}  // namespace

// The GeoTIFF library is not loaded with the image code, only when a TIFF
// is first read, and that read takes its tags. Checked in a process of its
// own (the test program started again for this test alone), where nothing
// has read a TIFF before, however the tests are run.
TEST(TiffDecode, TheGeoTiffLibraryLoadsAtTheFirstRead)
{
    auto mapped = []() {
        std::ifstream maps("/proc/self/maps");
        std::string line;
        while (std::getline(maps, line))
            if (line.find("libgeotiff") != std::string::npos) return true;
        return false;
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child ends with _exit: what it leaves at exit is no leak.
    EXPECT_EXIT(
        {
            if (mapped()) {
                fprintf(stderr, "loaded before any TIFF was read\n");
                _exit(1);
            }
            PxImage first;
            if (!DecodeAs(Fixture("t_pal8.tif"), PXIMAGE_FORMAT_TIF, first)) {
                fprintf(stderr, "the TIFF was not read: %s\n", first.GetLastErrorText());
                _exit(2);
            }
            if (!mapped()) {
                fprintf(stderr, "not loaded by the first read\n");
                _exit(3);
            }
            _exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST(TiffDecode, MatchesImageMagick)
{
    const char* const same[][2] = {{"t_rgb.tif", "t_rgb"},   {"t_grey8.tif", "t_grey8"}, {"t_bw.tif", "t_bw"},
                                   {"t_wz.tif", "t_bw"},     {"t_pal8.tif", "t_pal8"},   {"t_pal4.tif", "t_pal4"},
                                   {"t_greya.tif", "t_greya"}, {"t_lzw.tif", "t_rgb"},   {"t_zip.tif", "t_pal8"},
                                   {"t_g4.tif", "t_bw"},     {"t_tiled.tif", "t_big"}};
    for (const auto& c : same) {
        SCOPED_TRACE(c[0]);
        Rgba expected = c[1] == std::string("t_big") ? RawFixture(c[1], 35, 40) : RawFixture(c[1], 13, 11);
        EXPECT_TRUE(SamePicture(expected, Decode(c[0])));
    }
    PxImage bw;
    ASSERT_TRUE(DecodeAs(Fixture("t_wz.tif"), PXIMAGE_FORMAT_UNKNOWN, bw));
    EXPECT_EQ(bw.GetType(), PXIMAGE_FORMAT_TIF);
    EXPECT_EQ(bw.GetBpp(), 1u);
    EXPECT_EQ(bw.GetPaletteColor(0), (PxRgbQuad{255, 255, 255, 0}));  // white is zero
    EXPECT_EQ(bw.GetCodecOption(PXIMAGE_FORMAT_TIF), (DWORD)COMPRESSION_NONE);

    EXPECT_TRUE(NearStraightAlpha(RawFixture("t_rgba", 13, 11), Decode("t_rgba.tif")));
    EXPECT_LE(MaxChannelDifference(RawFixture("t_jpeg", 13, 11), Decode("t_jpeg.tif")), 2);
    // The Lab conversion is a short sRGB approximation of ImageMagick's own.
    EXPECT_LE(MaxChannelDifference(RawFixture("t_lab", 13, 11), Decode("t_lab.tif")), 16);
}

TEST(TiffDecode, PagesOrientationsAndHeaderOnly)
{
    EXPECT_TRUE(SamePicture(RawFixture("t_grey8", 13, 11), Decode("t_pages.tif", 0)));
    EXPECT_TRUE(SamePicture(RawFixture("t_pal8", 13, 11), Decode("t_pages.tif", 1)));
    EXPECT_TRUE(SamePicture(RawFixture("t_rgb", 13, 11), Decode("t_pages.tif", 2)));
    PxImage missing;
    missing.info.frame = 3;
    EXPECT_FALSE(DecodeAs(Fixture("t_pages.tif"), PXIMAGE_FORMAT_TIF, missing));
    EXPECT_STREQ(missing.GetLastErrorText(), "Error: page not present in TIFF file");
    EXPECT_EQ(missing.GetFrameCount(), 3);

    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        const bool turned = o >= 5;
        EXPECT_TRUE(SamePicture(RawFixture("t_or" + std::to_string(o), turned ? 11 : 13, turned ? 13 : 11),
                                Decode("t_or" + std::to_string(o) + ".tif")));
    }

    for (const char* name : {"t_rgb.tif", "t_dem.tif"}) {
        PxImage header;
        header.info.escape = -1;
        ASSERT_TRUE(DecodeAs(Fixture(name), PXIMAGE_FORMAT_TIF, header)) << name;
        EXPECT_EQ(header.dib, nullptr);
        EXPECT_EQ(header.GetType(), PXIMAGE_FORMAT_TIF);
        EXPECT_GT(header.GetWidth(), 0u);
        EXPECT_STREQ(header.GetLastErrorText(), "output dimensions returned");
    }
    PxImage cancelled;
    cancelled.info.escape = 1;
    EXPECT_FALSE(DecodeAs(Fixture("t_pal8.tif"), PXIMAGE_FORMAT_TIF, cancelled));
    EXPECT_STREQ(cancelled.GetLastErrorText(), "Cancelled");
}

TEST(TiffDecode, ElevationTiles)
{
    for (const char* name : {"t_dem.tif", "t_dem_tiled.tif", "t_dem_or6.tif"}) {
        SCOPED_TRACE(name);
        PxImageTIF codec;
        const std::string bytes = Fixture(name);
        PxMemFile file((BYTE*)bytes.data(), (DWORD)bytes.size());
        ASSERT_TRUE(codec.Decode(&file)) << codec.GetLastErrorText();
        EXPECT_EQ(codec.GetBpp(), 24u);
        EXPECT_DOUBLE_EQ(codec.GeoTiePointX, 100);
        EXPECT_DOUBLE_EQ(codec.GeoTiePointY, 200);
        EXPECT_DOUBLE_EQ(codec.GeoPixelScaleX, 30);
        EXPECT_DOUBLE_EQ(codec.GeoPixelScaleY, 30);
        const bool turned = strstr(name, "or6") != nullptr;
        const int fileWidth = strstr(name, "tiled") ? 20 : 7, fileHeight = strstr(name, "tiled") ? 18 : 5;
        ASSERT_EQ(codec.GetWidth(), (DWORD)(turned ? fileHeight : fileWidth));
        for (int y = 0; y < fileHeight; ++y) {
            for (int x = 0; x < fileWidth; ++x) {
                // Row 0 of an orientation 6 file is the right-hand column.
                const LONG px = turned ? fileHeight - 1 - y : x;
                const LONG top = turned ? x : y;
                const BYTE* p = codec.info.bits + (size_t)(codec.GetHeight() - 1 - top) * codec.GetEffWidth() + 3 * px;
                ASSERT_EQ(p[0] | p[1] << 8, (int)Sample(x, y)) << x << "," << y;
                ASSERT_EQ(p[2], 0);
            }
        }
    }
    // Georeferencing that fails its tests keeps nothing; the file is an
    // ordinary 16-bit grey picture.
    for (const char* name : {"t_dem_half.tif", "t_dem_noscale.tif", "t_dem_count.tif", "t_grey16.tif"}) {
        SCOPED_TRACE(name);
        PxImageTIF codec;
        const std::string bytes = Fixture(name);
        PxMemFile file((BYTE*)bytes.data(), (DWORD)bytes.size());
        ASSERT_TRUE(codec.Decode(&file)) << codec.GetLastErrorText();
        EXPECT_EQ(codec.GeoTiePointX, 0);
        EXPECT_EQ(codec.GeoPixelScaleX, 0);
        EXPECT_EQ(codec.GetBpp(), 8u);
        EXPECT_TRUE(SamePicture(Grey(7, 5, Reduced16(7, 5)), ToRgba(codec)));
    }
    PxImageTIF geo8;
    const std::string bytes = Fixture("t_geo8.tif");
    PxMemFile file((BYTE*)bytes.data(), (DWORD)bytes.size());
    ASSERT_TRUE(geo8.Decode(&file));
    EXPECT_DOUBLE_EQ(geo8.GeoTiePointX, 100);
    EXPECT_EQ(geo8.GetBpp(), 8u);
    EXPECT_EQ(geo8.GetPixelIndex(3, 4), (3 * 17 + 0 * 5) % 256);  // file row 0 is the top
}

TEST(TiffDecode, DamagedFiles)
{
    for (const char* name : {"t_pal4.tif", "t_dem.tif", "t_g4.tif", "t_rgba.tif"}) {
        SCOPED_TRACE(name);
        DecodeDamaged(Fixture(name), PXIMAGE_FORMAT_TIF, 5);
    }
    PxImage image;
    EXPECT_FALSE(DecodeAs("II*\0garbage", PXIMAGE_FORMAT_TIF, image));
    EXPECT_STREQ(image.GetLastErrorText(), "Error encountered while opening TIFF file");
}

TEST(TiffEncode, TagsAndRoundTrips)
{
    struct Case {
        const char* source;
        uint16_t photometric, compression, predictor;
    } cases[] = {
        {"t_bw.tif", PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, 0},
        {"t_pal4.tif", PHOTOMETRIC_PALETTE, COMPRESSION_LZW, 0},
        {"t_pal8.tif", PHOTOMETRIC_PALETTE, COMPRESSION_LZW, PREDICTOR_HORIZONTAL},
        {"t_grey8.tif", PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, PREDICTOR_HORIZONTAL},
        {"t_greya.tif", PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, PREDICTOR_HORIZONTAL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        PxImage image;
        ASSERT_TRUE(DecodeAs(Fixture(c.source), PXIMAGE_FORMAT_TIF, image));
        image.SetCodecOption(0);
        const std::string before = Snapshot(image);
        const std::string bytes = EncodeAs(image, PXIMAGE_FORMAT_TIF);
        ASSERT_FALSE(bytes.empty()) << image.GetLastErrorText();
        EXPECT_EQ(Snapshot(image), before);  // the caller's palette and pixels stay
        TiffTags tags = ReadTags(bytes);
        ASSERT_TRUE(tags.ok);
        EXPECT_EQ(tags.photometric, c.photometric);
        EXPECT_EQ(tags.compression, c.compression);
        if (c.predictor) {
            EXPECT_EQ(tags.predictor, c.predictor);
        }
        PxImage back;
        ASSERT_TRUE(DecodeAs(bytes, PXIMAGE_FORMAT_TIF, back)) << back.GetLastErrorText();
        EXPECT_TRUE(SamePicture(ToRgba(image), ToRgba(back)));
    }

    // A black-on-white image whose entry 0 is black is written white-is-zero
    // from inverted row copies; two other colours keep their palette.
    PxImage bits(9, 3, 1, PXIMAGE_FORMAT_TIF);
    bits.SetPaletteColor(1, PxRgbQuad{255, 255, 255, 0});
    bits.SetPixelIndex(4, 1, 1);
    PxImage colours(bits);
    colours.SetPaletteColor(0, PxRgbQuad{0, 0, 200, 0});
    for (PxImage* image : {&bits, &colours}) {
        const std::string before = Snapshot(*image);
        const std::string bytes = EncodeAs(*image, PXIMAGE_FORMAT_TIF);
        EXPECT_EQ(Snapshot(*image), before);
        PxImage back;
        ASSERT_TRUE(DecodeAs(bytes, PXIMAGE_FORMAT_TIF, back));
        EXPECT_TRUE(SamePicture(ToRgba(*image), ToRgba(back)));
    }
    EXPECT_EQ(ReadTags(EncodeAs(colours, PXIMAGE_FORMAT_TIF)).photometric, PHOTOMETRIC_PALETTE);

    // True colour: JPEG at quality 90 by default, strips a multiple of 8 rows.
    PxImage rgb;
    ASSERT_TRUE(DecodeAs(Fixture("t_rgb.tif"), PXIMAGE_FORMAT_TIF, rgb));
    rgb.SetCodecOption(0);
    rgb.SetXDPI(200);
    std::string jpeg = EncodeAs(rgb, PXIMAGE_FORMAT_TIF);
    TiffTags tags = ReadTags(jpeg);
    EXPECT_EQ(tags.compression, COMPRESSION_JPEG);
    EXPECT_EQ(tags.rowsPerStrip % 8, 0u);
    PxImage rgbBack;
    ASSERT_TRUE(DecodeAs(jpeg, PXIMAGE_FORMAT_TIF, rgbBack));
    EXPECT_LE(MaxChannelDifference(ToRgba(rgb), ToRgba(rgbBack)), 60);
    EXPECT_EQ(rgbBack.info.xDpi, 200);
    rgb.SetCodecOption(COMPRESSION_LZW);
    rgb.AlphaCreate();
    for (size_t i = 0; i < 13 * 11; ++i) rgb.alpha[i] = (BYTE)(i * 7);
    std::string lossless = EncodeAs(rgb, PXIMAGE_FORMAT_TIF);
    EXPECT_EQ(ReadTags(lossless).samples, 4);
    ASSERT_TRUE(DecodeAs(lossless, PXIMAGE_FORMAT_TIF, rgbBack));
    EXPECT_TRUE(NearStraightAlpha(ToRgba(rgb), ToRgba(rgbBack)));
}

// A stream that already holds a TIFF gets a further page.
TEST(TiffEncode, AppendsPages)
{
    PxImage first, second;
    ASSERT_TRUE(DecodeAs(Fixture("t_pal8.tif"), PXIMAGE_FORMAT_TIF, first));
    ASSERT_TRUE(DecodeAs(Fixture("t_grey8.tif"), PXIMAGE_FORMAT_TIF, second));
    PxMemFile out((BYTE*)malloc(1), 0);
    out.ownsBuffer = true;
    ASSERT_TRUE(first.Encode(&out, PXIMAGE_FORMAT_TIF)) << first.GetLastErrorText();
    ASSERT_TRUE(out.Seek(0, 0));
    ASSERT_TRUE(second.Encode(&out, PXIMAGE_FORMAT_TIF)) << second.GetLastErrorText();
    const std::string bytes((const char*)out.buffer, (size_t)out.size);
    for (int page = 0; page < 2; ++page) {
        PxImage back;
        back.info.frame = page;
        ASSERT_TRUE(DecodeAs(bytes, PXIMAGE_FORMAT_TIF, back)) << page;
        EXPECT_EQ(back.GetFrameCount(), 2);
        EXPECT_TRUE(SamePicture(ToRgba(page == 0 ? first : second), ToRgba(back)));
    }
}

TEST(TiffEncode, WriteFailures)
{
    PxImage image;
    ASSERT_TRUE(DecodeAs(Fixture("t_pal8.tif"), PXIMAGE_FORMAT_TIF, image));
    const size_t full = EncodeAs(image, PXIMAGE_FORMAT_TIF).size();
    ASSERT_GT(full, 0u);
    for (size_t n : {(size_t)0, (size_t)8, full / 2, full - 1}) {
        RefusingStream file(n);
        EXPECT_FALSE(image.Encode(&file, PXIMAGE_FORMAT_TIF)) << n;
        const std::string text = image.GetLastErrorText();
        EXPECT_TRUE(text == "Error saving TIFF file" || text == "initialization fail") << text;
    }
    PxImage empty;
    PxMemFile out;
    EXPECT_FALSE(empty.Encode(&out, PXIMAGE_FORMAT_TIF));
    EXPECT_STREQ(empty.GetLastErrorText(), "null image!!!");
}

// Colour pictures turn as the palette ones do: the rows of the palette
// picture of the orientation fixtures, as 8-bit RGB (read as they stand),
// with alpha, and as 16-bit RGB (through the library's RGBA reader), with
// each orientation tag.
TEST(TiffDecode, ColourOrientationsMatchThePaletteOnes)
{
    const Rgba stored = RawFixture("t_or1", 13, 11);
    ASSERT_EQ(stored.width, 13);
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        const bool turned = o >= 5;
        const Rgba expected = RawFixture("t_or" + std::to_string(o), turned ? 11 : 13, turned ? 13 : 11);
        for (int bits : {8, 16}) {
            for (bool withAlpha : {false, true}) {
                SCOPED_TRACE(::testing::Message() << bits << " bits, alpha " << withAlpha);
                PxImage image;
                ASSERT_TRUE(DecodeAs(ColourTiff(stored, bits, withAlpha, o), PXIMAGE_FORMAT_TIF, image))
                    << image.GetLastErrorText();
                EXPECT_EQ(image.GetBpp(), 24u);
                EXPECT_TRUE(SamePicture(expected, ToRgba(image)));
            }
        }
    }
}

// RGBA written by the library comes back the same, colours under low and
// zero alpha included.
TEST(TiffEncode, RgbaRoundTripKeepsEveryPixel)
{
    PxImage image(37, 9, 24, PXIMAGE_FORMAT_TIF);
    ASSERT_TRUE(image.AlphaCreate());
    for (LONG y = 0; y < 9; ++y)
        for (LONG x = 0; x < 37; ++x) {
            const int i = y * 37 + x;
            image.SetPixelColor(x, y, PxRgbQuad{(BYTE)(i * 7), (BYTE)(255 - i), (BYTE)(i * 13 + 5), 0});
            image.alpha[i] = (BYTE)(i % 256);
        }
    for (DWORD compression : {(DWORD)COMPRESSION_NONE, (DWORD)COMPRESSION_LZW, (DWORD)COMPRESSION_ADOBE_DEFLATE}) {
        SCOPED_TRACE(compression);
        image.SetCodecOption(compression);
        const std::string bytes = EncodeAs(image, PXIMAGE_FORMAT_TIF);
        ASSERT_FALSE(bytes.empty()) << image.GetLastErrorText();
        PxImage back;
        ASSERT_TRUE(DecodeAs(bytes, PXIMAGE_FORMAT_TIF, back)) << back.GetLastErrorText();
        ASSERT_EQ(back.GetBpp(), 24u);
        ASSERT_NE(back.alpha, nullptr);
        for (LONG y = 0; y < 9; ++y)
            for (LONG x = 0; x < 37; ++x) {
                ASSERT_EQ(back.GetPixelColor(x, y, false), image.GetPixelColor(x, y, false)) << x << "," << y;
                ASSERT_EQ(back.alpha[y * 37 + x], image.alpha[y * 37 + x]) << x << "," << y;
            }
    }
}

// A JPEG strip of a few dozen bytes claiming 16000 x 16000 samples cannot
// hold them: the strip is not read, instead of being padded out. Fax data
// codes a row in a bit at least: two bytes give 16 rows of a strip claiming
// 16000, and only those are turned into place.
TEST(TiffDecode, StripsTooShortForTheirRows)
{
    const std::string fax = TiffFile(16000, 16000, "\xFF\xFF",
                                     {{258, 3, 1, Le16(1)}, {259, 3, 1, Le16(COMPRESSION_CCITTFAX4)},
                                      {262, 3, 1, Le16(PHOTOMETRIC_MINISWHITE)}, {274, 3, 1, Le16(6)},
                                      {277, 3, 1, Le16(1)}});
    // The first TIFF read loads the GeoTIFF library: pages of the process,
    // not of the picture.
    PxImage first;
    ASSERT_TRUE(DecodeAs(Fixture("t_pal8.tif"), PXIMAGE_FORMAT_TIF, first)) << first.GetLastErrorText();
    {
        const ResidentPeak before;
        const HeapPeak heap;
        PxImage image;
        ASSERT_TRUE(DecodeAs(fax, PXIMAGE_FORMAT_TIF, image)) << image.GetLastErrorText();
        EXPECT_LT(before.Growth(), SmallGrowth(16000LL * 16000 / 8));
        EXPECT_LE(heap.Growth(), kDecodeHeapLimit);
        EXPECT_EQ(image.GetBpp(), 1u);
        EXPECT_EQ(image.GetPixelColor(15999, 0, false), (PxRgbQuad{255, 255, 255, 0}));
    }

    // A grey baseline JPEG whose frame header claims 16000 x 16000 and whose
    // scan holds a few bytes.
    std::string jpeg = Fixture("jgrey.jpg");
    const size_t sof = jpeg.find("\xFF\xC0");
    const size_t sos = jpeg.find("\xFF\xDA");
    ASSERT_NE(sof, std::string::npos);
    ASSERT_NE(sos, std::string::npos);
    jpeg.replace(sof + 5, 4, std::string("\x3E\x80\x3E\x80", 4));
    const size_t scan = sos + 2 + (((unsigned char)jpeg[sos + 2] << 8) | (unsigned char)jpeg[sos + 3]);
    jpeg = jpeg.substr(0, scan + 8) + "\xFF\xD9";
    const std::string tiff = TiffFile(16000, 16000, jpeg,
                                      {{258, 3, 1, Le16(8)}, {259, 3, 1, Le16(COMPRESSION_JPEG)},
                                       {262, 3, 1, Le16(PHOTOMETRIC_MINISBLACK)}, {277, 3, 1, Le16(1)}});
    const ResidentPeak before;
    const HeapPeak heap;
    PxImage image;
    EXPECT_FALSE(DecodeAs(tiff, PXIMAGE_FORMAT_TIF, image));
    EXPECT_STREQ(image.GetLastErrorText(), "Corrupted TIFF file!");
    EXPECT_LT(before.Growth(), SmallGrowth(2 * 16000LL * 16000));
    EXPECT_LE(heap.Growth(), kDecodeHeapLimit);
}

// A strip of a few bytes under a 20000 x 20000 header, in each way a strip
// is read: as stored, through the library's RGBA reader (turned, CMYK),
// with alpha, compressed, and as palette indices. None is readable, and
// none takes more than the memory limit or touches the picture it claims.
TEST(TiffDecode, HostileHeadersStayWithinTheMemoryLimit)
{
    const std::string rgb8 = Le16(8) + Le16(8) + Le16(8), rgb16 = Le16(16) + Le16(16) + Le16(16);
    const std::string four8 = rgb8 + Le16(8);
    const struct Case {
        const char* name;
        std::string strip;
        std::vector<TiffEntry> entries;
    } cases[] = {
        {"RGB", std::string(30, '\x01'),
         {{258, 3, 3, rgb8}, {259, 3, 1, Le16(1)}, {262, 3, 1, Le16(2)}, {277, 3, 1, Le16(3)}}},
        {"RGB16 turned", std::string(30, '\x01'),
         {{258, 3, 3, rgb16}, {259, 3, 1, Le16(1)}, {262, 3, 1, Le16(2)}, {274, 3, 1, Le16(6)}, {277, 3, 1, Le16(3)}}},
        {"RGBA LZW", std::string("\x80\x00\x00\x00", 4),
         {{258, 3, 4, four8}, {259, 3, 1, Le16(COMPRESSION_LZW)}, {262, 3, 1, Le16(2)}, {277, 3, 1, Le16(4)},
          {338, 3, 1, Le16(EXTRASAMPLE_UNASSALPHA)}}},
        {"CMYK", std::string(30, '\x01'),
         {{258, 3, 4, four8}, {259, 3, 1, Le16(1)}, {262, 3, 1, Le16(5)}, {277, 3, 1, Le16(4)}}},
        {"grey deflate", std::string("\x78\x9c\x03\x00", 4),
         {{258, 3, 1, Le16(8)}, {259, 3, 1, Le16(COMPRESSION_ADOBE_DEFLATE)}, {262, 3, 1, Le16(1)}, {277, 3, 1, Le16(1)}}},
        {"palette", std::string(16, '\x01'),
         {{258, 3, 1, Le16(4)}, {259, 3, 1, Le16(1)}, {262, 3, 1, Le16(3)}, {277, 3, 1, Le16(1)},
          {320, 3, 48, std::string(96, '\x7F')}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string tiff = TiffFile(20000, 20000, c.strip, c.entries);
        const ResidentPeak before;
        const HeapPeak heap;
        PxImage image;
        EXPECT_FALSE(DecodeAs(tiff, PXIMAGE_FORMAT_TIF, image));
        EXPECT_LE(heap.Growth(), kDecodeHeapLimit);
        EXPECT_LT(before.Growth(), SmallGrowth(4 * 20000LL * 20000));
    }
}

// One uncompressed strip of 10 bytes listed for a picture whose header
// claims four million rows of 5 a strip: the strips the file does not list
// hold nothing, so decoding stops after the rows of the listed strip instead of reading
// the file's first bytes again for every strip.
TEST(TiffDecode, UnlistedUncompressedStripsEndThePicture)
{
    const std::string file = TiffFile(7, 4000000, std::string(10, '\xFF'),
                                      {{258, 3, 1, Le16(1)}, {259, 3, 1, Le16(1)},
                                       {262, 3, 1, Le16(PHOTOMETRIC_MINISBLACK)}, {274, 3, 1, Le16(6)},
                                       {277, 3, 1, Le16(1)}},
                                      5);
    PxImage image;
    ASSERT_TRUE(DecodeAs(file, PXIMAGE_FORMAT_TIF, image)) << image.GetLastErrorText();
    ASSERT_EQ(image.GetWidth(), 4000000u);  // turned: file rows run along x
    ASSERT_EQ(image.GetHeight(), 7u);
    // Orientation 6 puts file row r at x = width - 1 - r.
    for (uint32_t r : {0u, 4u})
        for (LONG y = 0; y < 7; ++y) EXPECT_EQ(image.GetPixelIndex((LONG)(3999999 - r), y), 1) << r << "," << y;
    size_t lit = 0;
    for (uint32_t r = 5; r < 4000; ++r)
        for (LONG y = 0; y < 7; ++y) lit += image.GetPixelIndex((LONG)(3999999 - r), y) != 0;
    EXPECT_EQ(lit, 0u);
}
