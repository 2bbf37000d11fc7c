// The image library's codecs against the libraries they wrap, or against
// giflib and memcpy for the codecs of its own. Files are decoded from memory
// on both sides, so the rows time the codecs and not the disk.
#include <cstdio>  // before jpeglib.h, which uses FILE

#include <jpeglib.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "bench_inputs.h"
#include "bench_rows.h"
#include "image/pxfile.h"
#include "image/pximage.h"

namespace velkbench {
namespace {

struct Picture {
    int width = 0, height = 0;
    Bytes pixels;   // RGB, or palette indices
    Bytes palette;  // RGB triples for an indexed picture
};

// The inputs are made once per run and shared by the rows.
const Picture& Photo(const Scale& scale)
{
    static Picture picture;
    if (picture.pixels.empty()) {
        picture.width = scale.Pick(4000, 61);  // odd sizes: rows with padding
        picture.height = scale.Pick(3000, 47);
        picture.pixels = PhotoRgb(picture.width, picture.height);
    }
    return picture;
}

const Picture& Map(const Scale& scale)
{
    static Picture picture;
    if (picture.pixels.empty()) {
        picture.width = picture.height = scale.Pick(1024, 39);
        picture.pixels = MapIndices(picture.width, picture.height, 256);
        picture.palette = MapPalette(256);
    }
    return picture;
}

// A module image holding the picture.
std::shared_ptr<PxImage> ModuleImage(const Picture& p, DWORD type)
{
    const bool indexed = !p.palette.empty();
    auto image = std::make_shared<PxImage>((DWORD)p.width, (DWORD)p.height, indexed ? 8 : 24, type);
    if (indexed) {
        const size_t colors = p.palette.size() / 3;
        std::vector<PxRgbQuad> quads(colors);
        for (size_t i = 0; i < colors; ++i)
            quads[i] = PxRgbQuad{p.palette[3 * i + 2], p.palette[3 * i + 1], p.palette[3 * i], 0};
        image->SetPalette(quads.data(), (DWORD)colors);
    }
    for (int y = 0; y < p.height; ++y) {
        BYTE* row = image->GetBits() + (size_t)(p.height - 1 - y) * image->GetEffWidth();
        if (indexed) {
            memcpy(row, p.pixels.data() + (size_t)y * p.width, (size_t)p.width);
            continue;
        }
        const uint8_t* in = p.pixels.data() + (size_t)y * p.width * 3;
        for (int x = 0; x < p.width; ++x) {
            row[3 * x] = in[3 * x + 2];
            row[3 * x + 1] = in[3 * x + 1];
            row[3 * x + 2] = in[3 * x];
        }
    }
    return image;
}

std::string ModuleFailure(const PxImage& image)
{
    return image.IsValid() ? std::string() : std::string("module: ") + image.GetLastErrorText();
}

// A decoding row: the module and the reference read the same file from
// memory, and the module's pixels (top row first, RGB or indices) must be
// what `expected` makes of the reference's result. The module decodes into
// a new image each time, or with `sameImage` again and again into one, as a
// caller decoding a series of pictures would.
Pair DecodeRow(Bytes file, DWORD type, std::function<void(const Bytes& file)> reference,
               std::function<Bytes()> expected, bool indexed, bool sameImage = false)
{
    Pair pair;
    auto bytes = std::make_shared<Bytes>(std::move(file));
    if (bytes->empty()) pair.error = "the reference library could not write the input";
    auto image = std::make_shared<PxImage>();
    pair.module = [bytes, type, image, sameImage]() {
        PxMemFile stream(bytes->data(), (DWORD)bytes->size());
        if (sameImage) {
            image->Decode(&stream, type);
            return;
        }
        PxImage decoded;
        decoded.Decode(&stream, type);
        image->Transfer(decoded);
    };
    pair.reference = [bytes, reference]() { reference(*bytes); };
    pair.check = [image, expected, indexed]() {
        const std::string failure = ModuleFailure(*image);
        if (!failure.empty()) return failure;
        return indexed ? Compare(TopDownIndices(*image), expected(), "indices")
                       : Compare(TopDownRgb(*image), expected(), "pixels");
    };
    return pair;
}

// An encoding row: the module writes the picture to memory, the reference
// writes it with `reference`, and `check` judges the module's file.
Pair EncodeRow(const Picture& p, DWORD type, std::function<void(Bytes& out)> reference,
               std::function<std::string(const Bytes& module, const Bytes& reference)> check)
{
    Pair pair;
    auto image = ModuleImage(p, type);
    auto moduleOut = std::make_shared<Bytes>();
    auto referenceOut = std::make_shared<Bytes>();
    pair.module = [image, type, moduleOut]() {
        // A stream needs a block of its own before it can grow.
        PxMemFile stream((BYTE*)malloc(1), 0);
        stream.ownsBuffer = true;
        image->Encode(&stream, type);
        moduleOut->assign(stream.buffer, stream.buffer + stream.size);
    };
    pair.reference = [reference, referenceOut]() { reference(*referenceOut); };
    pair.check = [check, moduleOut, referenceOut]() { return check(*moduleOut, *referenceOut); };
    return pair;
}

std::string SameBytes(const Bytes& module, const Bytes& reference) { return Compare(module, reference, "file bytes"); }

// --- libpng ---

// libpng's own decoding loop: every row into one new buffer.
void PngDecode(const Bytes& file, Bytes& out)
{
    MemoryReader reader{file.data(), file.size(), 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    uint8_t* volatile buffer = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        free(buffer);
        png_destroy_read_struct(&png, &info, nullptr);
        out.clear();
        return;
    }
    png_set_read_fn(png, &reader, PngReadMemory);
    png_read_info(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    buffer = (uint8_t*)malloc(rowBytes * height);
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, buffer + y * rowBytes, nullptr);
    png_read_end(png, info);
    png_destroy_read_struct(&png, &info, nullptr);
    out.assign(buffer, buffer + rowBytes * height);
    free(buffer);
}

Pair PngDecodeRow(const Picture& p)
{
    auto out = std::make_shared<Bytes>();
    return DecodeRow(
        WritePng(p.pixels, p.palette, p.width, p.height), PXIMAGE_FORMAT_PNG,
        [out](const Bytes& file) { PngDecode(file, *out); }, [out]() { return *out; }, !p.palette.empty());
}

Pair PngEncodeRow(const Picture& p)
{
    // The module's default settings, which the reference writes too.
    auto settings = std::make_shared<PxImage>();
    return EncodeRow(
        p, PXIMAGE_FORMAT_PNG,
        [&p, settings](Bytes& out) { out = WritePng(p.pixels, p.palette, p.width, p.height, settings.get()); },
        SameBytes);
}

// --- libjpeg ---

// The usual decoding loop: one scanline at a time into one new buffer.
void JpegDecode(const Bytes& file, Bytes& out)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), (unsigned long)file.size());
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    const size_t stride = (size_t)cinfo.output_width * cinfo.output_components;
    uint8_t* buffer = (uint8_t*)malloc(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = buffer + (size_t)cinfo.output_scanline * stride;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    out.assign(buffer, buffer + stride * cinfo.output_height);
    free(buffer);
    jpeg_destroy_decompress(&cinfo);
}

