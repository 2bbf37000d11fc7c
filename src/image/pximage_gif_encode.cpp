// GIF89a encoder: one frame for a paletted image, an animation for an image
// with frames, a mosaic of 17 × 15 cells with their own colour tables for a
// true-colour image. Pixel data goes through LZW, plain codes or a
// run-length coder whose codes any GIF decoder reads as LZW.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/pximage_gif.h"
#include "image/pxpixels.h"

namespace {

const int kHashSize = 5003;
const int kMaxCodes = 4096;

}  // namespace

void PxImageGIF::PutBytes(PxFile* stream, const void* data, size_t length)
{
    if (length && stream->Write(data, 1, length) != length) writeFailed = true;
}

void PxImageGIF::PutByte(PxFile* stream, int value)
{
    if (!stream->PutC((unsigned char)value)) writeFailed = true;
}

void PxImageGIF::PutWord(PxFile* stream, int value)
{
    PutByte(stream, value & 0xFF);
    PutByte(stream, (value >> 8) & 0xFF);
}

bool PxImageGIF::FinishWrite(bool written)
{
    if (!written || writeFailed) {
        SetLastErrorText("Error writing GIF file");
        return false;
    }
    return true;
}

void PxImageGIF::EncodeHeader(PxFile* stream)
{
    PutBytes(stream, "GIF89a", 6);
    PutWord(stream, header.width);
    PutWord(stream, header.height);
    const PxRgbQuad* palette = GetPalette();
    const int bpp = GetBpp();
    PutByte(stream, palette ? 0x80 | (bpp - 1) << 5 | (bpp - 1) : 0x11);
    PutByte(stream, 0);
    PutByte(stream, 0);
    for (DWORD i = 0; palette && i < header.clrUsed; ++i) {
        const BYTE rgb[3] = {palette[i].red, palette[i].green, palette[i].blue};
        PutBytes(stream, rgb, 3);
    }
}

