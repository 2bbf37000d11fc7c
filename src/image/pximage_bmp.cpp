// Everything read from the file is checked before use: the header's size,
// dimensions, bit count and palette length, the pixel offset, and every RLE
// run, literal and delta, which may only write inside the pixel area.
#include "image/pximage_bmp.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

const WORD kBitmapType = 0x4D42;  // "BM"
const DWORD kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3;

#pragma pack(push, 2)
struct BitmapFileHeader {
    WORD type;
    DWORD size;
    WORD reserved1;
    WORD reserved2;
    DWORD offBits;
};
#pragma pack(pop)
static_assert(sizeof(BitmapFileHeader) == 14, "bitmap file header layout");

WORD Swap16(WORD v) { return (WORD)((v >> 8) | (v << 8)); }
DWORD Swap32(DWORD v) { return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24); }

int CountBits(DWORD v)
{
    int n = 0;
    for (; v; v &= v - 1) ++n;
    return n;
}

int LowestBit(DWORD v)
{
    if (!v) return 0;
    int n = 0;
    while (!(v & 1)) {
        v >>= 1;
        ++n;
    }
    return n;
}

// A colour field of a 16-bit pixel scaled to 8 bits from its own mask.
BYTE Field16(DWORD v, DWORD mask)
{
    int n = CountBits(mask);
    if (n == 0) return 0;
    DWORD f = (v & mask) >> LowestBit(mask);
    return (BYTE)(n >= 8 ? f >> (n - 8) : f << (8 - n));
}

// Byte index of a colour inside a 32-bit pixel, by where its mask has bits.
int ByteIndex32(DWORD mask)
{
    int n = 0;
    for (int i = 8; i <= 24; i += 8)
        if (mask >> i) ++n;
    return n;
}

}  // namespace

void PxImageBMP::HeaderToHost(PxBitmapInfoHeader* b) const
{
    if (info.littleEndianHost) return;
    b->size = Swap32(b->size);
    b->width = (LONG)Swap32((DWORD)b->width);
    b->height = (LONG)Swap32((DWORD)b->height);
    b->planes = Swap16(b->planes);
    b->bitCount = Swap16(b->bitCount);
    b->compression = Swap32(b->compression);
    b->sizeImage = Swap32(b->sizeImage);
    b->xPelsPerMeter = (LONG)Swap32((DWORD)b->xPelsPerMeter);
    b->yPelsPerMeter = (LONG)Swap32((DWORD)b->yPelsPerMeter);
    b->clrUsed = Swap32(b->clrUsed);
    b->clrImportant = Swap32(b->clrImportant);
}

bool PxImageBMP::ReadBitmapInfo(PxFile* stream, PxBitmapInfoHeader* bih, DWORD masks[4], bool* headerMasks)
{
    *headerMasks = false;
    BYTE raw[40];
    if (stream->Read(raw, 40, 1) == 0) return false;
    memcpy(bih, raw, 40);
    HeaderToHost(bih);
    const DWORD size = bih->size;
    if (size == 12) {
        WORD core[4];
        memcpy(core, raw + 4, 8);
        if (!info.littleEndianHost)
            for (WORD& w : core) w = Swap16(w);
        memset(bih, 0, sizeof *bih);
        bih->size = 12;
        bih->width = core[0];
        bih->height = core[1];
        bih->planes = core[2];
        bih->bitCount = core[3];
        if (!stream->Seek(-28, 1)) return false;
    } else if (size < 40 || size > 1024) {
        return false;
    } else {
        // Headers of 52 bytes and more carry the colour masks at bytes 40 to
        // 51, those of 56 and more the alpha mask at 52; the rest of a longer
        // header is skipped.
        const DWORD maskCount = size >= 56 ? 4 : size >= 52 ? 3 : 0;
        if (maskCount) {
            if (stream->Read(masks, 4, maskCount) != maskCount) return false;
            if (!info.littleEndianHost)
                for (DWORD i = 0; i < maskCount; ++i) masks[i] = Swap32(masks[i]);
            *headerMasks = true;
        }
        DWORD rest = size - 40 - 4 * maskCount;
        if (rest && !stream->Seek((int)rest, 1)) return false;
    }
    if (bih->sizeImage == 0)
        bih->sizeImage = (DWORD)(((uint64_t)bih->bitCount * (DWORD)std::abs((int64_t)bih->width) + 31) / 8 & ~3ull) *
                         (DWORD)std::min<int64_t>(std::abs((int64_t)bih->height), UINT32_MAX);
    if (bih->clrUsed == 0 && bih->bitCount <= 8) bih->clrUsed = 1u << bih->bitCount;
    return true;
}

