// Inputs of the image rows, made at run time: synthetic pictures, written to
// files by the reference libraries themselves (libpng, libjpeg, libtiff,
// giflib, and a hand-written BMP), so that the module decodes files it did
// not write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gif_lib.h>
#include <png.h>

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

// Pixels are RGB when `palette` is empty, else indices into it. With
// `settings`, the file carries what the module writes besides the pixels (a
// white background colour and the image's resolution), so that the module's
// bytes can be compared with these.
Bytes WritePng(const Bytes& pixels, const Bytes& palette, int width, int height, const PxImage* settings = nullptr);
// Baseline not forced, the resolution in dots per inch.
Bytes WriteJpeg(const Bytes& rgb, int width, int height, int quality, int dpi);
// An RGB TIFF in strips of `rowsPerStrip`, with a libtiff compression code.
Bytes WriteTiffRgb(const Bytes& rgb, int width, int height, int compression, int rowsPerStrip);
Bytes WriteGif(const Bytes& indices, const Bytes& palette, int width, int height);
Bytes WriteBmp24(const Bytes& rgb, int width, int height);

// Reading from and writing to memory.
struct MemoryReader {
    const uint8_t* data;
    size_t size, position;
};
// libpng's and giflib's callbacks; the I/O pointer is a MemoryReader when
// reading and a Bytes when writing.
void PngReadMemory(png_structp png, png_bytep out, size_t length);
void PngWriteBytes(png_structp png, png_bytep data, size_t length);
int GifReadMemory(GifFileType* gif, GifByteType* out, int length);
int GifWriteBytes(GifFileType* gif, const GifByteType* data, int length);

// The module's pixels as the reference libraries give them: top row first,
// RGB for 24-bit images and palette indices for the others.
Bytes TopDownRgb(const PxImage& image);
Bytes TopDownIndices(const PxImage& image);

// Empty when equal, else where the first difference is.
std::string Compare(const Bytes& module, const Bytes& reference, const char* what);

}  // namespace velkbench
