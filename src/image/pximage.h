// PxImage: the image container of the image library. One device-independent
// bitmap in one C-heap block (40-byte header, palette, rows padded to 4 bytes
// and stored bottom-up), an information block shared with the codecs, and
// optional alpha and selection planes, layers and frames.
//
// No operation throws: failures return false or null and leave a message in
// info.lastError. Codec objects derive from PxImage, live on the caller's
// stack for one call and hand their result over with Transfer, or write the
// caller's pixels through a non-owning view made with ShareFrom.
#pragma once

#include <cstdint>

#include "windows.h"
#include "image/pxfile.h"

// The Windows bitmap info header, as stored at the start of every DIB
// (little-endian).
struct PxBitmapInfoHeader {
    DWORD size;
    LONG width;
    LONG height;
    WORD planes;
    WORD bitCount;
    DWORD compression;
    DWORD sizeImage;
    LONG xPelsPerMeter;
    LONG yPelsPerMeter;
    DWORD clrUsed;
    DWORD clrImportant;
};
static_assert(sizeof(PxBitmapInfoHeader) == 40, "bitmap info header layout");

// A palette entry and colour value: blue, green, red, then a fourth byte
// (reserved, or alpha where an operation says so).
struct PxRgbQuad {
    BYTE blue;
    BYTE green;
    BYTE red;
    BYTE reserved;
};
static_assert(sizeof(PxRgbQuad) == 4, "palette entry layout");

inline bool operator==(const PxRgbQuad& a, const PxRgbQuad& b)
{
    return a.blue == b.blue && a.green == b.green && a.red == b.red && a.reserved == b.reserved;
}

// Format codes.
enum PXIMAGE_FORMAT : DWORD {
    PXIMAGE_FORMAT_UNKNOWN = 0,
    PXIMAGE_FORMAT_BMP = 1,
    PXIMAGE_FORMAT_GIF = 2,
    PXIMAGE_FORMAT_JPG = 3,
    PXIMAGE_FORMAT_PNG = 4,
    PXIMAGE_FORMAT_TIF = 6,
};

// Largest pixel area an image may have, in bytes. Fuzzing runs millions of
// decodes: there a smaller limit keeps each one quick, on the same paths.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
const int64_t PXIMAGE_MAX_MEMORY = 0x0FFFFFFF;
#else
const int64_t PXIMAGE_MAX_MEMORY = 0x7FFFFFFF;
#endif

class PxImage;

// Settings and results copied whole between an image and its codec objects.
struct PxImageInfo {
    DWORD effWidth;           // padded row length in bytes
    BYTE* bits;               // first pixel row inside the DIB
    const PxImage* owner;     // image whose buffers this one shares; null when it owns its own
    DWORD type;               // PXIMAGE_FORMAT created or decoded as
    char lastError[256];
    int32_t progress;
    int32_t escape;           // -1: header only; other non-zero values stop a running codec
    int32_t backgroundIndex;  // background or transparent palette index, -1 when none
    PxRgbQuad backgroundColor;
    float jpegQuality;
    BYTE jpegScale;
    int32_t frame;
    int32_t frameCount;
    DWORD frameDelay;
    int32_t xDpi;
    int32_t yDpi;
    RECT selectionBox;
    BYTE alphaMax;
    bool alphaPaletteEnabled;  // the palette's fourth bytes are alpha values
    bool enabled;
    int32_t xOffset;
    int32_t yOffset;
    DWORD codecOptions[6];     // by format index: none, BMP, GIF, JPG, PNG, TIF
    PxRgbQuad lastColor;
    BYTE lastColorIndex;
    bool lastColorValid;
    int32_t layerCount;
    BYTE disposal;
    bool getAllFrames;
    bool littleEndianHost;
};