void PxImageBMP::BitfieldsToRgb(const BYTE* in, DWORD redMask, DWORD greenMask, DWORD blueMask, BYTE bpp, LONG row)
{
    const LONG width = header.width;
    BYTE* out = info.bits + (size_t)row * info.effWidth;
    if (bpp == 16) {
        for (LONG x = 0; x < width; ++x) {
            DWORD v = in[2 * x] | (DWORD)in[2 * x + 1] << 8;
            out[3 * x] = Field16(v, blueMask);
            out[3 * x + 1] = Field16(v, greenMask);
            out[3 * x + 2] = Field16(v, redMask);
        }
    } else if (bpp == 32) {
        const int ib = ByteIndex32(blueMask), ig = ByteIndex32(greenMask), ir = ByteIndex32(redMask);
        for (LONG x = 0; x < width; ++x) {
            out[3 * x] = in[4 * x + ib];
            out[3 * x + 1] = in[4 * x + ig];
            out[3 * x + 2] = in[4 * x + ir];
        }
    }
}

void PxImageBMP::DecodeRle(PxFile* stream, bool rle4, bool topDown)
{
    const LONG height = header.height;
    BYTE* rowStart = info.bits + (topDown ? (size_t)(height - 1) * info.effWidth : 0);  // the file's row 0
    int64_t x = 0, y = 0;
    bool lowNibble = false;
    // One pixel into the selected row; a byte outside the row is dropped.
    auto put = [&](BYTE value) {
        const bool inside = x >= 0 && x < info.effWidth;
        if (rle4) {
            if (inside) rowStart[x] = lowNibble ? (BYTE)(rowStart[x] | (value & 0x0F)) : (BYTE)(value << 4);
            if (lowNibble) ++x;
            lowNibble = !lowNibble;
        } else {
            if (inside) rowStart[x] = value;
            ++x;
        }
    };
    auto select = [&]() {
        if (y >= 0 && y < height) rowStart = info.bits + (size_t)(topDown ? height - 1 - y : y) * info.effWidth;
    };
    for (;;) {
        if (info.escape) return;
        int count = stream->GetC();
        int value = stream->GetC();
        if (count < 0 || value < 0) return;
        if (count > 0) {
            select();
            if (rle4) {
                for (int i = 0; i < count && x < info.effWidth; ++i) put((BYTE)(i & 1 ? value & 0x0F : value >> 4));
            } else {
                for (int i = 0; i < count && x < info.effWidth; ++i) put((BYTE)value);
            }
            continue;
        }
        switch (value) {
        case 0:  // end of line
            x = 0;
            ++y;
            lowNibble = false;
            break;
        case 1:  // end of bitmap
            return;
        case 2: {  // delta
            int dx = stream->GetC(), dy = stream->GetC();
            if (dx < 0 || dy < 0) return;
            x += rle4 ? dx / 2 : dx;
            y += dy;
            break;
        }
        default: {  // literal block
            select();
            const int bytes = rle4 ? (value + 1) / 2 : value;
            for (int i = 0; i < bytes; ++i) {
                int b = stream->GetC();
                if (b < 0) return;
                if (rle4) {
                    put((BYTE)(b >> 4));
                    if (2 * i + 1 < value) put((BYTE)(b & 0x0F));
                } else {
                    put((BYTE)b);
                }
            }
            if (bytes & 1) stream->GetC();
            break;
        }
        }
    }
}

