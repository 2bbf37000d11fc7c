// GIF decoder. Damaged data does not fail: codes beyond the table are
// counted and patched, and the next image is found by searching for a zero
// byte followed by ','. Everything a file says is bounded before use: the
// screen size, image positions, colour tables, code sizes, the decoding
// stack and every row written.
#include "image/pximage_gif.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/pxpixels.h"

namespace {

const int kReadAhead = 16383;
// Largest logical screen composed, in pixels (64 Mi under the full memory
// limit): a few bytes of header must not claim what every frame copy would
// then fill.
const int64_t kMaxScreenPixels = (PXIMAGE_MAX_MEMORY + 1) / 32;

int Word(const BYTE* p) { return p[0] | p[1] << 8; }

}  // namespace

PxImageGIF::PxImageGIF(DWORD type) : PxImage(type) { comment[0] = 0; }

int PxImageGIF::ReadByte(PxFile* stream)
{
    if (readPosition >= kReadAhead) {
        readFill = (int)stream->Read(readBuffer, 1, kReadAhead);
        if (readFill < kReadAhead) readBuffer[readFill] = 255;
        readPosition = 0;
    }
    if (readPosition >= readFill) return -1;
    return readBuffer[readPosition++];
}

int PxImageGIF::ReadCode(PxFile* stream)
{
    // Takes the next byte of the data, reading a new sub-block when the
    // current one is used up; -1 at the end of the stream, -2 at the
    // zero-length sub-block.
    auto nextByte = [&]() -> int {
        if (blockLeft <= 0) {
            int length = ReadByte(stream);
            if (length < 0) return -1;
            if (length == 0) {
                dataEnded = true;
                return -2;
            }
            for (int i = 0; i < length; ++i) {
                int b = ReadByte(stream);
                if (b < 0) return -1;
                block[i] = (BYTE)b;
            }
            blockLeft = length;
            blockPointer = block;
        }
        --blockLeft;
        return *blockPointer++;
    };
    if (bitsLeft == 0) {
        int b = nextByte();
        if (b == -1) return -1;
        if (b == -2) return endCode;
        currentByte = b;
        bitsLeft = 8;
    }
    int code = currentByte >> (8 - bitsLeft);
    while (codeSize > bitsLeft) {
        int b = nextByte();
        if (b == -1) return -1;
        if (b == -2) return endCode;
        currentByte = b;
        code |= b << bitsLeft;
        bitsLeft += 8;
    }
    bitsLeft -= codeSize;
    return code & ((1 << codeSize) - 1);
}

int PxImageGIF::WriteRow(ImageRowCursor& rowWriter, BYTE* pixels, int length)
{
    const int bpp = GetBpp();
    int bytes = length;
    if (bpp == 1 || bpp == 4) {
        for (int x = 0; x < length; ++x) WritePackedIndex(pixels, x, bpp, pixels[x]);
        bytes = (length * bpp + 7) / 8;
    }
    if (!interlaced) {
        if (!rowWriter.IsInside()) return -1;
        const LONG fromTop = frameHeight - 1 - rowWriter.y;
        if (fromTop >= 0 && fromTop < (LONG)rowLengths.size()) rowLengths[(size_t)fromTop] = length;
        rowWriter.CopyRow(pixels, bytes);
        rowWriter.StepDown();
        return 0;
    }
    if (currentRow >= 0 && currentRow < frameHeight) {
        rowWriter.MoveToRow(frameHeight - currentRow - 1);
        rowWriter.CopyRow(pixels, bytes);
        if ((size_t)currentRow < rowLengths.size()) rowLengths[(size_t)currentRow] = length;
    }
    currentRow += rowStep;
    if (currentRow >= frameHeight) {
        do {
            if (pass++ > 0) rowStep /= 2;
            currentRow = rowStep / 2;
        } while (currentRow >= frameHeight && rowStep > 0);
    }
    return 0;
}

