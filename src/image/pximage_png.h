// PNG codec of the image library, over libpng and the library's byte streams.
#pragma once

#include <png.h>

#include "image/pximage.h"

class PxImagePNG : public PxImage {
public:
    explicit PxImagePNG(DWORD type = PXIMAGE_FORMAT_PNG) : PxImage(type) {}
    ~PxImagePNG() override = default;

    bool Decode(PxFile* stream);
    bool Encode(PxFile* stream);

private:
    // libpng's I/O and error functions; the I/O pointer is the PxFile, the
    // error pointer the image's last-error text.
    static void ReadCallback(png_structp png, png_bytep data, size_t length);
    static void WriteCallback(png_structp png, png_bytep data, size_t length);
    static void FlushCallback(png_structp png);
    static void ErrorCallback(png_structp png, png_const_charp message);
    static void WarningCallback(png_structp png, png_const_charp message);
};
