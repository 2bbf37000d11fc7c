// libpng reports failures by longjmp to the setjmp in Decode and Encode, so
// no object with a destructor lives across those calls, and the locals that
// change after setjmp and are read on the way out are volatile.
#include "image/pximage_png.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "image/pxpixels.h"

void PxImagePNG::ReadCallback(png_structp png, png_bytep data, size_t length)
{
    PxFile* stream = (PxFile*)png_get_io_ptr(png);
    if (!stream || stream->Read(data, 1, length) != length) png_error(png, "Read Error");
}

void PxImagePNG::WriteCallback(png_structp png, png_bytep data, size_t length)
{
    PxFile* stream = (PxFile*)png_get_io_ptr(png);
    if (!stream || stream->Write(data, 1, length) != length) png_error(png, "Write Error");
}

void PxImagePNG::FlushCallback(png_structp png)
{
    PxFile* stream = (PxFile*)png_get_io_ptr(png);
    if (!stream || !stream->Flush()) png_error(png, "Flush Error");
}

void PxImagePNG::ErrorCallback(png_structp png, png_const_charp message)
{
    char* text = (char*)png_get_error_ptr(png);
    if (text) {
        strncpy(text, message ? message : "", 255);
        text[255] = 0;
    }
    png_longjmp(png, 1);
}

// Warnings (a bad checksum in a chunk that is skipped, say) are not
// failures and print nothing, as with the other codecs.
void PxImagePNG::WarningCallback(png_structp, png_const_charp) {}