// --- libtiff ---

struct TiffMemory {
    const Bytes* file;
    uint64_t position;
};

tmsize_t TiffRead(thandle_t h, void* buffer, tmsize_t size)
{
    TiffMemory* m = (TiffMemory*)h;
    const uint64_t left = m->position < m->file->size() ? m->file->size() - m->position : 0;
    const size_t n = (size_t)std::min<uint64_t>(left, (uint64_t)size);
    memcpy(buffer, m->file->data() + m->position, n);
    m->position += n;
    return (tmsize_t)n;
}

tmsize_t TiffWrite(thandle_t, void*, tmsize_t) { return 0; }

toff_t TiffSeek(thandle_t h, toff_t offset, int whence)
{
    TiffMemory* m = (TiffMemory*)h;
    if (whence == SEEK_CUR) offset += m->position;
    else if (whence == SEEK_END) offset += m->file->size();
    m->position = offset;
    return offset;
}

int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t h) { return ((TiffMemory*)h)->file->size(); }

// The file mapped, as TIFFOpen maps a file on disk.
int TiffMap(thandle_t h, void** base, toff_t* size)
{
    TiffMemory* m = (TiffMemory*)h;
    *base = (void*)m->file->data();
    *size = m->file->size();
    return 1;
}

void TiffUnmap(thandle_t, void*, toff_t) {}

