// TIFF decoding and encoding through libtiff's client procedures. What a
// file declares is checked before it sizes anything: buffers are computed in
// 64 bits and bounded, sample layouts the row code cannot read are refused,
// and an elevation tile must be one 16-bit sample of a plain grey picture.
#include "image/pximage_tiff.h"

#include <dlfcn.h>
#include <xtiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/pxpixels.h"

namespace {

// JPEG codes a block of 64 samples in 2 bits at the very least; strips
// claiming more samples a coded byte than this are padded out, not coded.
const uint64_t kMaxJpegSamplesPerByte = 1024;

int LeadingZeros(BYTE m)
{
    int n = 0;
    for (int bit = 0x80; bit && !(m & bit); bit >>= 1) ++n;
    return n;
}

// libgeotiff is loaded at the first TIFF read, not with the module: with the
// projection, database and network libraries it brings, it is 8 MB of every
// process that loads the module, most of which never read a TIFF. Null, with
// the loader's reason, when it cannot be loaded.
decltype(&XTIFFClientOpen) GeoTiffClientOpen(const char*& why)
{
    static std::string failure;
    static const auto open = []() -> decltype(&XTIFFClientOpen) {
        dlerror();
        void* library = dlopen(VELK_GEOTIFF_SONAME, RTLD_NOW | RTLD_LOCAL);
        void* symbol = library ? dlsym(library, "XTIFFClientOpen") : nullptr;
        if (!symbol) {
            const char* loader = dlerror();
            failure = std::string("Error: libgeotiff (" VELK_GEOTIFF_SONAME ") cannot be loaded") +
                      (loader ? std::string(": ") + loader : std::string());
        }
        return (decltype(&XTIFFClientOpen))symbol;
    }();
    why = failure.empty() ? nullptr : failure.c_str();
    return open;
}

}  // namespace

PxImageTIF::~PxImageTIF()
{
    if (writeHandle) TIFFClose(writeHandle);
}

tmsize_t PxImageTIF::ReadProc(thandle_t handle, void* buffer, tmsize_t size)
{
    return (tmsize_t)((PxFile*)handle)->Read(buffer, 1, (size_t)size);
}

tmsize_t PxImageTIF::WriteProc(thandle_t handle, void* buffer, tmsize_t size)
{
    return (tmsize_t)((PxFile*)handle)->Write(buffer, 1, (size_t)size);
}

toff_t PxImageTIF::SeekProc(thandle_t handle, toff_t offset, int whence)
{
    PxFile* file = (PxFile*)handle;
    // Streams hold 32-bit positions: anything further fails.
    if (whence == SEEK_SET && offset > INT32_MAX) return (toff_t)-1;
    if (!file->Seek((int)(int64_t)offset, whence)) return (toff_t)-1;
    return whence == SEEK_SET ? offset : (toff_t)file->Tell();
}

int PxImageTIF::CloseProc(thandle_t) { return 0; }

toff_t PxImageTIF::SizeProc(thandle_t handle) { return (toff_t)((PxFile*)handle)->Size(); }

int PxImageTIF::MapProc(thandle_t, void**, toff_t*) { return 0; }

void PxImageTIF::UnmapProc(thandle_t, void*, toff_t) {}

void PxImageTIF::TileToStrip(BYTE* out, const BYTE* in, uint32_t rows, uint32_t columns, uint32_t outSkew,
                             uint32_t inSkew)
{
    for (uint32_t r = 0; r < rows; ++r) {
        memcpy(out, in, columns);
        out += columns + outSkew;
        in += columns + inSkew;
    }
}

namespace {

// The `bits`-wide field starting at bit `bit` of `source`, most significant bit first.
uint32_t BitField(const BYTE* source, uint64_t bit, int bits)
{
    uint32_t v = 0;
    for (int k = 0; k < bits; ++k) {
        const uint64_t at = bit + (uint64_t)k;
        v = v << 1 | ((source[at >> 3] >> (7 - (at & 7))) & 1);
    }
    return v;
}

}  // namespace

void PxImageTIF::MoveBits(BYTE* destination, const BYTE* source, int count, int bits)
{
    // Fields of up to 8 bits become one byte each; wider ones keep their top 8 bits.
    uint64_t bit = 0;
    for (int i = 0; i < count; ++i, bit += bits) {
        uint32_t v = BitField(source, bit, bits);
        destination[i] = (BYTE)(bits > 8 ? v >> (bits - 8) : v);
    }
}

void PxImageTIF::MoveBitsPal(BYTE* destination, const BYTE* source, int count, int bits, const PxRgbQuad* palette)
{
    uint64_t bit = 0;
    for (int i = 0; i < count; ++i, bit += bits) {
        uint32_t v = BitField(source, bit, bits);
        // 16-bit samples come in the machine's byte order, read here as
        // the file's bit order: their two bytes change places.
        if (bits == 16) v = (v >> 8 | v << 8) & 0xFFFF;
        const PxRgbQuad& c = palette[v];
        destination[3 * i] = c.blue;
        destination[3 * i + 1] = c.green;
        destination[3 * i + 2] = c.red;
    }
}

