// JPEG codec of the image library, over libjpeg and the library's byte
// streams. The EXIF reader runs before every decode; an image decoded with
// EXIF data and saved again by the same codec object keeps its EXIF block.
#pragma once

#include "image/pximage.h"
#include "image/pximage_exif.h"

class PxImageJPG : public PxImage {
public:
    explicit PxImageJPG(DWORD type = PXIMAGE_FORMAT_JPG);
    ~PxImageJPG() override;

    bool Decode(PxFile* stream);
    bool Encode(PxFile* stream);

    PxExifReader* exifReader = nullptr;
    ExifRecord exifInfo;
    // Settings read only under their option bits: smoothing with 0x40 on
    // encoding, the dither mode with 0x200 on decoding.
    int32_t smoothing = 0;
    int32_t dither = 0;
};
