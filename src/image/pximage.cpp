#include "image/pximage.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

DWORD PaletteLength(DWORD bpp)
{
    switch (bpp) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

// Index of a format in the codec options: none, BMP, GIF, JPG, PNG, TIF.
int FormatIndex(DWORD type)
{
    switch (type) {
    case PXIMAGE_FORMAT_BMP: return 1;
    case PXIMAGE_FORMAT_GIF: return 2;
    case PXIMAGE_FORMAT_JPG: return 3;
    case PXIMAGE_FORMAT_PNG: return 4;
    case PXIMAGE_FORMAT_TIF: return 5;
    default: return 0;
    }
}

LONG DpiToPelsPerMeter(LONG dpi)
{
    double pels = floor(dpi * 10000.0 / 254.0 + 0.5);
    return pels > INT32_MAX ? INT32_MAX : (LONG)pels;
}

}  // namespace

PxImage::PxImage(DWORD type) { Startup(type); }

PxImage::PxImage(DWORD width, DWORD height, DWORD bpp, DWORD type)
{
    Startup(type);
    Create(width, height, bpp, type);
}

PxImage::PxImage(const PxImage& source, bool copyPixels, bool copySelection, bool copyAlpha)
{
    Startup(source.info.type);
    Copy(source, copyPixels, copySelection, copyAlpha);
}

PxImage::~PxImage()
{
    DestroyFrames();
    Destroy();
    free(lentBlock_);
}

void PxImage::Startup(DWORD type)
{
    dib = nullptr;
    selection = nullptr;
    alpha = nullptr;
    layers = nullptr;
    frames = nullptr;
    memset(&header, 0, sizeof header);
    memset(&info, 0, sizeof info);
    info.type = type;
    info.jpegQuality = 90.0f;
    info.alphaMax = 255;
    info.backgroundIndex = -1;
    info.enabled = true;
    info.littleEndianHost = true;
    info.xDpi = info.yDpi = 96;
    header.xPelsPerMeter = header.yPelsPerMeter = 3780;
}

void PxImage::SetLastErrorText(const char* text)
{
    strncpy(info.lastError, text, sizeof info.lastError - 1);
    info.lastError[sizeof info.lastError - 1] = 0;
}

bool PxImage::CanEncodeTo(const PxFile* stream)
{
    if (!stream) {
        SetLastErrorText("null file handler");
        return false;
    }
    if (!dib) {
        SetLastErrorText("null image!!!");
        return false;
    }
    return true;
}

bool PxImage::Destroy()
{
    if (info.owner) return false;
    if (layers) {
        for (int32_t i = 0; i < info.layerCount; ++i) delete layers[i];
        free(layers);
        layers = nullptr;
    }
    info.layerCount = 0;
    free(selection);
    selection = nullptr;
    free(alpha);
    alpha = nullptr;
    free(dib);
    dib = nullptr;
    info.bits = nullptr;
    return true;
}

bool PxImage::DestroyFrames()
{
    if (info.owner) return false;
    if (frames) {
        for (int32_t i = 0; i < info.frameCount; ++i) delete frames[i];
        free(frames);
        frames = nullptr;
    }
    info.frameCount = 0;
    return true;
}

namespace {

DWORD RoundBpp(DWORD bpp) { return bpp <= 1 ? 1 : bpp <= 4 ? 4 : bpp <= 8 ? 8 : 24; }

}  // namespace

uint64_t PxImage::BlockSize(DWORD width, DWORD height, DWORD bpp)
{
    bpp = RoundBpp(bpp);
    // Sizes in 64 bits (and 128 for the product), so that no width or height
    // can wrap a row length or the block size into a small allocation.
    const uint64_t effWidth = ((uint64_t)bpp * width + 31) / 32 * 4;
    const unsigned __int128 size = 40 + 4 * (uint64_t)PaletteLength(bpp) + (unsigned __int128)effWidth * height;
    return size > UINT64_MAX ? UINT64_MAX : (uint64_t)size;
}

BYTE* PxImage::Create(DWORD width, DWORD height, DWORD bpp, DWORD type)
{
    return Allocate(width, height, bpp, type, true, nullptr);
}

BYTE* PxImage::CreateToFill(DWORD width, DWORD height, DWORD bpp, DWORD type, bool& stale)
{
    return Allocate(width, height, bpp, type, false, &stale);
}