bool PxImageBMP::Decode(PxFile* stream)
{
    if (!stream) {
        SetLastErrorText("null file handler");
        return false;
    }
    BYTE* buffer = nullptr;
    const char* failure = nullptr;
    const int start = stream->Tell();
    BitmapFileHeader bf;
    PxBitmapInfoHeader bih;
    DWORD masks[4] = {0, 0, 0, 0};
    bool headerMasks = false;
    bool topDown = false;
    bool oldStyle = false;
    bool rowsCopied = false;
    bool stale = false;  // the pixel block holds an earlier picture's bytes
    DWORD offBits = 0;

    if (stream->Read(&bf, sizeof bf, 1) == 0) {
        failure = "Not a BMP";
        goto fail;
    }
    if (!info.littleEndianHost) {
        bf.type = Swap16(bf.type);
        bf.offBits = Swap32(bf.offBits);
    }
    if (bf.type == kBitmapType) {
        offBits = bf.offBits;
    } else {
        // A bare DIB: the info header starts right here.
        stream->Seek(start, 0);
    }
    if (!ReadBitmapInfo(stream, &bih, masks, &headerMasks)) {
        failure = "Error reading BMP info";
        goto fail;
    }
    oldStyle = bih.size == 12;
    if (bih.height < 0) {
        if (bih.height == INT32_MIN) {
            failure = "Error reading BMP info";
            goto fail;
        }
        topDown = true;
        bih.height = -bih.height;
    }
    // Only the depths and codings that the pixel code below reads are taken:
    // anything else would leave a picture that was never read.
    if (bih.width <= 0 || bih.height == 0 || bih.planes > 1 ||
        (bih.bitCount != 1 && bih.bitCount != 4 && bih.bitCount != 8 && bih.bitCount != 16 && bih.bitCount != 24 &&
         bih.bitCount != 32)) {
        failure = "Error reading BMP info";
        goto fail;
    }
    if (info.escape == -1) {
        header.width = bih.width;
        header.height = bih.height;
        info.type = PXIMAGE_FORMAT_BMP;
        failure = "output dimensions returned";
        goto fail;
    }
    // A coding the depth does not take fails before any pixels are made.
    if ((bih.bitCount == 32 && bih.compression != kBiRgb && bih.compression != kBiBitfields) ||
        (bih.bitCount == 24 && bih.compression != kBiRgb)) {
        failure = "unknown compression";
        goto fail;
    }
    // Uncompressed rows of 1 to 24 bits are copied whole and what the file
    // did not hold is cleared after: no pass clears the rows beforehand.
    rowsCopied = bih.compression == kBiRgb && bih.bitCount <= 24 && bih.bitCount != 16;
    if (!(rowsCopied ? CreateToFill((DWORD)bih.width, (DWORD)bih.height, bih.bitCount, PXIMAGE_FORMAT_BMP, stale)
                     : Create((DWORD)bih.width, (DWORD)bih.height, bih.bitCount, PXIMAGE_FORMAT_BMP)))
        goto fail;
    SetXDPI((LONG)floor(bih.xPelsPerMeter * 254.0 / 10000.0 + 0.5));
    SetYDPI((LONG)floor(bih.yPelsPerMeter * 254.0 / 10000.0 + 0.5));
    if (info.escape) {
        failure = "Cancelled";
        goto fail;
    }

    if (PxRgbQuad* palette = GetPalette()) {
        // File entries beyond the palette are read past, not stored.
        const DWORD entrySize = oldStyle ? 3 : 4;
        const DWORD fileEntries = bih.clrUsed;
        const DWORD stored = std::min(fileEntries, header.clrUsed);
        for (DWORD i = 0; i < stored; ++i) {
            BYTE e[4] = {0, 0, 0, 0};
            if (stream->Read(e, entrySize, 1) != 1) break;
            palette[i] = PxRgbQuad{e[0], e[1], e[2], 0};
        }
        if (fileEntries > stored && !offBits) stream->Seek((int)std::min<uint64_t>((uint64_t)(fileEntries - stored) * entrySize, INT32_MAX), 1);
        info.lastColorValid = false;
    }
    if (info.escape) {
        failure = "Cancelled";
        goto fail;
    }

    {
        // The masks of a short header follow it, before the pixel offset is applied.
        if ((bih.bitCount == 16 || bih.bitCount == 32) && bih.compression == kBiBitfields && !headerMasks) {
            if (stream->Read(masks, 4, 3) != 3) {
                failure = "Error reading BMP info";
                goto fail;
            }
            if (!info.littleEndianHost)
                for (int i = 0; i < 3; ++i) masks[i] = Swap32(masks[i]);
        }
        if (offBits && !stream->Seek((int)std::min<uint64_t>((uint64_t)start + offBits, INT32_MAX), 0)) {
            failure = "Error reading BMP info";
            goto fail;
        }
        // Rows go straight to their place, top-down files included, and
        // reading stops where the file ends: the work follows what the file
        // holds, not the size its header claims.
        const LONG height = header.height;
        auto storedRow = [&](LONG fileRow) { return topDown ? height - 1 - fileRow : fileRow; };
        // A row buffer counts against the memory limit with the image.
        auto rowBuffer = [&](size_t bytes) -> bool {
            if (!FitsMemoryLimit(bytes)) {
                failure = "PXIMAGE_MAX_MEMORY exceeded";
                return false;
            }
            buffer = (BYTE*)malloc(bytes ? bytes : 1);
            if (!buffer) failure = "can't allocate memory";
            return buffer != nullptr;
        };
        switch (bih.bitCount) {
        case 32: {
            if (bih.compression != kBiBitfields) {
                masks[0] = 0x00FF0000;
                masks[1] = 0x0000FF00;
                masks[2] = 0x000000FF;
            }
            // Alpha from the fourth bytes without compression, or from the
            // header's alpha mask with bit fields. Rows the file does not
            // hold stay transparent.
            const bool alphaMask = bih.compression == kBiBitfields && masks[3] != 0;
            const bool withAlpha = bih.compression == kBiRgb || alphaMask;
            const int ia = bih.compression == kBiRgb ? 3 : ByteIndex32(masks[3]);
            if (withAlpha && !AlphaCreate(false)) {
                failure = FitsMemoryLimit((uint64_t)header.width * height) ? "can't allocate memory"
                                                                            : "PXIMAGE_MAX_MEMORY exceeded";
                goto fail;
            }
            // The row of scratch counts with the alpha plane made before it.
            const size_t rowBytes = (size_t)header.width * 4;
            if (!rowBuffer(rowBytes)) goto fail;
            bool anyAlpha = false;
            LONG rows = 0;
            for (; rows < height && stream->Read(buffer, rowBytes, 1) == 1; ++rows) {
                if (info.escape) break;
                const LONG r = storedRow(rows);
                BitfieldsToRgb(buffer, masks[0], masks[1], masks[2], 32, r);
                if (!withAlpha) continue;
                BYTE* a = alpha + (size_t)r * header.width;
                for (LONG x = 0; x < header.width; ++x) {
                    a[x] = buffer[4 * x + ia];
                    anyAlpha |= a[x] != 0;
                }
            }
            // Fourth bytes that are all zero carry no alpha: the picture is opaque.
            if (withAlpha && !anyAlpha)
                for (LONG i = 0; i < rows; ++i) memset(alpha + (size_t)storedRow(i) * header.width, 255, header.width);
            break;
        }
        case 16: {
            if (bih.compression != kBiBitfields) {
                masks[0] = 0x7C00;
                masks[1] = 0x03E0;
                masks[2] = 0x001F;
            }
            const size_t rowBytes = (size_t)((header.width + 1) / 2) * 4;
            if (!rowBuffer(rowBytes)) goto fail;
            for (LONG i = 0; i < height && !info.escape && stream->Read(buffer, rowBytes, 1) == 1; ++i)
                BitfieldsToRgb(buffer, masks[0], masks[1], masks[2], 16, storedRow(i));
            break;
        }
        default:
            switch (bih.compression) {
            case kBiRgb: {
                // A new block is zero already: clearing it would touch
                // memory for rows a short file never fills.
                const size_t pixelBytes = (size_t)info.effWidth * height;
                if (!topDown) {
                    const size_t read = stream->Read(info.bits, 1, pixelBytes);
                    if (stale) memset(info.bits + read, 0, pixelBytes - read);
                    break;
                }
                LONG i = 0;
                size_t read = info.effWidth;
                for (; i < height && !info.escape && read == info.effWidth; ++i) {
                    BYTE* row = info.bits + (size_t)storedRow(i) * info.effWidth;
                    read = stream->Read(row, 1, info.effWidth);
                    if (stale) memset(row + read, 0, info.effWidth - read);
                }
                // The file's rows not reached are the first stored ones.
                if (stale && i < height) memset(info.bits, 0, (size_t)(height - i) * info.effWidth);
                break;
            }
            case kBiRle8: DecodeRle(stream, false, topDown); break;
            case kBiRle4: DecodeRle(stream, true, topDown); break;
            default:
                failure = "compression type not supported";
                goto fail;
            }
            break;
        }
        if (info.escape) {
            failure = "Cancelled";
            goto fail;
        }
    }
    free(buffer);
    buffer = nullptr;
    return true;

fail:
    free(buffer);
    if (failure) SetLastErrorText(failure);
    return info.escape == -1 && info.type == PXIMAGE_FORMAT_BMP;
}