bool PxImagePNG::Decode(PxFile* stream)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        SetLastErrorText("Failed to create PNG structure");
        return false;
    }
    png_infop pinfo = png_create_info_struct(png);
    if (!pinfo) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        SetLastErrorText("Failed to initialize PNG info structure");
        return false;
    }

    BYTE* volatile row = nullptr;
    volatile bool headerOnlyDone = false;
    if (setjmp(png_jmpbuf(png))) {
        free(row);
        png_destroy_read_struct(&png, &pinfo, nullptr);
        return info.escape == -1 && headerOnlyDone;
    }
    png_set_read_fn(png, stream, ReadCallback);
    png_set_error_fn(png, info.lastError, ErrorCallback, WarningCallback);
    // Chunks the picture is not made of are skipped unread: libpng would
    // take a buffer of the length a chunk declares (up to 2 GB) to read
    // a suggested palette, a profile or a text nobody asks for.
    static const png_byte kUnused[] = "iCCP\0sPLT\0tEXt\0zTXt\0iTXt\0eXIf\0pCAL\0sCAL\0hIST\0sBIT\0cHRM\0sRGB\0tIME\0oFFs";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kUnused, (int)(sizeof kUnused / 5));

    png_read_info(png, pinfo);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, pinfo, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);

    if (info.escape == -1) {
        header.width = (LONG)width;
        header.height = (LONG)height;
        info.type = PXIMAGE_FORMAT_PNG;
        headerOnlyDone = true;
        png_longjmp(png, 1);
    }

    int channels;
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY: channels = 1; break;
    case PNG_COLOR_TYPE_RGB: channels = 3; break;
    case PNG_COLOR_TYPE_PALETTE: channels = 1; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: channels = 2; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: channels = 4; break;
    default: png_error(png, "unknown PNG color type");
    }
    const int pixelDepth = channels * bitDepth;
    const DWORD bpp = channels == 1 ? (DWORD)std::min(pixelDepth, 8) : channels == 2 ? 8 : 24;
    if (!Create(width, height, bpp, PXIMAGE_FORMAT_PNG)) png_longjmp(png, 1);
    // Transparency describes this picture: none of the previous one's stays.
    info.backgroundIndex = -1;
    info.backgroundColor = PxRgbQuad{0, 0, 0, 0};
    info.alphaPaletteEnabled = false;

    // Resolution: an aspect ratio without unit, or no pHYs at all, is 96 dpi.
    png_uint_32 xRes = 0, yRes = 0;
    int unit = PNG_RESOLUTION_UNKNOWN;
    png_get_pHYs(png, pinfo, &xRes, &yRes, &unit);
    if (unit == PNG_RESOLUTION_UNKNOWN) {
        SetXDPI(0);
        SetYDPI(0);
    } else if (unit == PNG_RESOLUTION_METER) {
        SetXDPI((LONG)floor(xRes * 254.0 / 10000.0 + 0.5));
        SetYDPI((LONG)floor(yRes * 254.0 / 10000.0 + 0.5));
    }

    PxRgbQuad* palette = GetPalette();
    png_colorp plte = nullptr;
    int plteCount = 0;
    png_get_PLTE(png, pinfo, &plte, &plteCount);
    if (plteCount > 0) {
        if (palette) {
            int n = std::min(plteCount, (int)header.clrUsed);
            for (int i = 0; i < n; ++i) {
                palette[i].red = plte[i].red;
                palette[i].green = plte[i].green;
                palette[i].blue = plte[i].blue;
            }
        }
        SetClrImportant((DWORD)plteCount);
    } else if (bitDepth == 2) {
        for (DWORD i = 0; i < 4 && i < header.clrUsed; ++i) palette[i] = PxRgbQuad{(BYTE)(85 * i), (BYTE)(85 * i), (BYTE)(85 * i), 0};
    } else {
        SetGrayPalette();
    }

    const int shift = bitDepth == 16 ? 8 : 0;
    png_bytep transAlpha = nullptr;
    int transCount = 0;
    png_color_16p transColor = nullptr;
    png_get_tRNS(png, pinfo, &transAlpha, &transCount, &transColor);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        if (transCount == 1 && transAlpha[0] == 0) {
            // A single fully transparent entry is the transparent index;
            // any other alpha value stays an alpha value.
            info.backgroundIndex = 0;
        } else if (transCount >= 1 && palette) {
            for (DWORD i = 0; i < header.clrUsed; ++i) palette[i].reserved = (int)i < transCount ? transAlpha[i] : 255;
            info.alphaPaletteEnabled = true;
        }
    } else if (transCount == 1 && transColor) {
        info.backgroundIndex = transColor->gray >> shift;
    }
    if (colorType == PNG_COLOR_TYPE_RGB && png_get_valid(png, pinfo, PNG_INFO_tRNS) && transColor) {
        info.backgroundColor = PxRgbQuad{(BYTE)(transColor->blue >> shift), (BYTE)(transColor->green >> shift),
                                         (BYTE)(transColor->red >> shift), 0};
        info.backgroundIndex = 0;
    }
    info.lastColorValid = false;

    const bool hasAlpha = channels == 2 || channels == 4;
    // Every row is read before the decode succeeds: the plane needs no
    // filling first.
    if (hasAlpha && !AlphaCreate(false)) {
        SetLastErrorText("PxImage::Create can't allocate memory");
        png_longjmp(png, 1);
    }
    if (colorType & PNG_COLOR_MASK_COLOR) png_set_bgr(png);
    if (info.escape) png_longjmp(png, 1);

    const size_t rowBytes = png_get_rowbytes(png, pinfo);
    row = (BYTE*)calloc(1, rowBytes + 8);
    if (!row) {
        SetLastErrorText("PxImage::Create can't allocate memory");
        png_longjmp(png, 1);
    }
    const int passes = png_set_interlace_handling(png);
    SetCodecOption(passes > 1 ? 1 : 0);

    const size_t c = (size_t)bitDepth / 8;  // bytes a sample
    const size_t p = (size_t)pixelDepth / 8;  // bytes a pixel in libpng's row
    const size_t samples = (size_t)width * channels;
    // Row length once 16-bit samples are cut to their high byte.
    const size_t copyBytes = std::min(bitDepth > 8 ? samples : rowBytes, (size_t)info.effWidth);
    const bool grey = !(colorType & PNG_COLOR_MASK_COLOR);
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            if (info.escape) png_longjmp(png, 1);
            // A row outside the pass gets no pixels from it: it is left as
            // it is, so that a pass cut short costs only the rows it reached.
            if (passes > 1 && !PNG_ROW_IN_INTERLACE_PASS(y, pass)) {
                png_read_row(png, nullptr, nullptr);
                continue;
            }
            const size_t r = height - 1 - y;
            BYTE* stored = info.bits + r * info.effWidth;
            // Rows of later passes start from what earlier passes stored,
            // since libpng only fills in the pixels of the current pass.
            const bool rebuild = passes > 1 && pass > 0;
            if (hasAlpha) {
                BYTE* a = alpha + r * width;
                if (rebuild) {
                    for (size_t x = 0; x < width; ++x) {
                        if (grey) {
                            row[x * p] = stored[x];
                            row[x * p + c] = a[x];
                        } else {
                            row[x * p] = stored[3 * x];
                            row[x * p + c] = stored[3 * x + 1];
                            row[x * p + 2 * c] = stored[3 * x + 2];
                            row[x * p + 3 * c] = a[x];
                        }
                    }
                }
                png_read_row(png, row, nullptr);
                for (size_t x = 0; x < width; ++x) {
                    if (grey) {
                        stored[x] = row[x * p];
                        a[x] = row[x * p + c];
                    } else {
                        stored[3 * x] = row[x * p];
                        stored[3 * x + 1] = row[x * p + c];
                        stored[3 * x + 2] = row[x * p + 2 * c];
                        a[x] = row[x * p + 3 * c];
                    }
                }
            } else {
                if (rebuild) {
                    memcpy(row, stored, copyBytes);
                    if (bitDepth > 8)
                        for (size_t i = samples; i-- > 0;) row[i * c] = row[i];
                }
                png_read_row(png, row, nullptr);
                if (bitDepth > 8)
                    for (size_t i = 0; i < samples; ++i) row[i] = row[i * c];
                memcpy(stored, row, copyBytes);
                // Widened once, after the last pass that fills the row:
                // pass 5 fills the even rows, pass 6 the odd ones.
                const int lastPass = passes == 1 ? 0 : (y & 1) ? 6 : 5;
                if (bitDepth == 2 && pass == lastPass) {
                    for (LONG x = (LONG)width - 1; x >= 0; --x) {
                        BYTE v = (BYTE)((stored[x >> 2] >> (6 - 2 * (x & 3))) & 3);
                        WritePackedIndex(stored, x, 4, v);
                    }
                }
            }
        }
    }

    free(row);
    row = nullptr;
    png_read_end(png, pinfo);
    png_destroy_read_struct(&png, &pinfo, nullptr);
    return true;
}

