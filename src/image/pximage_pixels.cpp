// Pixel and palette operations on the DIB: rows bottom-up, palette entries
// blue, green, red, reserved, 1- and 4-bit pixels packed most significant
// first.
#include <cstring>

#include "image/pximage.h"
#include "image/pxpixels.h"

namespace {

BYTE* RowAt(const PxImage& image, LONG y)
{
    return image.info.bits + (size_t)y * image.info.effWidth;
}

void SyncDibHeader(PxImage& image)
{
    if (image.dib) memcpy(image.dib, &image.header, sizeof image.header);
}

}  // namespace

bool PxImage::IsInside(LONG x, LONG y) const
{
    return dib && x >= 0 && y >= 0 && x < header.width && y < header.height;
}

// --- Palette ---

PxRgbQuad* PxImage::GetPalette() const
{
    return dib && header.clrUsed ? (PxRgbQuad*)(dib + 40) : nullptr;
}

PxRgbQuad PxImage::GetPaletteColor(BYTE index) const
{
    PxRgbQuad* palette = GetPalette();
    if (palette && index < header.clrUsed) return palette[index];
    return PxRgbQuad{0, 0, 0, 0};
}

void PxImage::SetPaletteColor(BYTE index, PxRgbQuad color)
{
    PxRgbQuad* palette = GetPalette();
    if (!palette || index >= header.clrUsed) return;
    palette[index] = color;
    info.lastColorValid = false;
}

void PxImage::SetPalette(DWORD count, const BYTE* red, const BYTE* green, const BYTE* blue)
{
    PxRgbQuad* palette = GetPalette();
    if (!palette || !red) return;
    if (!green) green = red;
    if (!blue) blue = green;
    if (count > header.clrUsed) count = header.clrUsed;
    for (DWORD i = 0; i < count; ++i) {
        palette[i].red = red[i];
        palette[i].green = green[i];
        palette[i].blue = blue[i];
    }
    info.lastColorValid = false;
}

void PxImage::SetPalette(const PxRgbQuad* source, DWORD count)
{
    PxRgbQuad* palette = GetPalette();
    if (!palette || !source) return;
    if (count > header.clrUsed) count = header.clrUsed;
    memcpy(palette, source, 4 * (size_t)count);
    info.lastColorValid = false;
}

void PxImage::SetGrayPalette()
{
    PxRgbQuad* palette = GetPalette();
    if (!palette || header.clrUsed < 2) return;
    DWORD step = 255 / (header.clrUsed - 1);
    for (DWORD i = 0; i < header.clrUsed; ++i)
        palette[i].red = palette[i].green = palette[i].blue = (BYTE)(i * step);
    info.lastColorValid = false;
}

bool PxImage::IsGrayScale() const
{
    PxRgbQuad* palette = GetPalette();
    if (!palette) return false;
    for (DWORD i = 0; i < header.clrUsed; ++i)
        if (palette[i].red != i || palette[i].green != i || palette[i].blue != i) return false;
    return true;
}

bool PxImage::IsGrayRamp() const
{
    PxRgbQuad* palette = GetPalette();
    if (!palette || header.clrUsed < 2) return false;
    DWORD step = 255 / (header.clrUsed - 1);
    for (DWORD i = 0; i < header.clrUsed; ++i) {
        DWORD level = i * step;
        if (palette[i].red != level || palette[i].green != level || palette[i].blue != level) return false;
    }
    return true;
}

void PxImage::SwapIndex(BYTE a, BYTE b)
{
    if (!GetPalette()) return;
    PxRgbQuad colorA = GetPaletteColor(a);
    PxRgbQuad colorB = GetPaletteColor(b);
    SetPaletteColor(a, colorB);
    SetPaletteColor(b, colorA);
    for (LONG y = 0; y < header.height; ++y) {
        for (LONG x = 0; x < header.width; ++x) {
            BYTE index = GetPixelIndexUnchecked(x, y);
            if (index == a) SetPixelIndexUnchecked(x, y, b);
            else if (index == b) SetPixelIndexUnchecked(x, y, a);
        }
    }
}

void PxImage::SetClrImportant(DWORD count)
{
    if (count == 0 || count > 256) {
        header.clrImportant = 0;
    } else {
        switch (header.bitCount) {
        case 1: header.clrImportant = count < 2 ? count : 2; break;
        case 4: header.clrImportant = count < 16 ? count : 16; break;
        case 8: header.clrImportant = count; break;
        default: return;
        }
    }
    SyncDibHeader(*this);
}

void PxImage::SetTransparentIndex(LONG index)
{
    info.backgroundIndex = index < (LONG)GetNumColors() ? index : 0;
}

PxRgbQuad PxImage::GetTransparentColor() const
{
    if (header.bitCount < 24 && info.backgroundIndex >= 0) {
        PxRgbQuad* palette = GetPalette();
        if (palette && (DWORD)info.backgroundIndex < header.clrUsed) return palette[info.backgroundIndex];
        return PxRgbQuad{0, 0, 0, 0};
    }
    return info.backgroundColor;
}