bool PxImageBMP::Encode(PxFile* stream)
{
    if (!CanEncodeTo(stream)) return false;
    const DWORD paletteBytes = 4 * header.clrUsed;
    BitmapFileHeader bf{kBitmapType, 0, 0, 0, 14 + 40 + paletteBytes};
    bf.size = bf.offBits + header.sizeImage;
    PxBitmapInfoHeader bih = header;
    const bool withAlpha = !GetPalette() && alpha;
    if (withAlpha) {
        bih.bitCount = 32;
        bih.compression = kBiRgb;
        bih.sizeImage = 4 * (DWORD)header.width * (DWORD)header.height;
        bf.size = 14 + 40 + bih.sizeImage;
    }
    HeaderToHost(&bih);
    if (!info.littleEndianHost) {
        bf.type = Swap16(bf.type);
        bf.size = Swap32(bf.size);
        bf.offBits = Swap32(bf.offBits);
    }
    // A short write is a failed save: the file would be cut.
    if (stream->Write(&bf, sizeof bf, 1) != 1 || stream->Write(&bih, sizeof bih, 1) != 1) {
        SetLastErrorText("Error writing BMP file");
        return false;
    }
    if (!withAlpha) {
        if (paletteBytes && stream->Write(GetPalette(), 1, paletteBytes) != paletteBytes) {
            SetLastErrorText("Error writing BMP file");
            return false;
        }
        if (stream->Write(info.bits, 1, header.sizeImage) != header.sizeImage) {
            SetLastErrorText("Error writing BMP file");
            return false;
        }
        return true;
    }
    const size_t width = header.width;
    BYTE* row = (BYTE*)malloc(4 * width);
    if (!row) {
        SetLastErrorText("can't allocate memory");
        return false;
    }
    for (LONG y = 0; y < header.height; ++y) {
        const BYTE* in = info.bits + (size_t)y * info.effWidth;
        const BYTE* a = alpha + (size_t)y * width;
        for (size_t x = 0; x < width; ++x) {
            row[4 * x] = in[3 * x];
            row[4 * x + 1] = in[3 * x + 1];
            row[4 * x + 2] = in[3 * x + 2];
            row[4 * x + 3] = a[x];
        }
        if (stream->Write(row, 4, width) != width) {
            free(row);
            SetLastErrorText("Error writing BMP file");
            return false;
        }
    }
    free(row);
    return true;
}