void PxImageGIF::DecodeLzw(PxFile* stream, ImageRowCursor& rowWriter, int lineWidth, int& badCodeCount)
{
    badCodeCount = 0;
    dataEnded = false;
    const int minimum = ReadByte(stream);
    if (minimum < 2 || minimum > 9) return;
    codeSize = minimum + 1;
    clearCode = 1 << minimum;
    endCode = clearCode + 1;
    firstFree = slot = endCode + 1;
    slotLimit = 1 << codeSize;
    blockLeft = bitsLeft = 0;
    memset(suffix, 0, sizeof suffix);
    memset(prefix, 0, sizeof prefix);
    memset(stack, 0, sizeof stack);

    BYTE* row = (BYTE*)malloc((size_t)lineWidth + 1);
    if (!row) return;
    const int stackLimit = 4094;  // usable entries, one kept for the final code
    int sp = 0, filled = 0;
    int oldCode = 0, firstChar = 0;
    auto emit = [&](int value) -> bool {
        row[filled++] = (BYTE)value;
        if (filled == lineWidth) {
            filled = 0;
            return WriteRow(rowWriter, row, lineWidth) >= 0;
        }
        return true;
    };
    for (;;) {
        int c = ReadCode(stream);
        if (c == endCode || c < 0) break;
        if (c == clearCode) {
            codeSize = minimum + 1;
            slot = firstFree;
            slotLimit = 1 << codeSize;
            do c = ReadCode(stream);
            while (c == clearCode);
            if (c == endCode || c < 0) break;
            if (c >= slot) c = 0;
            oldCode = firstChar = c;
            if (!emit(c)) break;
            continue;
        }
        int code = c;
        if (code >= slot && sp < stackLimit) {
            if (code > slot) ++badCodeCount;
            code = oldCode;
            stack[sp++] = (BYTE)firstChar;
        }
        while (code >= firstFree && sp < stackLimit) {
            stack[sp++] = suffix[code];
            code = prefix[code];
        }
        stack[sp++] = (BYTE)code;
        if (slot < slotLimit) {
            suffix[slot] = (BYTE)(firstChar = code);
            prefix[slot++] = (WORD)oldCode;
            oldCode = c;
        }
        if (slot >= slotLimit && codeSize < 12) {
            slotLimit <<= 1;
            ++codeSize;
        }
        bool stop = false;
        while (sp > 0 && !stop) stop = !emit(stack[--sp]);
        sp = 0;
        if (stop) break;
    }
    if (filled > 0) WriteRow(rowWriter, row, filled);
    free(row);
}

void PxImageGIF::SkipDataBlocks(PxFile* stream)
{
    if (dataEnded) return;
    for (; blockLeft > 0; --blockLeft)
        if (ReadByte(stream) < 0) return;
    for (;;) {
        int length = ReadByte(stream);
        if (length <= 0) return;
        for (int i = 0; i < length; ++i)
            if (ReadByte(stream) < 0) return;
    }
}

int PxImageGIF::SeekNextImage(PxFile* stream, int position)
{
    if (!stream->Seek(position, 0)) return -1;
    int previous = -1;
    for (;;) {
        int c = stream->GetC();
        if (c < 0) return -1;
        if (previous == 0 && c == ',') {
            stream->Seek(-1, 1);
            return stream->Tell();
        }
        previous = c;
    }
}

bool PxImageGIF::DecodeExtension(PxFile* stream)
{
    const int label = stream->GetC();
    if (label < 0) return false;
    bool ok = true;
    if (label == 0xF9) {
        const int length = stream->GetC();
        BYTE b[4];
        ok = length == 4 && stream->Read(b, 1, 4) == 4;
        if (ok) {
            controlBlock = ControlBlock{b[0], (WORD)Word(b + 1), b[3]};
            info.backgroundIndex = (controlBlock.flags & 1) ? controlBlock.transparent : -1;
            info.disposal = (BYTE)((controlBlock.flags >> 2) & 7);
            info.frameDelay = controlBlock.delay;
        }
    } else if (label == 0xFE) {
        const int length = stream->GetC();
        ok = length >= 0 && stream->Read(comment, 1, (size_t)length) == (size_t)length;
        comment[ok ? length : 0] = 0;
    } else if (label == 0xFF) {
        BYTE id[11], data[256];
        ok = stream->GetC() == 11 && stream->Read(id, 1, 11) == 11;
        if (ok) {
            const int length = stream->GetC();
            ok = length >= 0 && stream->Read(data, 1, (size_t)length) == (size_t)length;
            // Only the looping blocks carry a loop count; other applications'
            // blocks hold data of their own.
            const bool looping = memcmp(id, "NETSCAPE2.0", 11) == 0 || memcmp(id, "ANIMEXTS1.0", 11) == 0;
            if (ok && looping && length > 2) loops = Word(data + 1);
        }
    }
    while (ok) {
        const int length = stream->GetC();
        if (length < 0) return false;
        if (length == 0) break;
        ok = stream->Seek(length, 1);
    }
    return ok;
}

