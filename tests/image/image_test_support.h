// Helpers of the image tests: fixtures, a libpng reader the project did not
// write, and the pixels of a PxImage as RGBA.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/pximage.h"

namespace imagetest {

struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // top row first, 4 bytes a pixel
};

std::string Fixture(const std::string& name);
// The expected pixels of a fixture, cut to 8 bits a sample (the high byte of
// 16-bit samples).
Rgba FixturePixels(const std::string& name);
// Decodes PNG bytes with libpng's simplified API; empty when it cannot.
Rgba ReadWithLibpng(const std::string& png);
// The picture of an image as RGBA: the alpha plane, the palette's alpha
// values or the transparent index or colour give the alpha.
Rgba ToRgba(const PxImage& image);
// Equal sizes and pixels; colours are compared where a pixel is not fully
// transparent.
::testing::AssertionResult SamePicture(const Rgba& expected, const Rgba& actual);

bool DecodePng(const std::string& bytes, PxImage& image);
std::string EncodePng(PxImage& image);
// The whole state of an image's buffers, to show that an operation left it alone.
std::string Snapshot(const PxImage& image);

}  // namespace imagetest
