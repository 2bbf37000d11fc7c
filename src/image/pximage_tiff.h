// TIFF codec of the image library, over libtiff and the library's byte
// streams. Georeferenced 16-bit elevation tiles are decoded by a routine of
// their own that keeps the raw samples.
#pragma once

#include <tiffio.h>

#include "image/pximage.h"

class PxImageTIF : public PxImage {
public:
    explicit PxImageTIF(DWORD type = PXIMAGE_FORMAT_TIF) : PxImage(type) {}
    ~PxImageTIF() override;

    bool Decode(PxFile* stream);
    // Elevation tiles: each 16-bit sample in the first two bytes of a 24-bit
    // pixel. Takes over the open handle and closes it.
    bool DecodeElevation16(TIFF* handle);
    // Writes the image as one page; `append` is not used.
    bool Encode(PxFile* stream, bool append = false);

    TIFF* writeHandle = nullptr;
    bool multiPage = false;
    int32_t pageCount = 0;
    double GeoTiePointY = 0, GeoTiePointX = 0, GeoPixelScaleY = 0, GeoPixelScaleX = 0;

private:
    uint16_t placeOrientation = 1;
    uint32_t fileWidth = 0, fileHeight = 0;

private:
    bool EncodeBody(TIFF* handle, bool multiPage, int page, int pageCount);
    // Reads the rows ys to ys + n - 1 of a striped or tiled file into `band`
    // (rows `line` bytes apart); the rows that hold data, 0 when the data
    // cannot be read.
    static uint32_t ReadBand(TIFF* handle, uint32_t ys, uint32_t n, BYTE* band, size_t line, BYTE* tileBuffer);
    // How many of the rows ys to ys + n - 1 the coded bytes of their strips
    // or tiles can hold: none for JPEG data too short for them (libjpeg would
    // pad it out to any size it claims), a row a bit for fax coding.
    static uint32_t RowsCodedBytesCanHold(TIFF* handle, uint32_t ys, uint32_t n);
    // Layouts only libtiff's RGBA reader knows (YCbCr, CMYK, 16-bit and
    // planar colour, LogLuv), band by band in the file's row order.
    bool DecodeRgba(TIFF* handle, uint32_t width, uint32_t height, uint32_t bandRows, uint16_t samples);
    // A zeroed buffer that keeps this image's buffers, the ones already taken
    // (`held`) included, within the memory limit; null otherwise.
    BYTE* AllocBuffer(uint64_t size, uint64_t& held) const;
    static void TileToStrip(BYTE* out, const BYTE* in, uint32_t rows, uint32_t columns, uint32_t outSkew, uint32_t inSkew);
    static void MoveBits(BYTE* destination, const BYTE* source, int count, int bits);
    static void MoveBitsPal(BYTE* destination, const BYTE* source, int count, int bits, const PxRgbQuad* palette);
    void ReadResolution(TIFF* handle);
    // The file's rows are turned by its orientation as they are read, so
    // that rows the file does not hold cost nothing: the image is made at
    // its upright size, and each row read goes straight to its place.
    bool CreateOriented(uint32_t width, uint32_t height, DWORD bpp, uint16_t orientation);
    void Place(uint32_t row, uint32_t column, uint32_t& x, uint32_t& storedRow) const;
    BYTE* PlacedPixel(uint32_t row, uint32_t column);
    // A row of the file's width, as the image stores pixels, and its alpha
    // values when the image has a plane.
    void PlaceRow(uint32_t row, const BYTE* pixels, const BYTE* rowAlpha);
    bool Exit(TIFF* handle, const char* failure);

    static tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size);
    static tmsize_t WriteProc(thandle_t handle, void* buffer, tmsize_t size);
    static toff_t SeekProc(thandle_t handle, toff_t offset, int whence);
    static int CloseProc(thandle_t handle);
    static toff_t SizeProc(thandle_t handle);
    static int MapProc(thandle_t handle, void** base, toff_t* size);
    static void UnmapProc(thandle_t handle, void* base, toff_t size);
};
