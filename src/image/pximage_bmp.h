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
    // Expands 16- or 32-bit pixels into this 24-bit image, `rows` rows of the
    // source from the bottom; may run in place over the image's own pixels.
    void BitfieldsToRgb(const BYTE* source, DWORD redMask, DWORD greenMask, DWORD blueMask, BYTE bpp, DWORD rows);
    void DecodeRle(PxFile* stream, bool rle4);
    void HeaderToHost(PxBitmapInfoHeader* bih) const;
};