BYTE* PxImageTIF::AllocBuffer(uint64_t size, uint64_t& held) const
{
    if (size == 0 || !FitsMemoryLimit(held + size)) return nullptr;
    BYTE* buffer = (BYTE*)calloc(1, (size_t)size);
    if (buffer) held += size;
    return buffer;
}

uint32_t PxImageTIF::RowsCodedBytesCanHold(TIFF* tif, uint32_t ys, uint32_t n)
{
    uint16_t compression = COMPRESSION_NONE, planar = PLANARCONFIG_CONTIG, samples = 1;
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    const bool jpeg = compression == COMPRESSION_JPEG;
    // Fax coding takes at least a bit a row; its decoder leaves the rows
    // after the data as they were and reports success.
    const bool fax = compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
                     compression == COMPRESSION_CCITTFAX4 || compression == COMPRESSION_CCITTRLEW;
    const bool tiled = TIFFIsTiled(tif);
    // An uncompressed strip holds its rows byte for byte: one listed with
    // fewer bytes (or none, at offset 0) would otherwise be read from
    // whatever lies at its offset, over every row the header claims.
    if (compression == COMPRESSION_NONE && !tiled) {
        const uint64_t row = (uint64_t)TIFFScanlineSize64(tif);
        if (row == 0) return 0;
        return (uint32_t)std::min<uint64_t>(n, TIFFGetStrileByteCount(tif, TIFFComputeStrip(tif, ys, 0)) / row);
    }
    if (!jpeg && !fax) return n;
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    const uint16_t planes = planar == PLANARCONFIG_SEPARATE ? samples : 1;
    const uint64_t decoded = tiled ? (uint64_t)TIFFTileSize64(tif) : (uint64_t)TIFFVStripSize64(tif, n);
    uint64_t rows = n;
    auto hold = [&](uint32_t strile) {
        const uint64_t coded = TIFFGetStrileByteCount(tif, strile);
        if (jpeg) rows = coded * kMaxJpegSamplesPerByte >= decoded ? rows : 0;
        else rows = std::min<uint64_t>(rows, coded * 8);
    };
    if (!tiled) {
        for (uint16_t p = 0; p < planes; ++p) hold(TIFFComputeStrip(tif, ys, p));
        return (uint32_t)rows;
    }
    uint32_t tileWidth = 0, width = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    if (tileWidth == 0) return 0;
    for (uint32_t x = 0; x < width; x += tileWidth) {
        for (uint16_t p = 0; p < planes; ++p) hold(TIFFComputeTile(tif, x, ys, 0, p));
        if (x > UINT32_MAX - tileWidth) break;
    }
    return (uint32_t)rows;
}

uint32_t PxImageTIF::ReadBand(TIFF* tif, uint32_t ys, uint32_t n, BYTE* band, size_t line, BYTE* tileBuffer)
{
    const uint32_t rows = RowsCodedBytesCanHold(tif, ys, n);
    if (rows == 0) return 0;
    if (!TIFFIsTiled(tif)) {
        const tmsize_t wanted = (tmsize_t)(n * line);
        return TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, ys, 0), band, wanted) != -1 ? rows : 0;
    }
    uint32_t tileWidth = 0, width = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    const tmsize_t tileRow = TIFFTileRowSize(tif);
    if (tileWidth == 0 || tileRow <= 0) return 0;
    size_t offset = 0;
    for (uint32_t x = 0; x < width && offset < line; x += tileWidth) {
        if (TIFFReadTile(tif, tileBuffer, x, ys, 0, 0) < 0) return 0;
        const uint32_t columns = (uint32_t)std::min<size_t>((size_t)tileRow, line - offset);
        TileToStrip(band + offset, tileBuffer, n, columns, (uint32_t)(line - columns), (uint32_t)(tileRow - columns));
        offset += (size_t)tileRow;
    }
    return rows;
}

void PxImageTIF::ReadResolution(TIFF* tif)
{
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    // Every finite float below 2^31 in size converts to a LONG.
    auto fits = [](float v) { return std::isfinite(v) && std::fabs(v) < 2147483648.0f; };
    float value = 0;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &value)) {
        if (unit == RESUNIT_CENTIMETER) value = value * 2.54f + 0.5f;
        SetXDPI(fits(value) ? (LONG)value : 0);
    }
    if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &value)) {
        if (unit == RESUNIT_CENTIMETER) value = value * 2.54f + 0.5f;
        SetYDPI(fits(value) ? (LONG)value : 0);
    }
    if (TIFFGetField(tif, TIFFTAG_XPOSITION, &value) && fits(value)) info.xOffset = (int32_t)value;
    if (TIFFGetField(tif, TIFFTAG_YPOSITION, &value) && fits(value))
        info.yOffset = (int32_t)value;
}