BYTE* PxImage::Allocate(DWORD width, DWORD height, DWORD bpp, DWORD type, bool clearPixels, bool* stale)
{
    if (stale) *stale = false;
    if (!Destroy()) return nullptr;
    if (width == 0 || height == 0) {
        SetLastErrorText("PxImage::Create : width and height must be greater than zero");
        return nullptr;
    }
    bpp = RoundBpp(bpp);
    unsigned __int128 pixelBytes = (unsigned __int128)width * height * bpp / 8;
    uint64_t effWidth = ((uint64_t)bpp * width + 31) / 32 * 4;
    DWORD colors = PaletteLength(bpp);
    const uint64_t blockSize = BlockSize(width, height, bpp);
    if (pixelBytes > PXIMAGE_MAX_MEMORY || blockSize > PXIMAGE_MAX_MEMORY || width > INT32_MAX ||
        height > INT32_MAX) {
        SetLastErrorText("PXIMAGE_MAX_MEMORY exceeded");
        return nullptr;
    }

    info.effWidth = (DWORD)effWidth;
    info.type = type;
    header.size = 40;
    header.width = (LONG)width;
    header.height = (LONG)height;
    header.planes = 1;
    header.bitCount = (WORD)bpp;
    header.compression = 0;
    header.sizeImage = (DWORD)(effWidth * height);
    header.clrUsed = colors;

    // Zeroed, pixels included: a decoder that stops early leaves black rows,
    // never stale heap bytes. A lent block of the same size is used again:
    // memory touched before costs far less to write than new memory.
    if (lentBlock_ && lentSize_ == blockSize) {
        dib = lentBlock_;
        lentBlock_ = nullptr;
        const size_t head = 40 + 4 * (size_t)colors;
        memset(dib, 0, clearPixels ? (size_t)blockSize : head);
        if (stale) *stale = !clearPixels;
    } else {
        dib = (BYTE*)calloc(1, (size_t)blockSize);
    }
    if (!dib) {
        SetLastErrorText("PxImage::Create can't allocate memory");
        return nullptr;
    }
    memcpy(dib, &header, sizeof header);
    info.bits = dib + 40 + 4 * colors;
    return dib;
}

void PxImage::LendBlockTo(PxImage& codec)
{
    if (info.owner || !dib || codec.dib || codec.lentBlock_ || &codec == this) return;
    const uint64_t size = BlockSize(GetWidth(), GetHeight(), GetBpp());
    // Only a block Create made for this header goes: its size is known.
    if (size != 40 + 4 * (uint64_t)header.clrUsed + header.sizeImage) return;
    codec.lentBlock_ = dib;
    codec.lentSize_ = size;
    dib = nullptr;
}

bool PxImage::TakeBlockBack(PxImage& codec)
{
    if (dib || !codec.lentSize_) return true;  // nothing was lent
    codec.lentSize_ = 0;
    if (codec.lentBlock_) {
        dib = codec.lentBlock_;
        codec.lentBlock_ = nullptr;
        return true;
    }
    // The codec wrote its picture over the block: the old one is gone.
    DestroyFrames();
    Destroy();
    header.width = header.height = 0;
    header.bitCount = 0;
    header.sizeImage = header.clrUsed = 0;
    info.effWidth = 0;
    return false;
}

void PxImage::TakeSettings(const PxImageInfo& source)
{
    DWORD effWidth = info.effWidth;
    BYTE* bits = info.bits;
    int32_t layerCount = info.layerCount;
    int32_t frameCount = info.frameCount;
    info = source;
    info.owner = nullptr;
    info.effWidth = effWidth;
    info.bits = bits;
    info.layerCount = layerCount;
    if (frames) info.frameCount = frameCount;
}

void PxImage::Copy(const PxImage& source, bool copyPixels, bool copySelection, bool copyAlpha)
{
    if (&source == this) return;
    if (source.info.owner) {
        ShareFrom(&source);
        return;
    }
    if (!Destroy()) return;
    header = source.header;
    TakeSettings(source.info);
    if (!source.dib) return;
    if (!Create(source.GetWidth(), source.GetHeight(), source.GetBpp(), source.info.type)) return;

    if (copyPixels) {
        memcpy(dib, source.dib, 40 + 4 * (size_t)header.clrUsed + (size_t)header.sizeImage);
    } else {
        if (GetPalette()) memcpy(GetPalette(), source.GetPalette(), 4 * (size_t)header.clrUsed);
        info.lastColorValid = false;
    }
    size_t planeSize = (size_t)GetWidth() * GetHeight();
    if (copySelection && source.selection) {
        selection = (BYTE*)malloc(planeSize);
        if (selection) memcpy(selection, source.selection, planeSize);
    }
    if (copyAlpha && source.alpha) {
        alpha = (BYTE*)malloc(planeSize);
        if (alpha) memcpy(alpha, source.alpha, planeSize);
    }
}

