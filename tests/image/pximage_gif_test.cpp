#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "codec_test_support.h"
#include "image/pximage_gif.h"

using namespace imagetest;

namespace {

std::string Le16(unsigned v) { return std::string{(char)(v & 0xFF), (char)(v >> 8)}; }

Rgba DecodeFrame(const std::string& bytes, int frame)
{
    PxImage image;
    image.info.frame = frame;
    if (!DecodeAs(bytes, PXIMAGE_FORMAT_GIF, image)) return Rgba();
    return ToRgba(image);
}

// A paletted picture of random indices with some long flat runs.
PxImage* RandomPicture(DWORD width, DWORD height, DWORD bpp, unsigned seed)
{
    PxImage* image = new PxImage(width, height, bpp, PXIMAGE_FORMAT_GIF);
    for (DWORD i = 0; i < image->header.clrUsed; ++i)
        image->SetPaletteColor((BYTE)i, PxRgbQuad{(BYTE)(i * 7), (BYTE)(255 - i), (BYTE)(i * 13), 0});
    std::mt19937 random(seed);
    const int colours = (int)image->header.clrUsed;
    for (LONG y = 0; y < (LONG)height; ++y) {
        const bool flat = y % 5 == 2;
        for (LONG x = 0; x < (LONG)width; ++x)
            image->SetPixelIndex(x, y, (BYTE)(flat ? y % colours : random() % colours));
    }
    return image;
}

// Image data coding each index as a literal of a fixed width: a clear code
// before every run short enough that the code table never widens them.
std::string LzwLiterals(int minimum, const std::vector<uint8_t>& indices)
{
    const int width = minimum + 1, clear = 1 << minimum, run = (1 << minimum) - 2;
    std::string bytes;
    uint32_t bits = 0;
    int count = 0;
    auto put = [&](int code) {
        bits |= (uint32_t)code << count;
        for (count += width; count >= 8; count -= 8, bits >>= 8) bytes += (char)(bits & 0xFF);
    };
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % run == 0) put(clear);
        put(indices[i]);
    }
    put(clear + 1);
    if (count > 0) bytes += (char)(bits & 0xFF);
    std::string data(1, (char)minimum);
    for (size_t at = 0; at < bytes.size(); at += 255) {
        const std::string block = bytes.substr(at, 255);
        data += (char)block.size() + block;
    }
    return data + std::string(1, '\0');
}

// A graphic control block: disposal method, and a transparent index when >= 0.
std::string Control(int disposal, int transparent = -1)
{
    return std::string("\x21\xF9\x04", 3) + (char)(disposal << 2 | (transparent >= 0 ? 1 : 0)) + Le16(0) +
           (char)(transparent >= 0 ? transparent : 0) + std::string(1, '\0');
}

// An image descriptor (with a local table of 4 entries when asked) and its data.
std::string Frame(unsigned left, unsigned top, unsigned width, unsigned height, const std::vector<uint8_t>& indices,
                  bool localTable = false)
{
    std::string local = localTable ? std::string("\x00\x00\x00\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF", 12) : "";
    return "," + Le16(left) + Le16(top) + Le16(width) + Le16(height) + (char)(localTable ? 0x81 : 0) + local +
           LzwLiterals(2, indices);
}

// A screen with a global table of black, red, green and blue, or none.
std::string Screen(unsigned width, unsigned height, bool globalTable = true)
{
    return "GIF89a" + Le16(width) + Le16(height) + (char)(globalTable ? 0x81 : 0) + std::string(2, '\0') +
           (globalTable ? std::string("\x00\x00\x00\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF", 12) : "");
}

bool SameIndices(const PxImage& a, const PxImage& b)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
    for (LONG y = 0; y < (LONG)a.GetHeight(); ++y)
        for (LONG x = 0; x < (LONG)a.GetWidth(); ++x)
            if (a.GetPixelIndex(x, y) != b.GetPixelIndex(x, y)) return false;
    return true;
}

}  // namespace