BYTE PxImage::GetNearestIndex(PxRgbQuad color)
{
    PxRgbQuad* palette = GetPalette();
    if (!palette) return 0;
    if (info.lastColorValid && info.lastColor == color) return info.lastColorIndex;
    info.lastColor = color;
    info.lastColorValid = true;

    DWORD searched = header.clrImportant ? header.clrImportant : header.clrUsed;
    if (searched > header.clrUsed) searched = header.clrUsed;
    long best = 200000;
    BYTE found = 0;
    for (DWORD i = 0; i < searched; ++i) {
        long db = (long)palette[i].blue - color.blue;
        long dg = (long)palette[i].green - color.green;
        long dr = (long)palette[i].red - color.red;
        long d = db * db + dg * dg + dr * dr;
        if (d == 0) {
            found = (BYTE)i;
            break;
        }
        if (d < best) {
            best = d;
            found = (BYTE)i;
        }
    }
    info.lastColorIndex = found;
    return found;
}

// --- Pixels ---

BYTE PxImage::GetPixelIndex(LONG x, LONG y) const
{
    if (!GetPalette()) return 0;
    if (!IsInside(x, y)) return info.backgroundIndex >= 0 ? (BYTE)info.backgroundIndex : info.bits[0];
    return GetPixelIndexUnchecked(x, y);
}

BYTE PxImage::GetPixelIndexUnchecked(LONG x, LONG y) const
{
    return ReadPackedIndex(RowAt(*this, y), x, header.bitCount);
}

void PxImage::SetPixelIndexUnchecked(LONG x, LONG y, BYTE index)
{
    WritePackedIndex(RowAt(*this, y), x, header.bitCount, index);
}

void PxImage::SetPixelIndex(LONG x, LONG y, BYTE index)
{
    if (GetPalette() && IsInside(x, y)) SetPixelIndexUnchecked(x, y, index);
}

PxRgbQuad PxImage::GetPixelColor(LONG x, LONG y, bool withAlpha) const
{
    PxRgbQuad color = info.backgroundColor;
    if (!IsInside(x, y)) {
        if (info.backgroundIndex >= 0) return GetTransparentColor();
        if (!dib) return color;
        x = y = 0;
    }
    if (GetPalette()) {
        BYTE index = GetPixelIndexUnchecked(x, y);
        color = GetPaletteColor(index);
    } else {
        const BYTE* p = RowAt(*this, y) + 3 * (size_t)x;
        color.blue = p[0];
        color.green = p[1];
        color.red = p[2];
    }
    if (withAlpha && alpha) color.reserved = alpha[(size_t)y * header.width + x];
    return color;
}

void PxImage::SetPixelColor(LONG x, LONG y, PxRgbQuad color)
{
    if (!IsInside(x, y)) return;
    if (GetPalette()) {
        SetPixelIndexUnchecked(x, y, GetNearestIndex(color));
    } else {
        BYTE* p = RowAt(*this, y) + 3 * (size_t)x;
        p[0] = color.blue;
        p[1] = color.green;
        p[2] = color.red;
    }
}

void PxImage::RgbToBgr(BYTE* buffer, int length) const
{
    if (!buffer || GetPalette() || length < 3) return;
    size_t n = (size_t)length;
    if (n > info.effWidth) n = info.effWidth;
    if (n > 3 * (size_t)GetWidth()) n = 3 * (size_t)GetWidth();
    for (size_t i = 0; i + 2 < n; i += 3) {
        BYTE t = buffer[i];
        buffer[i] = buffer[i + 2];
        buffer[i + 2] = t;
    }
}

void PxImage::Clear(BYTE value)
{
    if (!dib) return;
    if (header.bitCount == 1 && value) value = 255;
    else if (header.bitCount == 4) value = (BYTE)((value & 15) * 17);
    memset(info.bits, value, (size_t)info.effWidth * header.height);
}

void PxImage::AlphaFromGrey(const PxImage& from)
{
    // One byte a pixel is needed: packed 1- and 4-bit rows are shorter than
    // the width.
    if (!from.IsGrayScale() || from.GetBpp() != 8 || from.GetWidth() != GetWidth() ||
        from.GetHeight() != GetHeight() || !AlphaCreate())
        return;
    for (LONG y = 0; y < header.height; ++y)
        memcpy(alpha + (size_t)y * header.width, RowAt(from, y), (size_t)header.width);
}

// --- Row cursor ---

ImageRowCursor::ImageRowCursor(PxImage& image) : row(image.dib ? image.info.bits : nullptr), image_(image) {}

void ImageRowCursor::MoveToTop()
{
    x = 0;
    y = image_.header.height - 1;
    row = image_.dib ? RowAt(image_, y) : nullptr;
}

bool ImageRowCursor::IsInside() const
{
    return y >= 0 && y < image_.header.height && x >= 0 && x < image_.header.width;
}

void ImageRowCursor::MoveToRow(LONG toY)
{
    if (!image_.dib || toY < 0 || toY >= image_.header.height) return;
    y = toY;
    row = RowAt(image_, y);
}

void ImageRowCursor::CopyRow(const BYTE* pixels, int length)
{
    if (!row || !pixels || length == 0) return;
    size_t n = image_.info.effWidth;
    if (length > 0 && (size_t)length < n) n = (size_t)length;
    memcpy(row, pixels, n);
}

void ImageRowCursor::StepDown()
{
    if (y >= 1 && row) row -= image_.info.effWidth;
    --y;
}