// TIFFReadRGBAImage into one new raster, bottom row first.
void TiffDecode(const Bytes& file, std::vector<uint32_t>& raster)
{
    TiffMemory memory{&file, 0};
    TIFF* tif = TIFFClientOpen("bench", "rm", (thandle_t)&memory, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize,
                               TiffMap, TiffUnmap);
    raster.clear();
    if (!tif) return;
    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    uint32_t* buffer = (uint32_t*)malloc((size_t)width * height * 4);
    if (TIFFReadRGBAImage(tif, width, height, buffer, 1)) raster.assign(buffer, buffer + (size_t)width * height);
    free(buffer);
    TIFFClose(tif);
}

Pair TiffDecodeRow(const Scale& scale, int compression)
{
    const Picture& p = Photo(scale);
    auto raster = std::make_shared<std::vector<uint32_t>>();
    // The raster's rows run bottom-up.
    auto expected = [raster, width = p.width, height = p.height]() {
        Bytes rgb;
        if (raster->size() != (size_t)width * height) return rgb;
        rgb.resize((size_t)width * height * 3);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint32_t v = (*raster)[(size_t)(height - 1 - y) * width + x];
                uint8_t* e = rgb.data() + ((size_t)y * width + x) * 3;
                e[0] = (uint8_t)TIFFGetR(v);
                e[1] = (uint8_t)TIFFGetG(v);
                e[2] = (uint8_t)TIFFGetB(v);
            }
        return rgb;
    };
    return DecodeRow(
        WriteTiffRgb(p.pixels, p.width, p.height, compression, 16), PXIMAGE_FORMAT_TIF,
        [raster](const Bytes& file) { TiffDecode(file, *raster); }, expected, false);
}

// --- giflib ---

// DGifSlurp, keeping the first image's indices.
void GifDecode(const Bytes& file, Bytes& indices)
{
    indices.clear();
    MemoryReader reader{file.data(), file.size(), 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, GifReadMemory, &error);
    if (!gif) return;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
        const SavedImage& image = gif->SavedImages[0];
        indices.assign(image.RasterBits, image.RasterBits + (size_t)image.ImageDesc.Width * image.ImageDesc.Height);
    }
    DGifCloseFile(gif, &error);
}

// --- the rows ---

Pair JpegDecodeRow(const Scale& s)
{
    const Picture& p = Photo(s);
    auto out = std::make_shared<Bytes>();
    return DecodeRow(
        WriteJpeg(p.pixels, p.width, p.height, 90, 96), PXIMAGE_FORMAT_JPG,
        [out](const Bytes& file) { JpegDecode(file, *out); }, [out]() { return *out; }, false);
}

Pair JpegEncodeRow(const Scale& s)
{
    const Picture& p = Photo(s);
    // The module's default quality (90) and resolution (96 dpi).
    return EncodeRow(
        p, PXIMAGE_FORMAT_JPG, [&p](Bytes& out) { out = WriteJpeg(p.pixels, p.width, p.height, 90, 96); },
        SameBytes);
}

