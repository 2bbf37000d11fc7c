#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "image/pximage.h"
#include "image_test_support.h"
#include "module_resources.h"
#include "standin_control.h"
#include "test_support.h"

using namespace imagetest;

TEST(PxImageDecode, DetectionTriesEachFormatFromTheSamePlace)
{
    std::string bytes = "12345" + Fixture("p4.png");
    PxMemFile file((BYTE*)bytes.data(), (DWORD)bytes.size());
    ASSERT_TRUE(file.Seek(5, 0));
    PxImage image;
    ASSERT_TRUE(image.Decode(&file, PXIMAGE_FORMAT_UNKNOWN)) << image.GetLastErrorText();
    EXPECT_EQ(image.GetType(), PXIMAGE_FORMAT_PNG);
    EXPECT_TRUE(SamePicture(FixturePixels("p4"), ToRgba(image)));

    // Nothing recognised: every attempt is undone, the picture kept.
    std::string garbage = "12345 this is not an image at all, in any format";
    PxMemFile other((BYTE*)garbage.data(), (DWORD)garbage.size());
    other.Seek(5, 0);
    BYTE* dib = image.dib;
    EXPECT_FALSE(image.Decode(&other, PXIMAGE_FORMAT_UNKNOWN));
    EXPECT_STREQ(image.GetLastErrorText(), "Decode: Unknown or wrong format");
    EXPECT_EQ(other.Tell(), 5);
    EXPECT_EQ(image.dib, dib);
}

TEST(PxImageDecode, NamedFormats)
{
    std::string bmp = "BM" + std::string(60, '\0');
    PxMemFile file((BYTE*)bmp.data(), (DWORD)bmp.size());
    PxImage image;
    EXPECT_FALSE(image.Decode(&file, PXIMAGE_FORMAT_PNG));
    EXPECT_STREQ(image.GetLastErrorText(), "Not a PNG file");
    EXPECT_NE(file.Tell(), 0);  // left where the decoder stopped

    EXPECT_FALSE(image.Decode(&file, 5));
    EXPECT_STREQ(image.GetLastErrorText(), "Decode: Unknown or wrong format");
    EXPECT_FALSE(image.Decode((PxFile*)nullptr, PXIMAGE_FORMAT_PNG));
    EXPECT_STREQ(image.GetLastErrorText(), "null file handler");

    // Formats whose codec is not built refuse with their own text.
    file.Seek(0, 0);
    EXPECT_FALSE(image.Decode(&file, PXIMAGE_FORMAT_BMP));
    EXPECT_STREQ(image.GetLastErrorText(), "BMP codec not available");
    EXPECT_FALSE(image.Decode(&file, PXIMAGE_FORMAT_TIF));
    EXPECT_STREQ(image.GetLastErrorText(), "TIFF codec not available");

    PxImage picture;
    ASSERT_TRUE(DecodePng(Fixture("g4.png"), picture));
    PxMemFile out((BYTE*)malloc(1), 0);
    out.ownsBuffer = true;
    EXPECT_FALSE(picture.Encode(&out, PXIMAGE_FORMAT_JPG));
    EXPECT_STREQ(picture.GetLastErrorText(), "JPEG codec not available");
    for (DWORD type : {0u, 5u, 7u}) {
        EXPECT_FALSE(picture.Encode(&out, type));
        EXPECT_STREQ(picture.GetLastErrorText(), "Encode: Unknown format");
    }
}