namespace {

// How the stored rows become the rows of the file.
struct FileRowFormat {
    int channels;
    bool grey;
    bool transparent;
    PxRgbQuad transparentColor;
    BYTE swapWith;  // palette index exchanged with 0 in the file; 0 for none
    size_t storedBytes;
};

// Builds the file's row from stored row r; the image itself is only read.
void WriteFileRow(const PxImage& image, LONG r, BYTE* row, const FileRowFormat& f)
{
    const DWORD width = image.GetWidth();
    const int bpp = image.GetBpp();
    const BYTE* stored = image.info.bits + (size_t)r * image.info.effWidth;
    const PxRgbQuad& t = f.transparentColor;
    if (image.alpha) {
        const BYTE* a = image.alpha + (size_t)r * width;
        for (DWORD x = 0; x < width; ++x) {
            PxRgbQuad color = image.GetPalette() ? image.GetPaletteColor(ReadPackedIndex(stored, x, bpp))
                                                 : PxRgbQuad{stored[3 * x], stored[3 * x + 1], stored[3 * x + 2], 0};
            BYTE opacity = a[x];
            if (bpp == 24 && f.transparent && color.blue == t.blue && color.green == t.green && color.red == t.red)
                opacity = 0;
            BYTE* q = row + (size_t)x * f.channels;
            if (f.grey) {
                q[0] = color.blue;
                q[1] = opacity;
            } else {
                q[0] = color.red;
                q[1] = color.green;
                q[2] = color.blue;
                q[3] = opacity;
            }
        }
        return;
    }
    memcpy(row, stored, f.storedBytes);
    if (!image.GetPalette()) image.RgbToBgr(row, (int)f.storedBytes);
    if (f.swapWith) {
        for (DWORD x = 0; x < width; ++x) {
            BYTE index = ReadPackedIndex(row, x, bpp);
            if (index == 0) WritePackedIndex(row, x, bpp, f.swapWith);
            else if (index == f.swapWith) WritePackedIndex(row, x, bpp, 0);
        }
    }
}

}  // namespace