bool PxImageTIF::CreateOriented(uint32_t width, uint32_t height, DWORD bpp, uint16_t orientation)
{
    placeOrientation = orientation >= ORIENTATION_TOPLEFT && orientation <= ORIENTATION_LEFTBOT ? orientation
                                                                                              : ORIENTATION_TOPLEFT;
    fileWidth = width;
    fileHeight = height;
    const bool turned = placeOrientation >= ORIENTATION_LEFTTOP;
    return Create(turned ? height : width, turned ? width : height, bpp, PXIMAGE_FORMAT_TIF) != nullptr;
}

void PxImageTIF::Place(uint32_t r, uint32_t c, uint32_t& x, uint32_t& storedRow) const
{
    // Where the file's column c of row r shows, from the left and from the
    // top. Orientation 6 has row 0 on the right: a clockwise quarter turn;
    // 8, row 0 on the left, a counter-clockwise one.
    const uint32_t w = fileWidth, h = fileHeight;
    uint32_t y;
    switch (placeOrientation) {
    case ORIENTATION_TOPRIGHT: x = w - 1 - c; y = r; break;
    case ORIENTATION_BOTRIGHT: x = w - 1 - c; y = h - 1 - r; break;
    case ORIENTATION_BOTLEFT: x = c; y = h - 1 - r; break;
    case ORIENTATION_LEFTTOP: x = r; y = c; break;
    case ORIENTATION_RIGHTTOP: x = h - 1 - r; y = c; break;
    case ORIENTATION_RIGHTBOT: x = h - 1 - r; y = w - 1 - c; break;
    case ORIENTATION_LEFTBOT: x = r; y = w - 1 - c; break;
    default: x = c; y = r; break;
    }
    storedRow = (uint32_t)header.height - 1 - y;
}

BYTE* PxImageTIF::PlacedPixel(uint32_t r, uint32_t c)
{
    uint32_t x, row;
    Place(r, c, x, row);
    return info.bits + (size_t)row * info.effWidth + (size_t)x * (GetBpp() / 8);
}

void PxImageTIF::PlaceRow(uint32_t r, const BYTE* pixels, const BYTE* rowAlpha)
{
    const int bpp = GetBpp();
    const size_t stride = (size_t)header.width;
    uint32_t x0, row0;
    Place(r, 0, x0, row0);
    if (placeOrientation == ORIENTATION_TOPLEFT || placeOrientation == ORIENTATION_BOTLEFT) {
        // The row keeps its order: copied whole.
        memcpy(info.bits + (size_t)row0 * info.effWidth, pixels, info.effWidth);
        if (alpha && rowAlpha) memcpy(alpha + (size_t)row0 * stride, rowAlpha, fileWidth);
        return;
    }
    // Along a row the place moves by one pixel or one stored row a column.
    uint32_t x1 = x0, row1 = row0;
    if (fileWidth > 1) Place(r, 1, x1, row1);
    const int64_t dx = (int64_t)x1 - x0, dRow = (int64_t)row1 - row0;
    int64_t x = x0, row = row0;
    for (uint32_t c = 0; c < fileWidth; ++c, x += dx, row += dRow) {
        BYTE* to = info.bits + (size_t)row * info.effWidth;
        if (bpp == 24) memcpy(to + 3 * (size_t)x, pixels + 3 * (size_t)c, 3);
        else WritePackedIndex(to, (LONG)x, bpp, ReadPackedIndex(pixels, (LONG)c, bpp));
        if (alpha && rowAlpha) alpha[(size_t)row * stride + (size_t)x] = rowAlpha[c];
    }
}

bool PxImageTIF::Exit(TIFF* tif, const char* failure)
{
    if (failure) SetLastErrorText(failure);
    if (tif) TIFFClose(tif);
    return info.escape == -1 && info.type == PXIMAGE_FORMAT_TIF;
}

