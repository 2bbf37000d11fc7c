// Flips, mirrors and quarter turns of a whole image, alpha plane included.
// Stored coordinates: row 0 is the bottom row of the picture.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "image/pximage.h"
#include "image/pxpixels.h"

namespace {

void SwapRows(BYTE* plane, size_t rowBytes, LONG height, BYTE* scratch)
{
    for (LONG i = 0, j = height - 1; i < j; ++i, --j) {
        BYTE* a = plane + (size_t)i * rowBytes;
        BYTE* b = plane + (size_t)j * rowBytes;
        memcpy(scratch, a, rowBytes);
        memcpy(a, b, rowBytes);
        memcpy(b, scratch, rowBytes);
    }
}

}  // namespace

bool PxImage::Flip()
{
    if (!dib) return false;
    const size_t width = GetWidth();
    // Both row buffers first: a flip is whole or does not happen.
    BYTE* scratch = (BYTE*)malloc(std::max<size_t>(info.effWidth, width));
    if (!scratch) return false;
    SwapRows(info.bits, info.effWidth, header.height, scratch);
    if (alpha) SwapRows(alpha, width, header.height, scratch);
    free(scratch);
    return true;
}

bool PxImage::Mirror()
{
    if (!dib) return false;
    const LONG width = header.width, height = header.height;
    const int bpp = GetBpp();
    BYTE* row = (BYTE*)malloc(std::max<size_t>(info.effWidth, (size_t)width));
    if (!row) return false;
    for (LONG y = 0; y < height; ++y) {
        BYTE* stored = info.bits + (size_t)y * info.effWidth;
        memcpy(row, stored, info.effWidth);
        for (LONG x = 0; x < width; ++x) {
            const LONG from = width - 1 - x;
            if (bpp == 24) memcpy(stored + 3 * x, row + 3 * from, 3);
            else WritePackedIndex(stored, x, bpp, ReadPackedIndex(row, from, bpp));
        }
        if (alpha) {
            BYTE* a = alpha + (size_t)y * width;
            memcpy(row, a, width);
            for (LONG x = 0; x < width; ++x) a[x] = row[width - 1 - x];
        }
    }
    free(row);
    return true;
}

namespace {

// Quarter turn into a new image. `left`: destination (x', y') takes source
// (y', H - 1 - x'); otherwise source (W - 1 - y', x').
bool Rotate(PxImage& image, bool left)
{
    if (!image.dib) return false;
    const LONG w = image.header.width, h = image.header.height;
    const int bpp = image.GetBpp();
    PxImage turned(image.info.type);
    turned.CopyInfo(image);
    if (!turned.Create((DWORD)h, (DWORD)w, (DWORD)bpp, image.info.type)) return false;
    turned.header.xPelsPerMeter = image.header.xPelsPerMeter;
    turned.header.yPelsPerMeter = image.header.yPelsPerMeter;
    turned.header.clrImportant = image.header.clrImportant;
    memcpy(turned.dib, &turned.header, sizeof turned.header);
    if (PxRgbQuad* palette = image.GetPalette()) turned.SetPalette(palette, image.header.clrUsed);
    turned.info.lastColorValid = false;
    const size_t planeSize = (size_t)w * h;
    if (image.alpha && !turned.AlphaCreate()) return false;
    if (image.selection) {
        turned.selection = (BYTE*)calloc(1, planeSize);
        if (!turned.selection) return false;
    }

    const LONG block = 64;
    for (LONG ys = 0; ys < h; ys += block) {
        image.info.progress = (int32_t)(100 * ys / h);
        for (LONG xs = 0; xs < w; xs += block) {
            const LONG ye = std::min(h, ys + block), xe = std::min(w, xs + block);
            for (LONG y = ys; y < ye; ++y) {
                const BYTE* in = image.info.bits + (size_t)y * image.info.effWidth;
                for (LONG x = xs; x < xe; ++x) {
                    // Source (x, y) lands at (dx, dy).
                    const LONG dx = left ? h - 1 - y : y;
                    const LONG dy = left ? x : w - 1 - x;
                    BYTE* out = turned.info.bits + (size_t)dy * turned.info.effWidth;
                    if (bpp == 24) memcpy(out + 3 * dx, in + 3 * x, 3);
                    else WritePackedIndex(out, dx, bpp, ReadPackedIndex(in, x, bpp));
                    const size_t from = (size_t)y * w + x, to = (size_t)dy * h + dx;
                    if (image.alpha) turned.alpha[to] = image.alpha[from];
                    if (image.selection) turned.selection[to] = image.selection[from];
                }
            }
        }
    }
    // The turned picture replaces this one; the frames stay with the image.
    image.Transfer(turned, false);
    image.info.progress = 100;
    return true;
}

}  // namespace

bool PxImage::RotateLeft() { return Rotate(*this, true); }

bool PxImage::RotateRight() { return Rotate(*this, false); }