bool PxImagePNG::Encode(PxFile* stream)
{
    if (!CanEncodeTo(stream)) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        SetLastErrorText("Failed to create PNG structure");
        return false;
    }
    png_infop pinfo = png_create_info_struct(png);
    if (!pinfo) {
        png_destroy_write_struct(&png, nullptr);
        SetLastErrorText("Failed to initialize PNG info structure");
        return false;
    }

    // The image is only read: the transparent index is moved to entry 0 and
    // matching colours made transparent in the copies written, never in the
    // caller's palette, pixels or alpha plane.
    BYTE* volatile row = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        free(row);
        png_destroy_write_struct(&png, &pinfo);
        SetLastErrorText("Error saving PNG file");
        return false;
    }
    png_set_error_fn(png, nullptr, ErrorCallback, WarningCallback);
    png_set_write_fn(png, stream, WriteCallback, FlushCallback);

    const png_uint_32 width = GetWidth(), height = GetHeight();
    const int bpp = GetBpp();
    const PxRgbQuad* palette = GetPalette();
    const DWORD paletteLength = header.clrUsed;
    const bool grey = palette && IsGrayRamp() && !info.alphaPaletteEnabled;
    int channels = bpp > 8 ? 3 : 1;
    int bitDepth = bpp / channels;
    int colorType = !palette ? PNG_COLOR_TYPE_RGB : grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE;
    if (alpha) {
        colorType |= PNG_COLOR_MASK_ALPHA;
        ++channels;
        bitDepth = 8;
    }
    const int interlace = GetCodecOption(PXIMAGE_FORMAT_PNG) == 1 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;

    // The transparent colour: a palette entry, or the background colour of a
    // true-colour image. An index outside the palette names no colour.
    const int32_t backgroundIndex = info.backgroundIndex;
    const BYTE transparentIndex = (BYTE)(backgroundIndex & 0xFF);
    const bool transparent = backgroundIndex >= 0 && (!palette || transparentIndex < paletteLength);
    PxRgbQuad t{0, 0, 0, 0};
    if (transparent) t = palette ? palette[transparentIndex] : info.backgroundColor;
    const BYTE swapWith = palette && !grey && transparent ? transparentIndex : 0;

    png_color_16 background{};
    background.red = background.green = background.blue = 255;
    if (backgroundIndex >= 0) {
        background.red = t.red;
        background.green = t.green;
        background.blue = t.blue;
    }
    png_set_IHDR(png, pinfo, width, height, bitDepth, colorType, interlace, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_bKGD(png, pinfo, &background);
    png_set_pHYs(png, pinfo, (png_uint_32)header.xPelsPerMeter, (png_uint_32)header.yPelsPerMeter,
                 PNG_RESOLUTION_METER);

    png_byte transAlpha[256];
    int transCount = 0;
    png_color_16 transColor{};
    if (transparent && !alpha) {
        transColor.index = transparentIndex;
        transColor.red = t.red;
        transColor.green = t.green;
        transColor.blue = t.blue;
        transColor.gray = (png_uint_16)transparentIndex;
        transAlpha[0] = 0;
        transCount = 1;
    }
    if (palette && !grey) {
        // The palette written covers every index in use: libpng refuses a
        // pixel beyond it.
        DWORD n = header.clrImportant ? header.clrImportant : paletteLength;
        if (n < paletteLength) {
            DWORD used = (DWORD)swapWith + 1;
            for (png_uint_32 y = 0; y < height && used < paletteLength; ++y) {
                const BYTE* stored = info.bits + (size_t)y * info.effWidth;
                for (png_uint_32 x = 0; x < width; ++x) used = std::max(used, (DWORD)ReadPackedIndex(stored, x, bpp) + 1);
            }
            n = std::min(std::max(n, used), paletteLength);
        }
        png_color plte[256];
        for (DWORD i = 0; i < n; ++i) {
            const PxRgbQuad& entry = palette[i == 0 ? swapWith : i == swapWith ? 0 : i];
            plte[i].red = entry.red;
            plte[i].green = entry.green;
            plte[i].blue = entry.blue;
            if (info.alphaPaletteEnabled) transAlpha[i] = entry.reserved;
        }
        if (info.alphaPaletteEnabled) transCount = (int)n;
        png_set_PLTE(png, pinfo, plte, (int)n);
    }
    if (transCount > 0) png_set_tRNS(png, pinfo, transAlpha, transCount, &transColor);

    const size_t rowSize = std::max((size_t)info.effWidth, (size_t)(bitDepth / 8) * channels * width);
    row = (BYTE*)calloc(1, rowSize);
    if (!row) png_error(png, "out of memory");
    png_write_info(png, pinfo);

    const int passes = png_set_interlace_handling(png);
    const FileRowFormat format{channels, grey, transparent, t, swapWith, std::min(rowSize, (size_t)info.effWidth)};
    for (int pass = 0; pass < passes; ++pass) {
        for (LONG r = (LONG)height - 1; r >= 0; --r) {
            WriteFileRow(*this, r, row, format);
            png_write_row(png, row);
        }
    }

    free(row);
    row = nullptr;
    png_write_end(png, pinfo);
    png_destroy_write_struct(&png, &pinfo);
    return true;
}