bool PxImageTIF::Decode(PxFile* stream)
{
    if (!stream) {
        SetLastErrorText("null file handler");
        return false;
    }
    // Opened with the GeoTIFF tags known, so that the tie point and the
    // pixel scale come with their counts.
    const char* unloaded = nullptr;
    const auto clientOpen = GeoTiffClientOpen(unloaded);
    if (!clientOpen) return Exit(nullptr, unloaded);
    TIFF* tif = clientOpen("TIFF IMAGE", "rb", (thandle_t)stream, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc,
                           MapProc, UnmapProc);
    if (!tif) return Exit(nullptr, "Error encountered while opening TIFF file");
    info.frameCount = (int32_t)TIFFNumberOfDirectories(tif);
    if (info.frame < 0 || info.frame >= info.frameCount || !TIFFSetDirectory(tif, (tdir_t)info.frame))
        return Exit(tif, "Error: page not present in TIFF file");

    uint32_t width = 0, height = 0, rowsPerStrip = 0xFFFFFFFF;
    uint16_t samples = 1, bits = 1, photometric = 0, orientation = 1, compression = 1, sampleFormat = 1;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(tif, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetField(tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat);

    uint16_t count = 0;
    double* tie = nullptr;
    double* scale = nullptr;
    if (TIFFGetField(tif, TIFFTAG_GEOTIEPOINTS, &count, &tie) && count == 6 && tie[0] == 0.0 && tie[1] == 0.0 &&
        TIFFGetField(tif, TIFFTAG_GEOPIXELSCALE, &count, &scale) && count == 3 && !(scale[0] == 0.0 && scale[1] == 0.0)) {
        GeoTiePointX = tie[3];
        GeoTiePointY = tie[4];
        GeoPixelScaleX = scale[0];
        GeoPixelScaleY = scale[1];
        if (photometric == PHOTOMETRIC_MINISBLACK && bits == 16 && samples == 1 && sampleFormat != SAMPLEFORMAT_IEEEFP)
            return DecodeElevation16(tif);
    }

    if (info.escape == -1) {
        header.width = (LONG)width;
        header.height = (LONG)height;
        info.type = PXIMAGE_FORMAT_TIF;
        return Exit(tif, "output dimensions returned");
    }
    ReadResolution(tif);
    info.backgroundIndex = -1;
    if (rowsPerStrip > height) {
        rowsPerStrip = height;
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    }

    const bool rgbFamily = photometric == PHOTOMETRIC_RGB || photometric == PHOTOMETRIC_SEPARATED ||
                           photometric == PHOTOMETRIC_YCBCR || photometric == PHOTOMETRIC_LOGL ||
                           photometric == PHOTOMETRIC_LOGLUV;
    const bool bigPalette = !rgbFamily && photometric == PHOTOMETRIC_PALETTE && bits > 8;
    DWORD bpp;
    if (rgbFamily || bigPalette || samples >= 3) bpp = 24;
    else if (photometric <= PHOTOMETRIC_PALETTE && bits == 1) bpp = 1;
    else if (bits == 4) bpp = 4;
    else bpp = 8;
    // Only layouts the row code below reads: floating-point and signed
    // samples, and several samples wider than a byte, would become a picture
    // that was never there.
    if (!rgbFamily && (bits == 0 || bits > 32 || sampleFormat == SAMPLEFORMAT_IEEEFP || sampleFormat == SAMPLEFORMAT_INT ||
                       (samples > 1 && bits != 8 && bits != 16) || samples > 4 || samples == 0))
        return Exit(tif, "Unsupported TIFF sample layout");

    if (info.escape) return Exit(tif, "Cancelled");
    if (!CreateOriented(width, height, bpp, orientation)) return Exit(tif, "PxImageTIF can't create image");
    // Planes start transparent and take each row as it is read: rows the
    // file does not hold cost nothing.
    if ((samples == 4 || (samples == 2 && bits == 8)) && !AlphaCreate(false))
        return Exit(tif, "PxImageTIF can't allocate memory");
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    SetCodecOption(compression);

    const bool tiled = TIFFIsTiled(tif);
    uint32_t bandRows = rowsPerStrip == 0 ? 1 : rowsPerStrip;
    if (tiled) {
        uint32_t tileLength = 0;
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
        bandRows = std::max<uint32_t>(tileLength, 1);
    }
    // Eight-bit interleaved RGB is read as it stands: the RGBA reader would
    // premultiply unassociated alpha, and undoing that loses the colours
    // where alpha is low.
    uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    const bool rawRgb = photometric == PHOTOMETRIC_RGB && bits == 8 && (samples == 3 || samples == 4) &&
                        planar == PLANARCONFIG_CONTIG;
    if (rgbFamily && !rawRgb) return DecodeRgba(tif, width, height, bandRows, samples);

    // The palette: bilevel, grey ramp, colour map or black.
    if (bigPalette && bits > 24) return Exit(tif, "Too big palette to handle");
    const uint32_t entries = bigPalette ? 1u << bits : 256;
    PxRgbQuad* palette = (PxRgbQuad*)calloc(entries, sizeof(PxRgbQuad));
    if (!palette) return Exit(tif, "Unable to allocate TIFF palette");
    const int b = std::min<int>(bits, 8);
    const uint32_t used = 1u << b;
    if (photometric <= PHOTOMETRIC_MINISBLACK && bits == 1) {
        palette[photometric == PHOTOMETRIC_MINISBLACK ? 1 : 0] = PxRgbQuad{255, 255, 255, 0};
    } else if (photometric <= PHOTOMETRIC_MINISBLACK) {
        const uint32_t step = 255 / (used - 1);
        for (uint32_t i = 0; i < used; ++i) {
            const BYTE level = (BYTE)(photometric == PHOTOMETRIC_MINISBLACK ? i * step : 255 - i * step);
            palette[i] = PxRgbQuad{level, level, level, 0};
        }
    } else if (photometric == PHOTOMETRIC_PALETTE) {
        uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
        if (TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue)) {
            const uint32_t mapLength = bigPalette ? entries : used;
            bool wide = bigPalette;
            for (uint32_t i = 0; i < used && !wide; ++i) wide = red[i] >= 256 || green[i] >= 256 || blue[i] >= 256;
            for (uint32_t i = mapLength; i-- > 0;) {
                palette[i] = wide ? PxRgbQuad{(BYTE)(blue[i] * 255 / 65535), (BYTE)(green[i] * 255 / 65535),
                                              (BYTE)(red[i] * 255 / 65535), 0}
                                  : PxRgbQuad{(BYTE)blue[i], (BYTE)green[i], (BYTE)red[i], 0};
            }
        }
    }
    if (!bigPalette) {
        SetPalette(palette, used);
        free(palette);
        palette = nullptr;
    }

    // Buffers.
    const uint64_t line = ((uint64_t)bits * samples * width + 7) / 8;
    const uint64_t bandSize = (uint64_t)bandRows * line;
    uint64_t held = 0;
    BYTE* tileBuffer = tiled ? AllocBuffer((uint64_t)std::max<tmsize_t>(TIFFTileSize(tif), 0), held) : nullptr;
    BYTE* band = AllocBuffer(std::max<uint64_t>(bandSize, (uint64_t)std::max<tmsize_t>(TIFFStripSize(tif), 0)), held);
    const bool sixteen = bits == 16 && !bigPalette;
    const uint64_t line8 = (uint64_t)samples * width;
    BYTE* band8 = sixteen ? AllocBuffer(line8, held) : nullptr;
    BYTE* shifts = sixteen && !tiled ? AllocBuffer(height, held) : nullptr;
    // One row as the image stores it, and its alpha values, before it is placed.
    const size_t rowBytes = (size_t)(((uint64_t)bpp * width + 31) / 32 * 4);
    BYTE* out = AllocBuffer(rowBytes, held);
    BYTE* rowAlpha = AllocBuffer(width, held);
    if (!band || (tiled && !tileBuffer) || (sixteen && !band8) || (sixteen && !tiled && !shifts) || !out || !rowAlpha) {
        free(band);
        free(tileBuffer);
        free(band8);
        free(shifts);
        free(out);
        free(rowAlpha);
        free(palette);
        return Exit(tif, "PxImageTIF can't allocate memory");
    }

    const char* failure = nullptr;
    bool anyRead = false;
    uint32_t rowsRead = 0;
    bool ended = false;
    for (uint32_t ys = 0; ys < height && !failure && !ended; ys += bandRows) {
        if (info.escape) {
            failure = "Cancelled";
            break;
        }
        // A strip that cannot be read, or holds fewer rows than it claims,
        // ends the picture there.
        const uint32_t claimed = std::min(bandRows, height - ys);
        const uint32_t n = ReadBand(tif, ys, claimed, band, (size_t)line, tileBuffer);
        if (n == 0) {
            if (tiled) failure = "Corrupted tiled TIFF file!";
            break;
        }
        anyRead = true;
        ended = n < claimed;
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t fileRow = ys + i;
            const BYTE* in = band + (size_t)i * line;
            memset(out, 0, rowBytes);
            if (sixteen) {
                // 16-bit samples to 8: striped rows by a shift that fits the
                // row's largest value, tiled rows by their high bytes.
                const size_t count = (size_t)line8;
                if (tiled) {
                    for (size_t k = 0; k < count; ++k) band8[k] = in[2 * k + 1];
                } else {
                    BYTE m = 0;
                    for (size_t k = 0; k < count; ++k) m = std::max(m, in[2 * k + 1]);
                    const int s = m ? LeadingZeros(m) : 8;
                    shifts[fileRow] = (BYTE)s;
                    for (size_t k = 0; k < count; ++k) band8[k] = (BYTE)((in[2 * k + 1] << 8 | in[2 * k]) >> (8 - s));
                }
                in = band8;
            }
            const int sampleBits = sixteen ? 8 : bits;
            if (samples == 1) {
                if (bigPalette) MoveBitsPal(out, in, (int)width, bits, palette);
                else if ((DWORD)sampleBits == bpp || sixteen) memcpy(out, in, std::min<size_t>(rowBytes, (size_t)(sixteen ? line8 : line)));
                else if (bits == 32) for (uint32_t x = 0; x < width; ++x) out[x] = in[4 * x + 3];
                else MoveBits(out, in, (int)width, bits);
            } else if (samples == 2) {
                if (!alpha) AlphaCreate(false);
                for (uint32_t x = 0; x < width; ++x) {
                    out[x] = in[2 * x];
                    rowAlpha[x] = in[2 * x + 1];
                }
            } else if (rawRgb) {
                for (uint32_t x = 0; x < width; ++x) {
                    const BYTE* p = in + (size_t)samples * x;
                    out[3 * x] = p[2];
                    out[3 * x + 1] = p[1];
                    out[3 * x + 2] = p[0];
                    if (samples == 4) rowAlpha[x] = p[3];
                }
            } else {
                // CIE L*a*b*.
                for (uint32_t x = 0; x < width; ++x) {
                    const double p = (in[samples * x] / 2.55 + 16) / 116;
                    const double X = pow(p + (signed char)in[samples * x + 1] * 0.002, 3) * 0.95047;
                    const double Y = pow(p, 3);
                    const double Z = pow(p - (signed char)in[samples * x + 2] * 0.005, 3) * 1.0883;
                    double rgb[3] = {3.240479 * X - 1.537150 * Y - 0.498535 * Z, -0.969256 * X + 1.875992 * Y + 0.041556 * Z,
                                     0.055648 * X - 0.204043 * Y + 1.057311 * Z};
                    for (double& c : rgb) {
                        c = c > 0.00304 ? 1.055 * pow(c, 0.41667) - 0.055 : 12.92 * c;
                        c = std::min(255.0, std::max(0.0, c * 255));
                    }
                    out[3 * x] = (BYTE)rgb[2];
                    out[3 * x + 1] = (BYTE)rgb[1];
                    out[3 * x + 2] = (BYTE)rgb[0];
                    if (samples == 4) rowAlpha[x] = in[4 * x + 3];
                }
            }
            PlaceRow(fileRow, out, alpha ? rowAlpha : nullptr);
            rowsRead = fileRow + 1;
        }
    }
    free(band);
    free(tileBuffer);
    free(band8);
    free(out);
    free(rowAlpha);
    // One scale for every row of a striped 16-bit picture: the shift of the
    // row with the largest values.
    if (shifts && anyRead && !failure) {
        int s0 = 8;
        for (uint32_t r = 0; r < rowsRead; ++r) s0 = std::min<int>(s0, shifts[r]);
        const size_t pixelBytes = GetBpp() / 8;
        for (uint32_t r = 0; r < rowsRead; ++r) {
            const int d = shifts[r] - s0;
            if (d <= 0) continue;
            for (uint32_t c = 0; c < width; ++c) {
                BYTE* p = PlacedPixel(r, c);
                for (size_t k = 0; k < pixelBytes; ++k) p[k] >>= d;
            }
        }
    }
    free(shifts);
    free(palette);
    if (!failure && !anyRead) failure = "Corrupted TIFF file!";
    if (failure) return Exit(tif, failure);
    TIFFClose(tif);
    return true;
}