Pair GifDecodeRow(const Scale& s)
{
    const Picture& p = Map(s);
    auto out = std::make_shared<Bytes>();
    return DecodeRow(
        WriteGif(p.pixels, p.palette, p.width, p.height), PXIMAGE_FORMAT_GIF,
        [out](const Bytes& file) { GifDecode(file, *out); }, [out]() { return *out; }, true);
}

Pair GifEncodeRow(const Scale& s)
{
    const Picture& p = Map(s);
    // The coders differ, so the files do too: giflib reads the module's back.
    return EncodeRow(
        p, PXIMAGE_FORMAT_GIF, [&p](Bytes& out) { out = WriteGif(p.pixels, p.palette, p.width, p.height); },
        [&p](const Bytes& module, const Bytes&) {
            Bytes indices;
            GifDecode(module, indices);
            return Compare(indices, p.pixels, "indices giflib read back");
        });
}

// Decoding into one image again and again against a copy of the pixel bytes
// into one buffer, or into a new image each time against a copy into a new
// buffer: the first touch of new memory costs the system more than the copy.
Pair BmpDecodeRow(const Scale& s, bool reuse)
{
    const Picture& p = Photo(s);
    auto kept = std::make_shared<std::unique_ptr<uint8_t[]>>();
    // A lossless file: the module must give back the picture itself.
    return DecodeRow(
        WriteBmp24(p.pixels, p.width, p.height), PXIMAGE_FORMAT_BMP,
        [kept, reuse](const Bytes& file) {
            if (!reuse || !*kept) kept->reset(new uint8_t[file.size() - 54]);
            memcpy(kept->get(), file.data() + 54, file.size() - 54);
        },
        [&p]() { return p.pixels; }, false, reuse);
}

VELK_BENCH_ROWS({
    {"image", "PNG decode, 4000×3000 RGB", "libpng, rows into a new buffer", 0, 9,
     [](const Scale& s) { return PngDecodeRow(Photo(s)); }},
    {"image", "PNG encode, 4000×3000 RGB", "libpng, same bytes out", 0, 5,
     [](const Scale& s) { return PngEncodeRow(Photo(s)); }},
    {"image", "PNG decode, 1024² palette", "libpng, rows into a new buffer", 0, 21,
     [](const Scale& s) { return PngDecodeRow(Map(s)); }},
    {"image", "PNG encode, 1024² palette", "libpng, same bytes out", 0, 15,
     [](const Scale& s) { return PngEncodeRow(Map(s)); }},
    {"image", "JPEG decode, 4000×3000", "libjpeg jpeg_read_scanlines loop", 1.1, 15, JpegDecodeRow},
    {"image", "JPEG encode, 4000×3000, quality 90", "libjpeg, same bytes out", 0, 9, JpegEncodeRow},
    {"image", "TIFF decode, 4000×3000 uncompressed", "TIFFReadRGBAImage, file mapped", 1.2, 15,
     [](const Scale& s) { return TiffDecodeRow(s, COMPRESSION_NONE); }},
    {"image", "TIFF decode, 4000×3000 LZW", "TIFFReadRGBAImage, file mapped", 0, 9,
     [](const Scale& s) { return TiffDecodeRow(s, COMPRESSION_LZW); }},
    {"image", "GIF decode, 1024²", "giflib DGifSlurp", 1.2, 21, GifDecodeRow},
    {"image", "GIF encode, 1024²", "giflib EGifPutLine", 0, 15, GifEncodeRow},
    {"image", "BMP decode, 4000×3000 24-bit, same image", "memcpy into a reused buffer", 1.5, 21,
     [](const Scale& s) { return BmpDecodeRow(s, true); }},
    {"image", "BMP decode, 4000×3000 24-bit, new image", "memcpy into a new buffer", 0, 21,
     [](const Scale& s) { return BmpDecodeRow(s, false); }},
});

}  // namespace
}  // namespace velkbench
