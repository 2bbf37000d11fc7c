// BMP codec of the image library: Windows bitmap files and bare DIBs.
#pragma once

#include "image/pximage.h"

class PxImageBMP : public PxImage {
public:
    explicit PxImageBMP(DWORD type = PXIMAGE_FORMAT_BMP) : PxImage(type) {}
    ~PxImageBMP() override = default;

    bool Decode(PxFile* stream);
    bool Encode(PxFile* stream);

private:
    // Reads the info header in any of its sizes into a 40-byte header; the
    // colour masks (red, green, blue, alpha) of headers that carry them come
    // back in `masks`.
    bool ReadBitmapInfo(PxFile* stream, PxBitmapInfoHeader* bih, DWORD masks[4], bool* headerMasks);
    // Expands one row of 16- or 32-bit pixels into stored row `row` of this
    // 24-bit image.
    void BitfieldsToRgb(const BYTE* source, DWORD redMask, DWORD greenMask, DWORD blueMask, BYTE bpp, LONG row);
    // Run-length data; with `topDown` the file's first row is the top one.
    void DecodeRle(PxFile* stream, bool rle4, bool topDown);
    void HeaderToHost(PxBitmapInfoHeader* bih) const;
};