bool PxImageTIF::DecodeRgba(TIFF* tif, uint32_t width, uint32_t height, uint32_t bandRows, uint16_t samples)
{
    char message[1024];
    TIFFRGBAImage image;
    if (!TIFFRGBAImageOK(tif, message) || !TIFFRGBAImageBegin(&image, tif, 1, message))
        return Exit(tif, "Corrupted TIFF file!");
    // Rows come in the file's order, unturned: they are placed by the
    // orientation as for every other layout.
    image.req_orientation = image.orientation;
    // Unassociated alpha comes back premultiplied: undone here, since the
    // alpha plane applies it again.
    const bool unassociated = image.alpha == EXTRASAMPLE_UNASSALPHA;
    uint64_t held = 0;
    uint32_t* raster = (uint32_t*)AllocBuffer((uint64_t)width * std::min(bandRows, height) * 4, held);
    BYTE* out = AllocBuffer((uint64_t)width * 3 + 4, held);
    BYTE* rowAlpha = AllocBuffer(width, held);
    if (!raster || !out || !rowAlpha) {
        free(raster);
        free(out);
        free(rowAlpha);
        TIFFRGBAImageEnd(&image);
        return Exit(tif, "No space for raster buffer");
    }
    const char* failure = nullptr;
    bool anyRead = false;
    for (uint32_t ys = 0; ys < height; ys += bandRows) {
        if (info.escape) {
            failure = "Cancelled";
            break;
        }
        const uint32_t n = std::min(bandRows, height - ys);
        image.row_offset = (int)ys;
        image.col_offset = 0;
        // A band that cannot be read ends the picture here.
        if (RowsCodedBytesCanHold(tif, ys, n) < n || !TIFFRGBAImageGet(&image, raster, width, n)) break;
        anyRead = true;
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t* in = raster + (size_t)i * width;
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t v = in[x];
                BYTE r = (BYTE)TIFFGetR(v), g = (BYTE)TIFFGetG(v), b = (BYTE)TIFFGetB(v);
                const BYTE a = (BYTE)TIFFGetA(v);
                if (samples == 4 && unassociated && a > 0 && a < 255) {
                    r = (BYTE)std::min(255, (r * 255 + a / 2) / a);
                    g = (BYTE)std::min(255, (g * 255 + a / 2) / a);
                    b = (BYTE)std::min(255, (b * 255 + a / 2) / a);
                }
                out[3 * x] = b;
                out[3 * x + 1] = g;
                out[3 * x + 2] = r;
                rowAlpha[x] = a;
            }
            PlaceRow(ys + i, out, alpha && samples == 4 ? rowAlpha : nullptr);
        }
    }
    TIFFRGBAImageEnd(&image);
    free(raster);
    free(out);
    free(rowAlpha);
    if (!failure && !anyRead) failure = "Corrupted TIFF file!";
    if (failure) return Exit(tif, failure);
    TIFFClose(tif);
    return true;
}