bool PxImageGIF::ReadColourTable(PxFile* stream, int packed, ColourTable& table)
{
    table.count = 2 << (packed & 7);
    BYTE rgb[3 * 256];
    if (stream->Read(rgb, 3, (size_t)table.count) != (size_t)table.count) return false;
    for (int i = 0; i < table.count; ++i) {
        table.red[i] = rgb[3 * i];
        table.green[i] = rgb[3 * i + 1];
        table.blue[i] = rgb[3 * i + 2];
    }
    return true;
}

int PxImageGIF::CountFrames(PxFile* stream)
{
    const int start = stream->Tell();
    int count = 0;
    bool look = true;
    for (;;) {
        const int c = stream->GetC();
        if (c < 0 || (c == ';' && look)) break;
        if (!look && c != 0) continue;
        if (c == '!') {
            if (!DecodeExtension(stream)) break;
        } else if (c == ',') {
            BYTE d[9];
            if (stream->Read(d, 1, 9) != 9) break;
            const int left = Word(d), top = Word(d + 2), width = Word(d + 4), height = Word(d + 6);
            if (header.width == 0 && header.height == 0) {
                header.width = width;
                header.height = height;
            }
            if (width == 0 || height == 0 || left + width > header.width || top + height > header.height) continue;
            ++count;
            if ((d[8] & 0x80) && !stream->Seek(3 * (2 << (d[8] & 7)), 1)) break;
            if (stream->GetC() < 0) break;  // minimum code size
            for (;;) {
                const int length = stream->GetC();
                if (length <= 0) break;
                if (!stream->Seek(length, 1)) break;
            }
        } else {
            look = c == 0;
        }
    }
    stream->Seek(start, 0);
    return count;
}