class PxImage {
public:
    explicit PxImage(DWORD type = 0);
    PxImage(DWORD width, DWORD height, DWORD bpp, DWORD type);
    PxImage(const PxImage& source, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
    PxImage& operator=(const PxImage&) = delete;
    virtual ~PxImage();

    // Lifecycle.
    void Startup(DWORD type);
    bool Destroy();
    bool DestroyFrames();
    BYTE* Create(DWORD width, DWORD height, DWORD bpp, DWORD type);
    // Decoding into an image that holds pixels: its block goes to the codec,
    // whose Create takes it when the new picture needs a block of exactly
    // that size, so that a series of pictures of one size is decoded into
    // the same memory. TakeBlockBack returns a block the codec did not take;
    // false when it took it, and then this image holds no picture any more.
    void LendBlockTo(PxImage& codec);
    bool TakeBlockBack(PxImage& codec);
    // Bytes of the block Create makes for these dimensions (bpp rounded up
    // to 1, 4, 8 or 24), in 64 bits and capped, so that no size wraps.
    static uint64_t BlockSize(DWORD width, DWORD height, DWORD bpp);
    void Copy(const PxImage& source, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
    bool Transfer(PxImage& from, bool transferFrames = true);
    void ShareFrom(const PxImage* source);
    void CopyInfo(const PxImage& source);

    // Bytes held by the image's buffers: pixels, alpha and selection planes,
    // layers and frames.
    uint64_t MemoryUsed() const;
    // True when `extra` bytes more keep them within PXIMAGE_MAX_MEMORY.
    bool FitsMemoryLimit(uint64_t extra) const;

    // Planes and settings. A new alpha plane is opaque; one made with
    // `opaque` false is zero (transparent) and costs no memory until written.
    bool AlphaCreate(bool opaque = true);
    void AlphaDelete();
    bool SelectionDelete();
    void SetXDPI(LONG dpi);
    void SetYDPI(LONG dpi);
    void SetCodecOption(DWORD option);
    DWORD GetCodecOption(DWORD type) const;

    // Accessors.
    DWORD GetWidth() const { return (DWORD)header.width; }
    DWORD GetHeight() const { return (DWORD)header.height; }
    DWORD GetBpp() const { return header.bitCount; }
    DWORD GetType() const { return info.type; }
    DWORD GetEffWidth() const { return info.effWidth; }
    BYTE* GetBits() const { return info.bits; }
    int32_t GetFrameCount() const { return info.frameCount; }
    const char* GetLastErrorText() const { return info.lastError; }
    DWORD GetNumColors() const { return dib ? header.clrUsed : 0; }
    bool IsValid() const { return dib != nullptr; }

    // Palette.
    PxRgbQuad* GetPalette() const;
    PxRgbQuad GetPaletteColor(BYTE index) const;
    void SetPaletteColor(BYTE index, PxRgbQuad color);
    void SetPalette(DWORD count, const BYTE* red, const BYTE* green, const BYTE* blue);
    void SetPalette(const PxRgbQuad* palette, DWORD count = 256);
    void SetGrayPalette();
    bool IsGrayScale() const;
    // True when the palette is the full grey ramp of its length (0 and 255
    // for 2 entries, 17 × i for 16, i for 256): then every index is its own
    // grey level at the image's depth.
    bool IsGrayRamp() const;
    void SwapIndex(BYTE a, BYTE b);
    void SetClrImportant(DWORD count);
    void SetTransparentIndex(LONG index);
    PxRgbQuad GetTransparentColor() const;
    BYTE GetNearestIndex(PxRgbQuad color);

    // Pixels: x from the left, y the stored row from the bottom.
    BYTE GetPixelIndex(LONG x, LONG y) const;
    BYTE GetPixelIndexUnchecked(LONG x, LONG y) const;
    void SetPixelIndexUnchecked(LONG x, LONG y, BYTE index);
    void SetPixelIndex(LONG x, LONG y, BYTE index);
    PxRgbQuad GetPixelColor(LONG x, LONG y, bool withAlpha = true) const;
    void SetPixelColor(LONG x, LONG y, PxRgbQuad color);
    void RgbToBgr(BYTE* buffer, int length) const;
    void Clear(BYTE value);
    void AlphaFromGrey(const PxImage& from);

    // Orientation: in place, with the alpha plane; false without pixels.
    bool Flip();
    bool Mirror();
    bool RotateLeft();
    bool RotateRight();

    // Loading and saving.
    bool Save(const wchar_t* path, DWORD type);
    bool Encode(PxFile* file, DWORD type);
    bool Load(const wchar_t* path, DWORD type);
    bool LoadResource(HRSRC resource, DWORD type, HMODULE module);
    bool Decode(FILE* file, DWORD type);
    bool Decode(PxFile* file, DWORD type);

    // The image's data, read and set by the codecs and by callers (escape,
    // frame and the codec options are the caller's to set before decoding).
    BYTE* dib = nullptr;
    PxBitmapInfoHeader header;
    PxImageInfo info;
    BYTE* selection = nullptr;
    BYTE* alpha = nullptr;  // width × height, bottom row first, 255 opaque
    PxImage** layers = nullptr;
    PxImage** frames = nullptr;

protected:
    // Create for a codec that writes every pixel row itself, or clears the
    // rows it did not write when `stale` comes back true: a block taken from
    // the lender keeps its old bytes until then (a new block is zero).
    BYTE* CreateToFill(DWORD width, DWORD height, DWORD bpp, DWORD type, bool& stale);
    void SetLastErrorText(const char* text);
    // Every encoder starts here: a stream to write to and pixels to write.
    bool CanEncodeTo(const PxFile* stream);
    bool IsInside(LONG x, LONG y) const;
    // Copies the caller's settings from `source` without the fields that
    // describe this image's own buffers.
    void TakeSettings(const PxImageInfo& source);

private:
    BYTE* Allocate(DWORD width, DWORD height, DWORD bpp, DWORD type, bool clearPixels, bool* stale);

    BYTE* lentBlock_ = nullptr;  // the lender's block, until Create takes it
    uint64_t lentSize_ = 0;
};

// A position on one image, walking its stored rows.
class ImageRowCursor {
public:
    explicit ImageRowCursor(PxImage& image);
    void MoveToTop();
    bool IsInside() const;
    void MoveToRow(LONG y);
    void CopyRow(const BYTE* pixels, int length);
    void StepDown();

    LONG x = 0;
    LONG y = 0;
    BYTE* row = nullptr;

private:
    PxImage& image_;
};
