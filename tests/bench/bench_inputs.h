// Inputs of the image rows, made at run time: synthetic pictures, written to
// files by the reference libraries themselves (libpng, libjpeg, libtiff,
// giflib, and a hand-written BMP), so that the module decodes files it did
// not write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/pximage.h"

namespace velkbench {

using Bytes = std::vector<uint8_t>;

// A photo-like picture: smooth colour fields, edges and a little noise,
// top row first, RGB.
Bytes PhotoRgb(int width, int height);
// A map-like picture of palette indices below `colors`: flat areas, lines
// and dithered gradients, top row first.
Bytes MapIndices(int width, int height, int colors);
// A palette of `colors` RGB triples.
Bytes MapPalette(int colors);

Bytes WritePngRgb(const Bytes& rgb, int width, int height);
Bytes WritePngPalette(const Bytes& indices, const Bytes& palette, int width, int height);
Bytes WriteJpeg(const Bytes& rgb, int width, int height, int quality);
// An RGB TIFF in strips of `rowsPerStrip`, with a libtiff compression code.
Bytes WriteTiffRgb(const Bytes& rgb, int width, int height, int compression, int rowsPerStrip);
Bytes WriteGif(const Bytes& indices, const Bytes& palette, int width, int height);
Bytes WriteBmp24(const Bytes& rgb, int width, int height);

// The module's pixels as the reference libraries give them: top row first,
// RGB for 24-bit images and palette indices for the others.
Bytes TopDownRgb(const PxImage& image);
Bytes TopDownIndices(const PxImage& image);

// Empty when equal, else where the first difference is.
std::string Compare(const Bytes& module, const Bytes& reference, const char* what);

}  // namespace velkbench