bool PxImageTIF::DecodeElevation16(TIFF* tif)
{
    if (!tif) return Exit(nullptr, "Error encountered while opening TIFF file");
    info.frameCount = (int32_t)TIFFNumberOfDirectories(tif);
    if (info.frame < 0 || info.frame >= info.frameCount || !TIFFSetDirectory(tif, (tdir_t)info.frame))
        return Exit(tif, "Error: page not present in TIFF file");
    uint32_t width = 0, height = 0, rowsPerStrip = 0xFFFFFFFF;
    uint16_t samples = 1, bits = 1, orientation = 1, compression = 1;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    TIFFGetField(tif, TIFFTAG_ORIENTATION, &orientation);
    if (info.escape == -1) {
        header.width = (LONG)width;
        header.height = (LONG)height;
        info.type = PXIMAGE_FORMAT_TIF;
        return Exit(tif, "output dimensions returned");
    }
    if (samples != 1 || bits != 16) return Exit(tif, "Unsupported TIFF sample layout");
    ReadResolution(tif);
    info.backgroundIndex = -1;
    if (rowsPerStrip == 0) rowsPerStrip = 1;
    if (rowsPerStrip > height) {
        rowsPerStrip = height;
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    }
    if (info.escape) return Exit(tif, "Cancelled");
    if (!CreateOriented(width, height, 24, orientation)) return Exit(tif, "PxImageTIF can't create image");
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    SetCodecOption(compression);

    const bool tiled = TIFFIsTiled(tif);
    uint32_t bandRows = rowsPerStrip;
    BYTE* tileBuffer = nullptr;
    uint64_t held = 0;
    if (tiled) {
        uint32_t tileLength = 0;
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
        bandRows = std::max<uint32_t>(tileLength, 1);
        tileBuffer = AllocBuffer((uint64_t)std::max<tmsize_t>(TIFFTileSize(tif), 0), held);
    }
    const uint64_t line = (uint64_t)width * 2;
    BYTE* band = AllocBuffer(
        std::max<uint64_t>((uint64_t)bandRows * line, (uint64_t)std::max<tmsize_t>(TIFFStripSize(tif), 0)), held);
    BYTE* out = AllocBuffer((uint64_t)width * 3 + 4, held);
    if (!band || (tiled && !tileBuffer) || !out) {
        free(band);
        free(tileBuffer);
        free(out);
        return Exit(tif, "PxImageTIF can't allocate memory");
    }
    bool anyRead = false;
    for (uint32_t ys = 0; ys < height; ys += bandRows) {
        if (info.escape) {
            free(band);
            free(tileBuffer);
            free(out);
            return Exit(tif, "Cancelled");
        }
        const uint32_t n = ReadBand(tif, ys, std::min(bandRows, height - ys), band, (size_t)line, tileBuffer);
        if (n == 0) break;
        anyRead = true;
        for (uint32_t i = 0; i < n; ++i) {
            const BYTE* in = band + (size_t)i * line;
            for (uint32_t x = 0; x < width; ++x) {
                out[3 * x] = in[2 * x];
                out[3 * x + 1] = in[2 * x + 1];
                out[3 * x + 2] = 0;
            }
            PlaceRow(ys + i, out, nullptr);
        }
    }
    free(band);
    free(tileBuffer);
    free(out);
    // A tile none of whose data could be read is no elevation tile.
    if (!anyRead) return Exit(tif, "Corrupted TIFF file!");
    TIFFClose(tif);
    return true;
}