bool PxImageGIF::Decode(PxFile* stream)
{
    if (!stream) {
        SetLastErrorText("null file handler");
        return false;
    }
    BYTE h[13];
    if (stream->Read(h, 1, 13) != 13 || memcmp(h, "GIF8", 4) != 0) {
        SetLastErrorText("Not a GIF");
        return false;
    }
    // The screen size lives in the header until the first frame is made.
    header.width = Word(h + 6);
    header.height = Word(h + 8);
    if (info.escape == -1) {
        info.type = PXIMAGE_FORMAT_GIF;
        return true;
    }
    ColourTable global;
    if ((h[10] & 0x80) && !ReadColourTable(stream, h[10], global)) {
        SetLastErrorText("Not a GIF");
        return false;
    }
    int trueColour = global.count ? 0 : 1;
    info.frameCount = CountFrames(stream);
    const LONG screenWidth = header.width, screenHeight = header.height;
    if ((int64_t)screenWidth * screenHeight > kMaxScreenPixels) {
        SetLastErrorText("GIF screen too large");
        return false;
    }
    if (info.frame < 0 || info.frame >= info.frameCount) {
        SetLastErrorText("frame not present");
        return false;
    }
    if (info.frameCount == 1) trueColour = 0;
    const int frameCount = info.frameCount;

    // The screen is composed in place, frame after frame. Only the pixels
    // the data reached are painted, and a frame to be disposed of by
    // "previous" keeps just the screen rows it paints over: no frame costs
    // more than its data and its rectangle, whatever size it declares.
    PxImage canvas;
    std::vector<BYTE> savedRows;      // for disposal 3: the screen's bytes under the frame, row by row
    std::vector<LONG> savedRowIndex;  // their stored row numbers
    size_t savedFrom = 0, savedBytes = 0;  // the bytes of each saved row
    int firstTransparent = -1;
    int previousDisposal = 0;
    RECT previousRect{0, 0, 0, 0};  // from the top of the screen
    int imageNumber = 0;
    bool mosaicMode = false;
    bool look = true;
    for (;;) {
        if (info.escape > 0) {
            SetLastErrorText("Cancelled");
            return false;
        }
        const int c = stream->GetC();
        if (c < 0) break;
        if (!look && c != 0) continue;
        if (c == ';') break;
        if (c == '!') {
            if (!DecodeExtension(stream)) break;
            continue;
        }
        if (c != ',') {
            look = c == 0;
            continue;
        }

        BYTE d[9];
        if (stream->Read(d, 1, 9) != 9) break;
        const int left = Word(d), top = Word(d + 2), width = Word(d + 4), height = Word(d + 6);
        if (width == 0 || height == 0 || left + width > screenWidth || top + height > screenHeight) continue;
        if (imageNumber == 0 && width != screenWidth && height != screenHeight) ++trueColour;
        ColourTable local;
        if ((d[8] & 0x80) && !ReadColourTable(stream, d[8], local)) break;
        const ColourTable& table = local.count ? local : global;
        const DWORD bpp = table.count <= 2 ? 1 : table.count <= 16 ? 4 : 8;
        mosaicMode = trueColour >= 2;

        if (!canvas.dib) {
            canvas.CopyInfo(*this);
            if (!canvas.Create((DWORD)screenWidth, (DWORD)screenHeight, mosaicMode ? 24 : bpp, PXIMAGE_FORMAT_GIF))
                break;
            if (!mosaicMode) {
                firstTransparent = info.backgroundIndex;
                // A new screen is zero already: only another index is written.
                if (controlBlock.transparent) canvas.Clear(controlBlock.transparent);
            }
            // Every frame kept is a copy of the screen: all of them must fit
            // the memory limit, or none is made.
            const uint64_t kept = info.getAllFrames && !mosaicMode ? (uint64_t)std::min(info.frame + 1, frameCount) : 0;
            if (kept && !canvas.FitsMemoryLimit(kept * canvas.MemoryUsed())) {
                SetLastErrorText("PXIMAGE_MAX_MEMORY exceeded");
                return false;
            }
        } else if (!mosaicMode && previousDisposal == 2) {
            // Only the previous frame's rectangle goes back to the
            // background: the transparent colour, or the screen's own
            // background colour without one.
            const BYTE fill = (BYTE)(firstTransparent >= 0 ? firstTransparent : h[11]);
            for (LONG y = previousRect.top; y < previousRect.bottom; ++y)
                FillPackedIndices(canvas.info.bits + (size_t)(screenHeight - 1 - y) * canvas.info.effWidth,
                                  previousRect.left, previousRect.right, (int)canvas.GetBpp(), fill);
        } else if (!mosaicMode && previousDisposal == 3) {
            // The screen as it was before the previous frame was painted.
            for (size_t i = 0; i < savedRowIndex.size(); ++i)
                memcpy(canvas.info.bits + (size_t)savedRowIndex[i] * canvas.info.effWidth + savedFrom,
                       savedRows.data() + i * savedBytes, savedBytes);
        }
        savedRows.clear();
        savedRowIndex.clear();

        if (!Create((DWORD)width, (DWORD)height, bpp, PXIMAGE_FORMAT_GIF)) break;
        if (table.count) {
            ColourTable colours = table;
            if (info.backgroundIndex >= 0) {
                for (int i = table.count; i < 256; ++i) colours.red[i] = colours.green[i] = colours.blue[i] = 255;
                colours.count = 256;
            }
            SetPalette((DWORD)colours.count, colours.red, colours.green, colours.blue);
        }

        ImageRowCursor rowWriter(*this);
        rowWriter.MoveToTop();
        interlaced = (d[8] & 0x40) != 0;
        frameHeight = height;
        currentRow = 0;
        rowStep = 8;
        pass = 0;
        readPosition = kReadAhead;
        readFill = 0;
        rowLengths.assign((size_t)height, 0);
        const int dataStart = stream->Tell();
        int badCodes = 0;
        DecodeLzw(stream, rowWriter, width, badCodes);
        if (info.escape) {
            SetLastErrorText("Cancelled");
            return false;
        }

        const int disposal = (controlBlock.flags >> 2) & 7;
        if (!mosaicMode) {
            // The screen keeps the first frame's colours: a later frame with
            // colours of its own is painted by colour, so that what earlier
            // frames left keeps its colours too.
            if (imageNumber == 0 && GetPalette()) canvas.SetPalette(GetPalette(), header.clrUsed);
            const bool sameColours = !GetPalette() || !canvas.GetPalette() ||
                                     memcmp(GetPalette(), canvas.GetPalette(),
                                            4 * (size_t)std::min(header.clrUsed, canvas.header.clrUsed)) == 0;
            const size_t screenBpp = canvas.GetBpp();
            const bool byteCopy = sameColours && GetBpp() == 8 && screenBpp == 8 && canvas.GetPalette();
            const int transparent = info.backgroundIndex >= 0 && info.backgroundIndex < 256 ? info.backgroundIndex : -1;
            savedFrom = (size_t)left * screenBpp / 8;
            savedBytes = ((size_t)(left + width) * screenBpp + 7) / 8 - savedFrom;
            for (LONG y = 0; y < height; ++y) {
                const LONG reached = std::min<LONG>(rowLengths[(size_t)y], width);
                if (reached <= 0) continue;
                const LONG row = height - 1 - y;
                const LONG screenRow = screenHeight - 1 - (top + y);
                if (disposal == 3) {
                    const BYTE* at = canvas.info.bits + (size_t)screenRow * canvas.info.effWidth + savedFrom;
                    savedRows.insert(savedRows.end(), at, at + savedBytes);
                    savedRowIndex.push_back(screenRow);
                }
                if (byteCopy) {
                    // One byte a pixel on both sides, the same colours: the
                    // row goes over as it is, its transparent pixels left out.
                    const BYTE* from = info.bits + (size_t)row * info.effWidth;
                    BYTE* to = canvas.info.bits + (size_t)screenRow * canvas.info.effWidth + left;
                    const LONG n = std::min<LONG>(reached, screenWidth - left);
                    if (transparent < 0) {
                        memcpy(to, from, (size_t)n);
                    } else {
                        for (LONG x = 0; x < n; ++x)
                            if (from[x] != transparent) to[x] = from[x];
                    }
                    continue;
                }
                for (LONG x = 0; x < reached && left + x < screenWidth; ++x) {
                    const BYTE index = GetPixelIndexUnchecked(x, row);
                    if (index == info.backgroundIndex) continue;
                    canvas.SetPixelIndex(left + x, screenRow,
                                         sameColours ? index : canvas.GetNearestIndex(GetPaletteColor(index)));
                }
            }
            canvas.SetTransparentIndex(firstTransparent);
            canvas.info.frameDelay = info.frameDelay;
            canvas.info.disposal = info.disposal;
        } else {
            info.frame = canvas.info.frame = frameCount - 1;
            for (LONG y = 0; y < height; ++y) {
                const LONG reached = std::min<LONG>(rowLengths[(size_t)y], width);
                for (LONG x = 0; x < reached; ++x)
                    canvas.SetPixelColor(left + x, screenHeight - 1 - (top + y), GetPixelColor(x, height - 1 - y, false));
            }
        }

        // On to the next block.
        if (badCodes) {
            SeekNextImage(stream, dataStart);
        } else {
            SkipDataBlocks(stream);
            stream->Seek(readPosition - readFill, 1);
        }

        if (!mosaicMode && info.getAllFrames) {
            if (imageNumber == 0) {
                DestroyFrames();
                frames = (PxImage**)calloc((size_t)frameCount, sizeof(PxImage*));
                info.frameCount = frames ? frameCount : 0;
            }
            if (frames && imageNumber < info.frameCount) {
                frames[imageNumber] = new PxImage(canvas);
                frames[imageNumber]->info.getAllFrames = false;
            }
        }
        previousDisposal = disposal;
        previousRect = RECT{left, top, left + width, top + height};
        if (info.frame == imageNumber) break;
        ++imageNumber;
    }

    if (canvas.dib && mosaicMode) {
        if (controlBlock.flags & 1) {
            canvas.info.backgroundColor = GetPaletteColor((BYTE)info.backgroundIndex);
            if (info.backgroundIndex < 0 || (DWORD)info.backgroundIndex >= header.clrUsed)
                canvas.info.backgroundColor = PxRgbQuad{0, 0, 0, 0};
            canvas.info.backgroundColor.reserved = 0;
            canvas.info.backgroundIndex = 0;
        } else {
            canvas.info.backgroundIndex = -1;
        }
        canvas.info.frameCount = frameCount;
        Transfer(canvas, true);
        info.frameCount = frameCount;
    } else if (canvas.dib) {
        Transfer(canvas, false);
    }
    // A file whose images all failed has no picture to show.
    if (!dib) {
        SetLastErrorText("GIF has no image data");
        return false;
    }
    return true;
}