TEST(GifDecode, MatchesImageMagick)
{
    for (const char* name : {"gif2", "gif16", "gif256", "gif256i", "gif16i"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(SamePicture(RawFixture(name, 13, 11), DecodeFrame(Fixture(std::string(name) + ".gif"), 0)));
    }
    // Interlaced pictures of every height up to 9 rows: each pass's rows land
    // where they belong.
    for (int n = 1; n <= 9; ++n) {
        SCOPED_TRACE(n);
        std::string name = "inter" + std::to_string(n);
        EXPECT_TRUE(SamePicture(RawFixture(name, 3, n), DecodeFrame(Fixture(name + ".gif"), 0)));
    }
    PxImage detected;
    ASSERT_TRUE(DecodeAs(Fixture("gif16.gif"), PXIMAGE_FORMAT_UNKNOWN, detected));
    EXPECT_EQ(detected.GetType(), PXIMAGE_FORMAT_GIF);
    EXPECT_EQ(detected.GetBpp(), 4u);
}

// Each frame composed with the ones before it (offsets, transparency,
// disposal none, background and previous), against ImageMagick's coalesced
// frames.
TEST(GifDecode, AnimationFrames)
{
    const std::string anim = Fixture("anim.gif");
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(SamePicture(RawFixture("anim_" + std::to_string(k), 13, 11), DecodeFrame(anim, k)));
    }
    PxImageGIF codec;
    codec.info.frame = 3;
    codec.info.getAllFrames = true;
    PxMemFile file((BYTE*)anim.data(), (DWORD)anim.size());
    ASSERT_TRUE(codec.Decode(&file));
    ASSERT_EQ(codec.GetFrameCount(), 4);
    ASSERT_NE(codec.frames, nullptr);
    for (int k = 0; k < 4; ++k)
        EXPECT_TRUE(SamePicture(RawFixture("anim_" + std::to_string(k), 13, 11), ToRgba(*codec.frames[k]))) << k;
    EXPECT_EQ(codec.loops, 2);  // as ImageMagick stores -loop 3
    EXPECT_EQ(codec.info.frameDelay, 9u);

    // A frame beyond the last fails, and the load tells how many there are.
    PxImage image;
    image.info.frame = 4;
    EXPECT_FALSE(DecodeAs(anim, PXIMAGE_FORMAT_GIF, image));
    EXPECT_STREQ(image.GetLastErrorText(), "frame not present");
    EXPECT_EQ(image.GetFrameCount(), 4);
}

TEST(GifDecode, HeaderOnlyScreenAndRefusals)
{
    PxImage header;
    header.info.escape = -1;
    ASSERT_TRUE(DecodeAs(Fixture("anim.gif"), PXIMAGE_FORMAT_GIF, header));
    EXPECT_EQ(header.GetWidth(), 13u);
    EXPECT_EQ(header.GetHeight(), 11u);
    EXPECT_EQ(header.dib, nullptr);

    // A 0 × 0 screen takes the size of its first image.
    std::string gif = Fixture("gif16.gif");
    gif.replace(6, 4, std::string(4, '\0'));
    PxImage zero;
    ASSERT_TRUE(DecodeAs(gif, PXIMAGE_FORMAT_GIF, zero)) << zero.GetLastErrorText();
    EXPECT_TRUE(SamePicture(RawFixture("gif16", 13, 11), ToRgba(zero)));

    PxImage image;
    EXPECT_FALSE(DecodeAs("GIF7" + gif.substr(4), PXIMAGE_FORMAT_GIF, image));
    EXPECT_STREQ(image.GetLastErrorText(), "Not a GIF");
    image.info.escape = 1;
    EXPECT_FALSE(DecodeAs(Fixture("gif16.gif"), PXIMAGE_FORMAT_GIF, image));
    EXPECT_STREQ(image.GetLastErrorText(), "Cancelled");
    // A screen of 65535 × 65535 is not composed.
    std::string huge = Fixture("gif16.gif");
    huge.replace(6, 4, "\xFF\xFF\xFF\xFF");
    PxImage big;
    EXPECT_FALSE(DecodeAs(huge, PXIMAGE_FORMAT_GIF, big));
    EXPECT_STREQ(big.GetLastErrorText(), "GIF screen too large");
}