TEST(PxImageFiles, SaveAndLoad)
{
    velktest::WriteNativeFile(standin::NativePath(L"C:\\icons\\keep.txt"), "");
    PxImage image;
    ASSERT_TRUE(DecodePng(Fixture("pt3.png"), image));
    ASSERT_TRUE(image.Save(L"C:\\icons\\a.png", PXIMAGE_FORMAT_PNG)) << image.GetLastErrorText();
    std::string saved = velktest::ReadNativeFile(standin::NativePath(L"C:\\icons\\a.png"));
    EXPECT_TRUE(SamePicture(ToRgba(image), ReadWithLibpng(saved)));

    PxImage named, detected;
    ASSERT_TRUE(named.Load(L"C:\\icons\\a.png", PXIMAGE_FORMAT_PNG));
    ASSERT_TRUE(detected.Load(L"C:\\icons\\a.png", 5));
    EXPECT_TRUE(SamePicture(ToRgba(image), ToRgba(named)));
    EXPECT_TRUE(SamePicture(ToRgba(image), ToRgba(detected)));

    FILE* f = fopen(standin::NativePath(L"C:\\icons\\a.png").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    PxImage fromFile;
    EXPECT_TRUE(fromFile.Decode(f, PXIMAGE_FORMAT_PNG));
    EXPECT_EQ(fgetc(f), EOF);  // the caller's FILE is still open
    fclose(f);

    // No supported format: a load with a code that names none keeps the
    // previous text, one with 0 reports the detection.
    velktest::WriteNativeFile(standin::NativePath(L"C:\\icons\\b.png"), "plain text");
    strcpy(named.info.lastError, "earlier");
    EXPECT_FALSE(named.Load(L"C:\\icons\\b.png", 5));
    EXPECT_STREQ(named.GetLastErrorText(), "earlier");
    EXPECT_FALSE(named.Load(L"C:\\icons\\b.png", 0));
    EXPECT_STREQ(named.GetLastErrorText(), "Decode: Unknown or wrong format");
    EXPECT_FALSE(named.Load(L"C:\\icons\\missing.png", 4));
}

TEST(PxImageFiles, FailedSaveLeavesNoFile)
{
    PxImage image(2, 2, 24, 4);
    strcpy(image.info.lastError, "earlier");
    EXPECT_FALSE(image.Save(L"C:\\no such folder\\a.png", PXIMAGE_FORMAT_PNG));
    EXPECT_STREQ(image.GetLastErrorText(), "earlier");

    velktest::WriteNativeFile(standin::NativePath(L"C:\\icons\\keep.txt"), "");
    PxImage empty;
    EXPECT_FALSE(empty.Save(L"C:\\icons\\empty.png", PXIMAGE_FORMAT_PNG));
    EXPECT_STREQ(empty.GetLastErrorText(), "null image!!!");
    EXPECT_FALSE(velktest::NativeExists(standin::NativePath(L"C:\\icons\\empty.png")));

    PxImage paletteAlpha(2, 2, 8, 4);
    paletteAlpha.SetPaletteColor(1, PxRgbQuad{1, 2, 3, 0});
    paletteAlpha.AlphaCreate();
    EXPECT_FALSE(paletteAlpha.Save(L"C:\\icons\\half.png", PXIMAGE_FORMAT_PNG));
    EXPECT_FALSE(velktest::NativeExists(standin::NativePath(L"C:\\icons\\half.png")));
}

TEST(PxImageResources, UnloadableResource)
{
    PxImage image;
    EXPECT_FALSE(image.LoadResource(nullptr, PXIMAGE_FORMAT_PNG, (HMODULE)0x5151));
    EXPECT_STREQ(image.GetLastErrorText(), "Unable to load resource!");
    EXPECT_EQ(image.GetHeight(), 0u);
}

// The icon path: every PNG the module carries is found, decoded, saved as a
// file and read back by libpng as the same picture.
TEST(PxImageResources, EveryEmbeddedIconDecodesSavesAndReadsBack)
{
    HMODULE module = (HMODULE)0x7000;
    RegisterModuleResources(module);

    std::set<int> ids;
    const int ranges[][2] = {{1, 178}, {200, 253}, {1000, 1114}, {1200, 1295}, {1300, 1347}, {1400, 1469}, {1600, 1669}};
    for (const auto& r : ranges)
        for (int n = r[0]; n <= r[1]; ++n) ids.insert(10000 + n);
    ids.insert(8315);
    ASSERT_EQ(ids.size(), 632u);
    ASSERT_EQ(velkres::kPngResourceCount, 632u);
    EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(10190), L"PNG"), nullptr);

    velktest::WriteNativeFile(standin::NativePath(L"C:\\cache\\VelkArxIcon\\keep.txt"), "");
    std::set<std::pair<int, int>> sizes;
    for (int id : ids) {
        SCOPED_TRACE(id);
        HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
        ASSERT_NE(resource, nullptr);
        std::string original((const char*)LockResource(LoadResource(module, resource)), SizeofResource(module, resource));
        Rgba expected = ReadWithLibpng(original);
        ASSERT_GT(expected.width, 0);

        PxImage image;
        ASSERT_TRUE(image.LoadResource(resource, PXIMAGE_FORMAT_PNG, module)) << image.GetLastErrorText();
        ASSERT_GT(image.GetHeight(), 0u);
        EXPECT_TRUE(SamePicture(expected, ToRgba(image)));

        wchar_t path[64];
        swprintf(path, 64, L"C:\\cache\\VelkArxIcon\\Icon%04d.png", id);
        ASSERT_TRUE(image.Save(path, PXIMAGE_FORMAT_PNG)) << image.GetLastErrorText();
        EXPECT_TRUE(SamePicture(expected, ReadWithLibpng(velktest::ReadNativeFile(standin::NativePath(path)))));
        sizes.insert({expected.width, expected.height});
    }
    EXPECT_EQ(sizes, (std::set<std::pair<int, int>>{{24, 24}, {32, 32}}));
    standin::RemoveModuleResources(module);
}