bool PxImageTIF::Encode(PxFile* stream, bool)
{
    if (!stream) {
        SetLastErrorText("null file handler");
        return false;
    }
    if (!dib) {
        SetLastErrorText("null image!!!");
        return false;
    }
    if (!writeHandle) {
        writeHandle = TIFFClientOpen("TIFF IMAGE", "a", (thandle_t)stream, ReadProc, WriteProc, SeekProc, CloseProc,
                                     SizeProc, MapProc, UnmapProc);
        if (!writeHandle) {
            SetLastErrorText("initialization fail");
            return false;
        }
    }
    multiPage = pageCount != 0;
    ++pageCount;
    // The directory is written by the flush: a failed flush is a failed save.
    const bool ok = EncodeBody(writeHandle, multiPage, pageCount, pageCount) && TIFFFlush(writeHandle);
    TIFFClose(writeHandle);
    writeHandle = nullptr;
    multiPage = false;
    pageCount = 0;
    if (!ok) SetLastErrorText("Error saving TIFF file");
    return ok;
}

bool PxImageTIF::EncodeBody(TIFF* tif, bool isMultiPage, int page, int pages)
{
    const DWORD bpp = GetBpp();
    const LONG width = header.width, height = header.height;
    const PxRgbQuad* palette = GetPalette();
    uint16_t samples = bpp == 24 ? 3 : 1;
    uint16_t bitsPerSample = bpp == 24 ? 8 : (uint16_t)bpp;
    if (bpp == 24 && alpha) samples = 4;
    const bool greyAlpha = bpp == 8 && alpha;
    if (greyAlpha) samples = 2;

    uint16_t photometric;
    bool invert = false;
    if (bpp == 1) {
        // Black and white as white-is-zero (the row copies inverted when
        // entry 0 is the dark one); two other colours as a palette.
        const PxRgbQuad black{0, 0, 0, 0}, white{255, 255, 255, 0};
        PxRgbQuad c0 = palette[0], c1 = palette[1];
        c0.reserved = c1.reserved = 0;
        if ((c0 == black && c1 == white) || (c0 == white && c1 == black)) {
            photometric = PHOTOMETRIC_MINISWHITE;
            invert = c0 == black;
        } else {
            photometric = PHOTOMETRIC_PALETTE;
        }
    } else if (bpp == 4 || bpp == 8) {
        photometric = IsGrayRamp() ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_PALETTE;
    } else {
        photometric = PHOTOMETRIC_RGB;
    }

    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, (uint32_t)width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, (uint32_t)height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bitsPerSample);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    if (samples == 2 || samples == 4) {
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    uint32_t rowsPerStrip = TIFFDefaultStripSize(tif, 0xFFFFFFFF);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, (float)info.xDpi);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, (float)info.yDpi);
    if (isMultiPage) {
        char name[32];
        snprintf(name, sizeof name, "Page %d", page);
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, (uint16_t)page, (uint16_t)pages);
        TIFFSetField(tif, TIFFTAG_PAGENAME, name);
    } else {
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    }
    if (photometric == PHOTOMETRIC_PALETTE) {
        uint16_t red[256], green[256], blue[256];
        for (int i = 0; i < 256; ++i) {
            const PxRgbQuad c = GetPaletteColor((BYTE)i);
            red[i] = (uint16_t)(c.red * 257);
            green[i] = (uint16_t)(c.green * 257);
            blue[i] = (uint16_t)(c.blue * 257);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, red, green, blue);
    }

    uint16_t compression = (uint16_t)GetCodecOption(PXIMAGE_FORMAT_TIF);
    if (compression == 0) {
        if (bpp == 1) compression = photometric == PHOTOMETRIC_MINISWHITE ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW;
        else if (bpp == 4 || bpp == 8) compression = COMPRESSION_LZW;
        else compression = COMPRESSION_JPEG;
    }
    if (!TIFFSetField(tif, TIFFTAG_COMPRESSION, compression)) return false;
    if (compression == COMPRESSION_LZW && bpp >= 8) TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (compression == COMPRESSION_JPEG) {
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, (int)(info.jpegQuality + 0.5f));
        rowsPerStrip = (rowsPerStrip + 7) / 8 * 8;
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    }

    const size_t rowBytes = std::max<size_t>((size_t)TIFFScanlineSize(tif), info.effWidth) + 4 * (size_t)width;
    BYTE* row = (BYTE*)malloc(rowBytes);
    if (!row) return false;
    bool ok = true;
    for (LONG r = 0; r < height && ok; ++r) {
        const LONG y = height - 1 - r;
        const BYTE* stored = info.bits + (size_t)y * info.effWidth;
        const BYTE* a = alpha ? alpha + (size_t)y * width : nullptr;
        if (greyAlpha) {
            for (LONG x = 0; x < width; ++x) {
                row[2 * x] = stored[x];
                row[2 * x + 1] = a[x];
            }
        } else if (bpp == 24 && a) {
            for (LONG x = 0; x < width; ++x) {
                row[4 * x] = stored[3 * x + 2];
                row[4 * x + 1] = stored[3 * x + 1];
                row[4 * x + 2] = stored[3 * x];
                row[4 * x + 3] = a[x];
            }
        } else if (bpp == 24) {
            for (LONG x = 0; x < width; ++x) {
                row[3 * x] = stored[3 * x + 2];
                row[3 * x + 1] = stored[3 * x + 1];
                row[3 * x + 2] = stored[3 * x];
            }
        } else {
            memcpy(row, stored, info.effWidth);
            if (invert)
                for (size_t k = 0; k < info.effWidth; ++k) row[k] = (BYTE)~row[k];
        }
        ok = TIFFWriteScanline(tif, row, (uint32_t)r, 0) != -1;
    }
    free(row);
    return ok;
}