void PxImageGIF::EncodeLoopBlock(PxFile* stream)
{
    PutBytes(stream, "\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
    PutWord(stream, std::max(0, loops - 1));
    PutByte(stream, 0);
}

void PxImageGIF::EncodeExtension(PxFile* stream)
{
    PutBytes(stream, "\x21\xF9\x04", 3);
    PutByte(stream, (info.disposal & 7) << 2 | (info.backgroundIndex != -1 ? 1 : 0));
    PutWord(stream, (int)info.frameDelay);
    PutByte(stream, info.backgroundIndex & 0xFF);
    PutByte(stream, 0);
}

void PxImageGIF::EncodeComment(PxFile* stream)
{
    const size_t length = strnlen(comment, 255);
    if (!length) return;
    PutBytes(stream, "\x21\xFE", 2);
    PutByte(stream, (int)length);
    PutBytes(stream, comment, length);
    PutByte(stream, 0);
}

int PxImageGIF::NextPixel()
{
    if (pixelsLeft <= 0) return -1;
    --pixelsLeft;
    // The walk stays inside the image: the index is read from its row as it stands.
    const int index =
        GetPalette() ? ReadPackedIndex(info.bits + (size_t)pixelY * info.effWidth, pixelX, header.bitCount) : 0;
    if (++pixelX == header.width) {
        pixelX = 0;
        --pixelY;
    }
    return index;
}

void PxImageGIF::EncodeBody(PxFile* stream, bool localColourTable)
{
    pixelX = 0;
    pixelY = header.height - 1;
    pixelsLeft = (int64_t)header.width * header.height;
    const int bpp = GetBpp();
    PutByte(stream, ',');
    PutWord(stream, info.xOffset);
    PutWord(stream, info.yOffset);
    PutWord(stream, header.width);
    PutWord(stream, header.height);
    const PxRgbQuad* palette = GetPalette();
    PutByte(stream, localColourTable && palette ? 0x80 | (bpp - 1) : 0);
    if (localColourTable && palette) {
        for (DWORD i = 0; i < header.clrUsed; ++i) {
            const BYTE rgb[3] = {palette[i].red, palette[i].green, palette[i].blue};
            PutBytes(stream, rgb, 3);
        }
    }
    const int initialSize = std::max(bpp, 2);
    PutByte(stream, initialSize);
    switch (GetCodecOption(PXIMAGE_FORMAT_GIF)) {
    case 1: CompressNone(initialSize + 1, stream); break;
    case 2: CompressRle(initialSize + 1, stream); break;
    default: CompressLzw(initialSize + 1, stream); break;
    }
    PutByte(stream, 0);
}

void PxImageGIF::FlushBlock(PxFile* stream)
{
    if (outCount > 0) {
        PutByte(stream, outCount);
        PutBytes(stream, outBlock, (size_t)outCount);
        outCount = 0;
    }
}

void PxImageGIF::PutCode(int code, PxFile* stream)
{
    accumulator &= (1u << accumulatorBits) - 1;
    accumulator |= (uint32_t)code << accumulatorBits;
    accumulatorBits += nBits;
    while (accumulatorBits >= 8) {
        outBlock[outCount++] = (BYTE)(accumulator & 0xFF);
        if (outCount >= 254) FlushBlock(stream);
        accumulator >>= 8;
        accumulatorBits -= 8;
    }
    if (freeEncode > maxCode || clearFlag) {
        if (clearFlag) {
            nBits = initialBits;
            maxCode = (1 << nBits) - 1;
            clearFlag = false;
        } else {
            ++nBits;
            maxCode = nBits == 12 ? kMaxCodes : (1 << nBits) - 1;
        }
    }
    if (code == endEncode) {
        while (accumulatorBits > 0) {
            outBlock[outCount++] = (BYTE)(accumulator & 0xFF);
            if (outCount >= 254) FlushBlock(stream);
            accumulator >>= 8;
            accumulatorBits -= 8;
        }
        accumulatorBits = 0;
        FlushBlock(stream);
        if (!stream->Flush()) writeFailed = true;
    }
}

void PxImageGIF::StartCodes(int initBits)
{
    initialBits = nBits = initBits;
    maxCode = (1 << nBits) - 1;
    clearEncode = 1 << (initBits - 1);
    endEncode = clearEncode + 1;
    freeEncode = clearEncode + 2;
    clearFlag = false;
    accumulator = 0;
    accumulatorBits = 0;
    outCount = 0;
}

void PxImageGIF::CompressLzw(int initBits, PxFile* stream)
{
    StartCodes(initBits);
    std::fill(hashTable, hashTable + kHashSize, -1);

    int prefixCode = NextPixel();
    PutCode(clearEncode, stream);
    int c;
    while ((c = NextPixel()) >= 0) {
        const int32_t key = (c << 12) + prefixCode;
        int i = (c << 4) ^ prefixCode;
        bool found = false;
        if (hashTable[i] == key) {
            found = true;
        } else if (hashTable[i] >= 0) {
            const int step = i == 0 ? 1 : kHashSize - i;
            do {
                i -= step;
                if (i < 0) i += kHashSize;
                if (hashTable[i] == key) {
                    found = true;
                    break;
                }
            } while (hashTable[i] > 0);
        }
        if (found) {
            prefixCode = codeTable[i];
            continue;
        }
        PutCode(prefixCode, stream);
        prefixCode = c;
        if (freeEncode < kMaxCodes) {
            codeTable[i] = (WORD)freeEncode++;
            hashTable[i] = key;
        } else {
            std::fill(hashTable, hashTable + kHashSize, -1);
            freeEncode = clearEncode + 2;
            clearFlag = true;
            PutCode(clearEncode, stream);
        }
    }
    PutCode(prefixCode, stream);
    PutCode(endEncode, stream);
}

void PxImageGIF::CompressNone(int initBits, PxFile* stream)
{
    StartCodes(initBits);

    PutCode(clearEncode, stream);
    int c;
    while ((c = NextPixel()) >= 0) {
        PutCode(c, stream);
        if (freeEncode < kMaxCodes) {
            ++freeEncode;
        } else {
            freeEncode = clearEncode + 2;
            clearFlag = true;
            PutCode(clearEncode, stream);
        }
    }
    PutCode(endEncode, stream);
}

// --- Run-length coder ---

struct PxImageGIF::RleState {
    PxFile* stream;
    int runPixel, runLength;
    int tablePixel, tableLength;
    bool justCleared;
    int outWidth, outCount;
    int bumpLimit, clearLimit;
    int initialWidth, clearCode, endCode, base, bumpStart, clearStart, maxOut;
    uint32_t bits;
    int bitCount;
    BYTE block[255];
    int blockLength;
};

namespace {

// The least n with n(n + 1) >= 2c: the codes a run of c pixels needs when
// each code may stand for one pixel more than the one before.
int RunCodes(int c)
{
    int n = (int)std::sqrt(2.0 * c);
    while (n > 0 && (n - 1) * n >= 2 * c) --n;
    while (n * (n + 1) < 2 * c) ++n;
    return n;
}

int Triangle(int count, int r)
{
    int cost = 0;
    const int perRun = r * (r + 1) / 2;
    while (count >= perRun) {
        cost += r;
        count -= perRun;
    }
    if (count > 0) cost += RunCodes(count);
    return cost;
}

}  // namespace

void PxImageGIF::RleOutput(RleState& s, int code)
{
    s.bits |= (uint32_t)code << s.bitCount;
    s.bitCount += s.outWidth;
    while (s.bitCount >= 8) {
        s.block[s.blockLength++] = (BYTE)(s.bits & 0xFF);
        if (s.blockLength == 255) {
            PutByte(s.stream, 255);
            PutBytes(s.stream, s.block, 255);
            s.blockLength = 0;
        }
        s.bits >>= 8;
        s.bitCount -= 8;
    }
}

void PxImageGIF::RleReset(RleState& s)
{
    s.outWidth = s.initialWidth;
    s.bumpLimit = s.bumpStart;
    s.clearLimit = s.clearStart;
    s.outCount = 0;
    s.tableLength = 0;
    s.justCleared = true;
}

void PxImageGIF::RleClear(RleState& s)
{
    RleOutput(s, s.clearCode);
    RleReset(s);
}

void PxImageGIF::RlePlain(RleState& s, int code)
{
    s.justCleared = false;
    RleOutput(s, code);
    ++s.outCount;
    if (s.outCount >= s.bumpLimit) {
        ++s.outWidth;
        s.bumpLimit += 1 << (s.outWidth - 1);
    }
    if (s.outCount >= s.clearLimit) RleClear(s);
}

void PxImageGIF::RleFromClear(RleState& s, int count)
{
    s.clearLimit = s.maxOut;
    s.tablePixel = s.runPixel;
    int k = 1;
    while (count > 0) {
        if (k == 1) {
            s.tableLength = 1;
            RlePlain(s, s.runPixel);
            --count;
        } else if (count >= k) {
            s.tableLength = k;
            RlePlain(s, s.base + k - 2);
            count -= k;
        } else if (count == 1) {
            ++s.tableLength;
            RlePlain(s, s.runPixel);
            count = 0;
        } else {
            ++s.tableLength;
            RlePlain(s, s.base + count - 2);
            count = 0;
        }
        k = s.outCount == 0 ? 1 : k + 1;
    }
    s.clearLimit = s.clearStart;
    if (s.outCount >= s.clearLimit) RleClear(s);
}

void PxImageGIF::RleWithTable(RleState& s, int count)
{
    int repeats = count / s.tableLength;
    int leftover = count % s.tableLength;
    int extra = leftover > 0 ? 1 : 0;
    if (s.outCount + repeats + extra > s.maxOut) {
        repeats = s.maxOut - s.outCount;
        leftover = count - repeats * s.tableLength;
        extra = 1 + Triangle(leftover, s.maxOut);
    }
    if (1 + Triangle(count, s.maxOut) < repeats + extra) {
        RleClear(s);
        RleFromClear(s, count);
        return;
    }
    s.clearLimit = s.maxOut;
    for (int i = 0; i < repeats; ++i) RlePlain(s, s.base + s.tableLength - 2);
    if (leftover) {
        if (s.justCleared) RleFromClear(s, leftover);
        else if (leftover == 1) RlePlain(s, s.runPixel);
        else RlePlain(s, s.base + leftover - 2);
    }
    s.clearLimit = s.clearStart;
    if (s.outCount >= s.clearLimit) RleClear(s);
}

void PxImageGIF::RleFlush(RleState& s, int count)
{
    if (count == 1) {
        RlePlain(s, s.runPixel);
    } else if (s.justCleared) {
        RleFromClear(s, count);
    } else if (s.tableLength < 2 || s.tablePixel != s.runPixel) {
        if (1 + Triangle(count, s.maxOut) < count) {
            RleClear(s);
            RleFromClear(s, count);
        } else {
            for (int i = 0; i < count; ++i) RlePlain(s, s.runPixel);
        }
    } else {
        RleWithTable(s, count);
    }
}

void PxImageGIF::CompressRle(int initBits, PxFile* stream)
{
    RleState s{};
    s.stream = stream;
    s.initialWidth = initBits;
    s.clearCode = 1 << (initBits - 1);
    s.endCode = s.clearCode + 1;
    s.base = s.endCode + 1;
    s.bumpStart = (1 << (initBits - 1)) - 1;
    s.clearStart = initBits <= 3 ? 9 : s.bumpStart - 1;
    s.maxOut = 4093 - s.clearCode;
    s.runLength = 0;
    s.runPixel = 0;
    RleReset(s);
    RleOutput(s, s.clearCode);
    for (;;) {
        const int c = NextPixel();
        if (s.runLength > 0 && c != s.runPixel) {
            RleFlush(s, s.runLength);
            s.runLength = 0;
        }
        if (c < 0) break;
        if (s.runLength > 0) {
            ++s.runLength;
        } else {
            s.runPixel = c;
            s.runLength = 1;
        }
    }
    RleOutput(s, s.endCode);
    if (s.bitCount > 0) s.block[s.blockLength++] = (BYTE)(s.bits & 0xFF);
    if (s.blockLength > 0) {
        PutByte(stream, s.blockLength);
        PutBytes(stream, s.block, (size_t)s.blockLength);
    }
    if (!stream->Flush()) writeFailed = true;
}

// --- Whole files ---

bool PxImageGIF::Encode(PxFile* stream)
{
    if (!CanEncodeTo(stream)) return false;
    writeFailed = false;
    if (GetBpp() > 8) return FinishWrite(EncodeRgb(stream));
    if (info.frameCount > 1 && frames) return Encode(stream, frames, info.frameCount);
    EncodeHeader(stream);
    EncodeExtension(stream);
    EncodeComment(stream);
    EncodeBody(stream, false);
    PutByte(stream, ';');
    return FinishWrite(true);
}

bool PxImageGIF::Encode(PxFile* stream, PxImage** images, int count)
{
    if (!stream) {
        SetLastErrorText("invalid file pointer");
        return false;
    }
    if (!images || count < 1 || !images[0]) {
        SetLastErrorText("multipage GIF, no images!");
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (!images[i]) {
            SetLastErrorText("Bad image pointer");
            return false;
        }
        if (!images[i]->dib) {
            SetLastErrorText("Empty image");
            return false;
        }
        if (!images[i]->GetPalette()) {
            SetLastErrorText("PxImageGIF::Encode cannot create animated GIFs with a true color frame. Use DecreaseBpp before");
            return false;
        }
    }
    writeFailed = false;
    PxImageGIF work;
    work.ShareFrom(images[0]);
    work.EncodeHeader(stream);
    if (loops != 1) EncodeLoopBlock(stream);
    const PxImage& first = *images[0];
    for (int i = 0; i < count; ++i) {
        work.ShareFrom(images[i]);
        work.info.disposal = info.disposal;
        work.info.codecOptions[2] = GetCodecOption(PXIMAGE_FORMAT_GIF);
        work.EncodeExtension(stream);
        if (i == 0) EncodeComment(stream);
        // A frame whose colours differ from the first one's brings its own table.
        const PxImage& frame = *images[i];
        const bool ownColours = frame.header.clrUsed != first.header.clrUsed ||
                                memcmp(frame.GetPalette(), first.GetPalette(), 4 * (size_t)first.header.clrUsed) != 0;
        work.EncodeBody(stream, ownColours);
        writeFailed |= work.writeFailed;
    }
    PutByte(stream, ';');
    return FinishWrite(true);
}

bool PxImageGIF::EncodeRgb(PxFile* stream)
{
    EncodeHeader(stream);
    EncodeComment(stream);
    const LONG width = header.width, height = header.height;
    const bool transparent = info.backgroundIndex >= 0;
    const PxRgbQuad transparentColour = GetTransparentColor();
    PxImageGIF cell;
    for (LONG top = 0; top < height; top += 15) {
        for (LONG left = 0; left < width; left += 17) {
            const LONG w = std::min<LONG>(17, width - left), h = std::min<LONG>(15, height - top);
            if ((LONG)cell.GetWidth() != w || (LONG)cell.GetHeight() != h) {
                if (!cell.Create((DWORD)w, (DWORD)h, 8, PXIMAGE_FORMAT_GIF)) {
                    SetLastErrorText(cell.GetLastErrorText());
                    return false;
                }
            }
            for (int i = 0; i < 256; ++i) cell.SetPaletteColor((BYTE)i, PxRgbQuad{0, 0, 0, 0});
            cell.info.backgroundIndex = transparent ? 0 : -1;
            if (transparent) cell.SetPaletteColor(0, PxRgbQuad{transparentColour.blue, transparentColour.green, transparentColour.red, 0});
            for (LONG j = 0; j < h; ++j) {
                for (LONG k = 0; k < w; ++k) {
                    PxRgbQuad c = GetPixelColor(left + k, height - 1 - (top + j), false);
                    c.reserved = 0;
                    cell.SetPaletteColor((BYTE)(1 + k + 17 * j), c);
                    cell.SetPixelIndex(k, h - 1 - j, cell.GetNearestIndex(c));
                }
            }
            cell.info.xOffset = left;
            cell.info.yOffset = top;
            cell.info.disposal = 0;
            cell.info.frameDelay = 0;
            cell.EncodeExtension(stream);
            cell.EncodeBody(stream, true);
            writeFailed |= cell.writeFailed;
        }
    }
    PutByte(stream, ';');
    return true;
}