TEST(GifDecode, DamagedData)
{
    // A code far above the next free slot is patched, and the next image is
    // found by its separator.
    std::string gif = "GIF89a" + Le16(2) + Le16(1) + std::string("\x80\x00\x00", 3) +
                      std::string("\x00\x00\x00\xFF\xFF\xFF", 6);
    std::string image = "," + Le16(0) + Le16(0) + Le16(2) + Le16(1) + std::string(1, '\0');
    // Code size 2: clear (4), 1, then code 7 (beyond slot 6), end.
    std::string broken = image + "\x02\x02" + std::string("\xCC\x0B", 2) + std::string(1, '\0');
    // Clear, 0, 1, end.
    std::string good = image + "\x02\x02" + std::string("\x44\x0A", 2) + std::string(1, '\0');
    PxImage decoded;
    decoded.info.frame = 1;
    ASSERT_TRUE(DecodeAs(gif + broken + good + ";", PXIMAGE_FORMAT_GIF, decoded)) << decoded.GetLastErrorText();
    EXPECT_EQ(decoded.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(decoded.GetPixelIndex(1, 0), 1);

    for (const char* name : {"anim.gif", "gif256i.gif", "gif2.gif"}) {
        SCOPED_TRACE(name);
        DecodeDamaged(Fixture(name), PXIMAGE_FORMAT_GIF, 2);
    }
}

// Every coder, at every depth and at sizes that force code-table clears,
// decodes to the same indices.
TEST(GifEncode, EveryCoderRoundTrips)
{
    const std::pair<DWORD, DWORD> sizes[] = {{1, 1}, {1, 40}, {13, 11}, {200, 120}};
    for (DWORD coder : {0u, 1u, 2u}) {
        for (DWORD bpp : {1u, 4u, 8u}) {
            for (auto size : sizes) {
                SCOPED_TRACE(::testing::Message() << "coder " << coder << ", " << bpp << " bits, " << size.first << "x"
                                                  << size.second);
                PxImage* image = RandomPicture(size.first, size.second, bpp, coder * 100 + bpp);
                image->info.codecOptions[2] = coder;
                std::string bytes = EncodeAs(*image, PXIMAGE_FORMAT_GIF);
                ASSERT_FALSE(bytes.empty()) << image->GetLastErrorText();
                EXPECT_EQ(bytes[bytes.size() - 1], ';');
                PxImage back;
                ASSERT_TRUE(DecodeAs(bytes, PXIMAGE_FORMAT_GIF, back)) << back.GetLastErrorText();
                EXPECT_TRUE(SameIndices(*image, back));
                EXPECT_TRUE(SamePicture(ToRgba(*image), ToRgba(back)));
                delete image;
            }
        }
    }
    // A long flat picture: the run-length coder's table runs.
    PxImage flat(300, 200, 8, PXIMAGE_FORMAT_GIF);
    flat.SetPaletteColor(3, PxRgbQuad{1, 2, 3, 0});
    flat.Clear(3);
    for (LONG x = 0; x < 300; x += 37) flat.SetPixelIndex(x, 100, 1);
    flat.info.codecOptions[2] = 2;
    PxImage back;
    std::string bytes = EncodeAs(flat, PXIMAGE_FORMAT_GIF);
    ASSERT_TRUE(DecodeAs(bytes, PXIMAGE_FORMAT_GIF, back));
    EXPECT_TRUE(SameIndices(flat, back));
    EXPECT_LT(bytes.size(), 3000u);
}

TEST(GifEncode, BlocksAndCodeSizes)
{
    PxImage bits(4, 2, 1, PXIMAGE_FORMAT_GIF);
    bits.SetPaletteColor(1, PxRgbQuad{255, 255, 255, 0});
    std::string one = EncodeAs(bits, PXIMAGE_FORMAT_GIF);
    ASSERT_GT(one.size(), 40u);
    EXPECT_EQ(one.substr(0, 6), "GIF89a");
    EXPECT_EQ((BYTE)one[10], 0x80);  // global table of 2 entries
    // Control block without transparency: flags 0, index 255.
    const size_t control = 13 + 6;
    EXPECT_EQ(one.substr(control, 3), "\x21\xF9\x04");
    EXPECT_EQ((BYTE)one[control + 3], 0);
    EXPECT_EQ((BYTE)one[control + 6], 255);
    EXPECT_EQ((BYTE)one[control + 8 + 10], 2);  // initial code size of a 1-bit image

    PxImage eight(3, 3, 8, PXIMAGE_FORMAT_GIF);
    eight.info.backgroundIndex = 4;
    eight.info.disposal = 2;
    std::string e = EncodeAs(eight, PXIMAGE_FORMAT_GIF);
    const size_t c8 = 13 + 3 * 256;
    EXPECT_EQ((BYTE)e[c8 + 3], (2 << 2) | 1);
    EXPECT_EQ((BYTE)e[c8 + 6], 4);
    EXPECT_EQ((BYTE)e[c8 + 8 + 10], 8);

    // A comment of 300 characters is written cut to 255.
    PxImageGIF codec;
    codec.ShareFrom(&eight);
    memset(codec.comment, 'c', 255);
    codec.comment[255] = 0;
    PxMemFile out((BYTE*)malloc(1), 0);
    out.ownsBuffer = true;
    ASSERT_TRUE(codec.Encode(&out));
    std::string withComment((const char*)out.buffer, (size_t)out.size);
    size_t at = withComment.find("\x21\xFE");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ((BYTE)withComment[at + 2], 255);
    PxImageGIF reader;
    PxMemFile in((BYTE*)withComment.data(), (DWORD)withComment.size());
    ASSERT_TRUE(reader.Decode(&in));
    EXPECT_EQ(strlen(reader.comment), 255u);
}

TEST(GifEncode, TrueColourMosaic)
{
    PxImage rgb(34, 30, 24, PXIMAGE_FORMAT_GIF);
    for (LONG y = 0; y < 30; ++y)
        for (LONG x = 0; x < 34; ++x) rgb.SetPixelColor(x, y, PxRgbQuad{(BYTE)(x * 7), (BYTE)(y * 8), (BYTE)(x * y), 0});
    std::string bytes = EncodeAs(rgb, PXIMAGE_FORMAT_GIF);
    size_t images = 0;
    for (size_t at = bytes.find("\x21\xF9"); at != std::string::npos; at = bytes.find("\x21\xF9", at + 1)) {
        ASSERT_EQ(bytes[at + 8], ',');
        EXPECT_EQ(bytes.substr(at + 13, 4), Le16(17) + Le16(15));
        EXPECT_EQ((BYTE)bytes[at + 17], 0x87);  // a local table of 256 entries
        ++images;
    }
    EXPECT_EQ(images, 4u);
    PxImage back;
    ASSERT_TRUE(DecodeAs(bytes, PXIMAGE_FORMAT_GIF, back)) << back.GetLastErrorText();
    EXPECT_EQ(back.GetBpp(), 24u);
    EXPECT_TRUE(SamePicture(ToRgba(rgb), ToRgba(back)));
}

TEST(GifEncode, Animations)
{
    PxImage* first = RandomPicture(6, 5, 8, 1);
    PxImage* second = RandomPicture(6, 5, 8, 2);
    second->SetPaletteColor(0, PxRgbQuad{9, 9, 9, 0});  // colours of its own
    PxImage host(*first);
    host.frames = (PxImage**)calloc(2, sizeof(PxImage*));
    host.frames[0] = first;
    host.frames[1] = second;
    host.info.frameCount = 2;
    std::string bytes = EncodeAs(host, PXIMAGE_FORMAT_GIF);
    ASSERT_FALSE(bytes.empty()) << host.GetLastErrorText();
    EXPECT_NE(bytes.find("NETSCAPE2.0"), std::string::npos);
    EXPECT_TRUE(SamePicture(ToRgba(*first), DecodeFrame(bytes, 0)));
    EXPECT_TRUE(SamePicture(ToRgba(*second), DecodeFrame(bytes, 1)));

    PxImage* rgb = new PxImage(6, 5, 24, PXIMAGE_FORMAT_GIF);
    delete host.frames[1];
    host.frames[1] = rgb;
    EXPECT_TRUE(EncodeAs(host, PXIMAGE_FORMAT_GIF).empty());
    EXPECT_STREQ(host.GetLastErrorText(),
                 "PxImageGIF::Encode cannot create animated GIFs with a true color frame. Use DecreaseBpp before");
}

TEST(GifEncode, WriteFailures)
{
    PxImage* image = RandomPicture(40, 30, 8, 5);
    for (DWORD coder : {0u, 1u, 2u}) {
        image->info.codecOptions[2] = coder;
        const size_t full = EncodeAs(*image, PXIMAGE_FORMAT_GIF).size();
        for (size_t n : {(size_t)0, (size_t)5, (size_t)800, full / 2, full - 1}) {
            RefusingStream file(n);
            EXPECT_FALSE(image->Encode(&file, PXIMAGE_FORMAT_GIF)) << coder << " " << n;
            EXPECT_STREQ(image->GetLastErrorText(), "Error writing GIF file");
        }
    }
    delete image;
    PxImage empty;
    PxMemFile out;
    EXPECT_FALSE(empty.Encode(&out, PXIMAGE_FORMAT_GIF));
    EXPECT_STREQ(empty.GetLastErrorText(), "null image!!!");
}

// A first frame to be disposed of by "previous": the screen it gives back
// keeps the screen's colours, so later frames are painted in them; a frame
// disposed of to the background clears its own rectangle.
TEST(GifDecode, DisposalToPreviousAndBackground)
{
    // The screen starts as index 3 (blue), the first frame covers it red,
    // the second paints two green pixels on the screen given back.
    const std::string gif = Screen(4, 2) + Control(3, -1).replace(6, 1, 1, '\x03') +
                            Frame(0, 0, 4, 2, std::vector<uint8_t>(8, 1)) + Control(0) +
                            Frame(1, 0, 2, 1, {2, 2}) + ";";
    PxImageGIF codec;
    codec.info.frame = 1;
    codec.info.getAllFrames = true;
    PxMemFile file((BYTE*)gif.data(), (DWORD)gif.size());
    ASSERT_TRUE(codec.Decode(&file)) << codec.GetLastErrorText();
    const PxRgbQuad red{0, 0, 255, 0}, green{0, 255, 0, 0}, blue{255, 0, 0, 0};
    ASSERT_EQ(codec.GetFrameCount(), 2);
    for (LONG y = 0; y < 2; ++y)
        for (LONG x = 0; x < 4; ++x) {
            EXPECT_EQ(codec.frames[0]->GetPixelColor(x, y, false), red) << x << "," << y;
            const bool painted = y == 1 && (x == 1 || x == 2);
            EXPECT_EQ(codec.GetPixelColor(x, y, false), painted ? green : blue) << x << "," << y;
            EXPECT_EQ(codec.frames[1]->GetPixelColor(x, y, false), painted ? green : blue) << x << "," << y;
        }

    // A frame disposed of to the background at an odd offset on a 4-bit
    // screen: its rectangle, and only that, goes back to index 0 (black).
    const std::string boxed = Screen(6, 5) + Control(1) + Frame(0, 0, 6, 5, std::vector<uint8_t>(30, 3)) +
                              Control(2) + Frame(1, 1, 3, 3, std::vector<uint8_t>(9, 1)) + Control(0) +
                              Frame(5, 4, 1, 1, {2}) + ";";
    PxImage third;
    third.info.frame = 2;
    ASSERT_TRUE(DecodeAs(boxed, PXIMAGE_FORMAT_GIF, third)) << third.GetLastErrorText();
    ASSERT_EQ(third.GetBpp(), 4u);
    for (LONG y = 0; y < 5; ++y)
        for (LONG x = 0; x < 6; ++x) {
            const LONG fromTop = 4 - y;
            const bool cleared = x >= 1 && x <= 3 && fromTop >= 1 && fromTop <= 3;
            const PxRgbQuad expected = x == 5 && fromTop == 4 ? green : cleared ? PxRgbQuad{0, 0, 0, 0} : blue;
            EXPECT_EQ(third.GetPixelColor(x, y, false), expected) << x << "," << fromTop;
        }
}

// A few bytes of header claiming large screens and frames cost what the
// data holds, not what the header claims.
TEST(GifDecode, HostileHeadersCostWhatTheDataHolds)
{
    // A presumed true-colour mosaic: frames nearly as large as an 8000 x
    // 8000 screen, with four pixels of data each. Only those are painted.
    std::string mosaic = Screen(8000, 8000, false);
    for (int i = 0; i < 3; ++i) mosaic += Frame(0, 0, 7999, 7999, {1, 2, 3, 1}, true);
    mosaic += ";";
    const ResidentPeak before;
    const HeapPeak heap;
    PxImage picture;
    ASSERT_TRUE(DecodeAs(mosaic, PXIMAGE_FORMAT_GIF, picture)) << picture.GetLastErrorText();
    EXPECT_LT(before.Growth(), SmallGrowth(8000LL * 8000 * 3 + 7999LL * 8000));
    EXPECT_LE(heap.Growth(), kDecodeHeapLimit);
    EXPECT_EQ(picture.GetBpp(), 24u);
    EXPECT_EQ(picture.GetPixelColor(2, 7999, false), (PxRgbQuad{255, 0, 0, 0}));
    EXPECT_EQ(picture.GetPixelColor(4, 7999, false), (PxRgbQuad{0, 0, 0, 0}));

    // Every frame kept is a copy of the screen: 70 copies of 32 MB are
    // refused before any is made.
    std::string many = Screen(8000, 8000);
    for (int i = 0; i < 70; ++i) many += Frame(0, 0, 1, 1, {1});
    many += ";";
    {
        const HeapPeak heap;
        PxImage all;
        all.info.getAllFrames = true;
        all.info.frame = 69;
        EXPECT_FALSE(DecodeAs(many, PXIMAGE_FORMAT_GIF, all));
        EXPECT_STREQ(all.GetLastErrorText(), "PXIMAGE_MAX_MEMORY exceeded");
        EXPECT_LE(heap.Growth(), kDecodeHeapLimit);
    }
    // Asking for the last frame alone keeps nothing and composes it.
    PxImage last;
    last.info.frame = 69;
    const ResidentPeak start;
    ASSERT_TRUE(DecodeAs(many, PXIMAGE_FORMAT_GIF, last)) << last.GetLastErrorText();
    EXPECT_EQ(last.GetPixelColor(0, 7999, false), (PxRgbQuad{0, 0, 255, 0}));
    EXPECT_LT(start.Growth(), SmallGrowth(8000LL * 4000 * 2));
}