bool PxImage::Transfer(PxImage& from, bool transferFrames)
{
    if (&from == this) return true;
    if (!Destroy()) return false;
    if (transferFrames) DestroyFrames();
    int32_t ownFrameCount = info.frameCount;
    int32_t fromFrameCount = from.info.frameCount;

    header = from.header;
    info = from.info;
    dib = from.dib;
    selection = from.selection;
    alpha = from.alpha;
    layers = from.layers;

    memset(&from.header, 0, sizeof from.header);
    memset(&from.info, 0, sizeof from.info);
    from.dib = nullptr;
    from.selection = nullptr;
    from.alpha = nullptr;
    from.layers = nullptr;

    if (transferFrames) {
        frames = from.frames;
        from.frames = nullptr;
    } else {
        // Each side keeps its frames with the count that goes with them.
        if (frames) info.frameCount = ownFrameCount;
        if (from.frames) from.info.frameCount = fromFrameCount;
    }
    return true;
}

void PxImage::ShareFrom(const PxImage* source)
{
    if (!source || source == this) return;
    if (!info.owner) {
        DestroyFrames();
        Destroy();
    }
    header = source->header;
    info = source->info;
    dib = source->dib;
    selection = source->selection;
    alpha = source->alpha;
    layers = source->layers;
    frames = source->frames;
    info.owner = source;
}

void PxImage::CopyInfo(const PxImage& source)
{
    if (!dib && &source != this) TakeSettings(source.info);
}

uint64_t PxImage::MemoryUsed() const
{
    if (info.owner) return 0;
    uint64_t total = 0;
    const uint64_t plane = (uint64_t)GetWidth() * GetHeight();
    if (dib) total += 40 + 4 * (uint64_t)header.clrUsed + (uint64_t)header.sizeImage;
    if (alpha) total += plane;
    if (selection) total += plane;
    if (layers)
        for (int32_t i = 0; i < info.layerCount; ++i)
            if (layers[i]) total += layers[i]->MemoryUsed();
    if (frames)
        for (int32_t i = 0; i < info.frameCount; ++i)
            if (frames[i]) total += frames[i]->MemoryUsed();
    return total;
}

bool PxImage::FitsMemoryLimit(uint64_t extra) const
{
    const uint64_t used = MemoryUsed();
    return extra <= (uint64_t)PXIMAGE_MAX_MEMORY && used <= (uint64_t)PXIMAGE_MAX_MEMORY - extra;
}

bool PxImage::AlphaCreate(bool opaque)
{
    if (!alpha && dib) {
        const size_t planeSize = (size_t)GetWidth() * GetHeight();
        // The plane counts against the limit with the pixels it goes with.
        if (!FitsMemoryLimit(planeSize)) return false;
        if (opaque) {
            alpha = (BYTE*)malloc(planeSize);
            if (alpha) memset(alpha, 255, planeSize);
        } else {
            alpha = (BYTE*)calloc(1, planeSize);
        }
    }
    return alpha != nullptr;
}

void PxImage::AlphaDelete()
{
    free(alpha);
    alpha = nullptr;
}

bool PxImage::SelectionDelete()
{
    free(selection);
    selection = nullptr;
    info.selectionBox.left = header.width;
    info.selectionBox.bottom = header.height;
    info.selectionBox.top = 0;
    info.selectionBox.right = 0;
    return true;
}

void PxImage::SetXDPI(LONG dpi)
{
    if (dpi < 1) dpi = 96;
    info.xDpi = dpi;
    header.xPelsPerMeter = DpiToPelsPerMeter(dpi);
    if (dib) ((PxBitmapInfoHeader*)dib)->xPelsPerMeter = header.xPelsPerMeter;
}

void PxImage::SetYDPI(LONG dpi)
{
    if (dpi < 1) dpi = 96;
    info.yDpi = dpi;
    header.yPelsPerMeter = DpiToPelsPerMeter(dpi);
    if (dib) ((PxBitmapInfoHeader*)dib)->yPelsPerMeter = header.yPelsPerMeter;
}

void PxImage::SetCodecOption(DWORD option)
{
    info.codecOptions[FormatIndex(info.type)] = option;
}

DWORD PxImage::GetCodecOption(DWORD type) const
{
    return info.codecOptions[FormatIndex(type)];
}
