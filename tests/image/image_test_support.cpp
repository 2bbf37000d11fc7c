#include <gtest/gtest.h>

#include "image_test_support.h"

#include <png.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace imagetest {

std::string Fixture(const std::string& name)
{
    std::ifstream in(std::string(VELK_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

Rgba FixturePixels(const std::string& name)
{
    Rgba result;
    std::string png = Fixture(name + ".png");
    png_image probe;
    memset(&probe, 0, sizeof probe);
    probe.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&probe, png.data(), png.size())) return result;
    result.width = (int)probe.width;
    result.height = (int)probe.height;
    png_image_free(&probe);

    std::string raw = Fixture(name + ".rgba");
    if (!raw.empty()) {
        result.pixels.assign(raw.begin(), raw.end());
    } else {
        raw = Fixture(name + ".rgba16");
        for (size_t i = 0; i < raw.size(); i += 2) result.pixels.push_back((uint8_t)raw[i]);
    }
    return result;
}

Rgba ReadWithLibpng(const std::string& png)
{
    Rgba result;
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return result;
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return result;
    }
    result.width = (int)image.width;
    result.height = (int)image.height;
    result.pixels = std::move(pixels);
    return result;
}

Rgba ToRgba(const PxImage& image)
{
    Rgba result;
    result.width = (int)image.GetWidth();
    result.height = (int)image.GetHeight();
    const PxRgbQuad* palette = image.GetPalette();
    for (int top = 0; top < result.height; ++top) {
        LONG y = result.height - 1 - top;
        for (LONG x = 0; x < result.width; ++x) {
            PxRgbQuad c = image.GetPixelColor(x, y, false);
            uint8_t a = 255;
            if (image.alpha) {
                a = image.alpha[(size_t)y * result.width + x];
            } else if (palette && image.info.alphaPaletteEnabled) {
                a = palette[image.GetPixelIndex(x, y)].reserved;
            } else if (palette && image.info.backgroundIndex >= 0) {
                if (image.GetPixelIndex(x, y) == image.info.backgroundIndex) a = 0;
            } else if (!palette && image.info.backgroundIndex >= 0) {
                const PxRgbQuad& t = image.info.backgroundColor;
                if (c.red == t.red && c.green == t.green && c.blue == t.blue) a = 0;
            }
            result.pixels.insert(result.pixels.end(), {c.red, c.green, c.blue, a});
        }
    }
    return result;
}

::testing::AssertionResult SamePicture(const Rgba& expected, const Rgba& actual)
{
    if (expected.width != actual.width || expected.height != actual.height)
        return ::testing::AssertionFailure() << "size " << actual.width << "x" << actual.height << ", expected "
                                             << expected.width << "x" << expected.height;
    if (expected.pixels.size() != actual.pixels.size() || expected.pixels.size() != 4u * expected.width * expected.height)
        return ::testing::AssertionFailure() << "pixel buffer sizes " << actual.pixels.size() << " and "
                                             << expected.pixels.size();
    for (size_t i = 0; i < expected.pixels.size(); i += 4) {
        const uint8_t* e = &expected.pixels[i];
        const uint8_t* a = &actual.pixels[i];
        bool same = e[3] == a[3] && (e[3] == 0 || (e[0] == a[0] && e[1] == a[1] && e[2] == a[2]));
        if (!same) {
            size_t p = i / 4;
            return ::testing::AssertionFailure()
                   << "pixel (" << p % expected.width << ", " << p / expected.width << " from the top) is "
                   << (int)a[0] << "," << (int)a[1] << "," << (int)a[2] << "," << (int)a[3] << ", expected "
                   << (int)e[0] << "," << (int)e[1] << "," << (int)e[2] << "," << (int)e[3];
        }
    }
    return ::testing::AssertionSuccess();
}

bool DecodePng(const std::string& bytes, PxImage& image)
{
    PxMemFile file((BYTE*)bytes.data(), (DWORD)bytes.size());
    return image.Decode(&file, PXIMAGE_FORMAT_PNG);
}

std::string EncodePng(PxImage& image)
{
    // A memory stream grows only a buffer it holds: start it with one of its own.
    PxMemFile out((BYTE*)malloc(1), 0);
    out.ownsBuffer = true;
    if (!image.Encode(&out, PXIMAGE_FORMAT_PNG)) return std::string();
    return std::string((const char*)out.buffer, (size_t)out.size);
}

std::string Snapshot(const PxImage& image)
{
    std::string s;
    if (image.dib)
        s.append((const char*)image.dib, 40 + 4 * (size_t)image.header.clrUsed + (size_t)image.header.sizeImage);
    if (image.alpha) s.append((const char*)image.alpha, (size_t)image.GetWidth() * image.GetHeight());
    s.append((const char*)&image.info.backgroundIndex, sizeof image.info.backgroundIndex);
    return s;
}

}  // namespace imagetest
