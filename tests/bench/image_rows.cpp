// The image library's codecs against the libraries they wrap, or against
// giflib and memcpy for the codecs of its own. Files are decoded from memory
// on both sides, so the rows time the codecs and not the disk.
#include <cstdio>  // before jpeglib.h, which uses FILE

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "bench_inputs.h"
#include "bench_rows.h"
#include "image/pxfile.h"
#include "image/pximage.h"
#include "image/pximage_jpeg.h"

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
        picture.width = scale.Pick(4000, 64);
        picture.height = scale.Pick(3000, 48);
        picture.pixels = PhotoRgb(picture.width, picture.height);
    }
    return picture;
}

const Picture& Map(const Scale& scale)
{
    static Picture picture;
    if (picture.pixels.empty()) {
        picture.width = picture.height = scale.Pick(1024, 40);
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

// The module decoding a file held in memory; the image is kept for the check.
std::function<void()> ModuleDecode(std::shared_ptr<Bytes> file, DWORD type, std::shared_ptr<PxImage> out)
{
    return [file, type, out]() {
        PxMemFile stream(file->data(), (DWORD)file->size());
        PxImage image;
        image.Decode(&stream, type);
        out->Transfer(image);
    };
}

std::function<void()> ModuleEncode(std::shared_ptr<PxImage> image, DWORD type, std::shared_ptr<Bytes> out)
{
    return [image, type, out]() {
        // A stream needs a block of its own before it can grow.
        PxMemFile stream((BYTE*)malloc(1), 0);
        stream.ownsBuffer = true;
        image->Encode(&stream, type);
        out->assign(stream.buffer, stream.buffer + stream.size);
    };
}

std::string ModuleFailure(const PxImage& image)
{
    return image.IsValid() ? std::string() : std::string("module: ") + image.GetLastErrorText();
}

// --- libpng ---

struct MemoryReader {
    const uint8_t* data;
    size_t size, position;
};

void PngRead(png_structp png, png_bytep out, png_size_t length)
{
    MemoryReader* r = (MemoryReader*)png_get_io_ptr(png);
    if (length > r->size - r->position) png_error(png, "read past the end");
    memcpy(out, r->data + r->position, length);
    r->position += length;
}

void PngWrite(png_structp png, png_bytep data, png_size_t length)
{
    Bytes* out = (Bytes*)png_get_io_ptr(png);
    out->insert(out->end(), data, data + length);
}

void PngFlush(png_structp) {}

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
    png_set_read_fn(png, &reader, PngRead);
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

// The settings the module writes with, so that the bytes come out the same.
void PngEncode(const Picture& p, const PxImage& settings, Bytes& out)
{
    out.clear();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        out.clear();
        return;
    }
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    const bool indexed = !p.palette.empty();
    png_set_IHDR(png, info, p.width, p.height, 8, indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color_16 background{};
    background.red = background.green = background.blue = 255;
    png_set_bKGD(png, info, &background);
    png_set_pHYs(png, info, (png_uint_32)settings.header.xPelsPerMeter, (png_uint_32)settings.header.yPelsPerMeter,
                 PNG_RESOLUTION_METER);
    png_color plte[256];
    if (indexed) {
        const int colors = (int)p.palette.size() / 3;
        for (int i = 0; i < colors; ++i) plte[i] = png_color{p.palette[3 * i], p.palette[3 * i + 1], p.palette[3 * i + 2]};
        png_set_PLTE(png, info, plte, colors);
    }
    png_write_info(png, info);
    const size_t rowBytes = (size_t)p.width * (indexed ? 1 : 3);
    for (int y = 0; y < p.height; ++y) png_write_row(png, (png_bytep)p.pixels.data() + (size_t)y * rowBytes);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
}

Pair PngDecodeRow(const Picture& p, Bytes file)
{
    Pair pair;
    auto bytes = std::make_shared<Bytes>(std::move(file));
    auto image = std::make_shared<PxImage>();
    auto reference = std::make_shared<Bytes>();
    const bool indexed = !p.palette.empty();
    pair.module = ModuleDecode(bytes, PXIMAGE_FORMAT_PNG, image);
    pair.reference = [bytes, reference]() { PngDecode(*bytes, *reference); };
    pair.check = [image, reference, indexed]() {
        const std::string failure = ModuleFailure(*image);
        if (!failure.empty()) return failure;
        return indexed ? Compare(TopDownIndices(*image), *reference, "indices")
                       : Compare(TopDownRgb(*image), *reference, "pixels");
    };
    return pair;
}

Pair PngEncodeRow(const Picture& p)
{
    Pair pair;
    auto image = ModuleImage(p, PXIMAGE_FORMAT_PNG);
    auto moduleOut = std::make_shared<Bytes>();
    auto referenceOut = std::make_shared<Bytes>();
    pair.module = ModuleEncode(image, PXIMAGE_FORMAT_PNG, moduleOut);
    pair.reference = [&p, image, referenceOut]() { PngEncode(p, *image, *referenceOut); };
    pair.check = [moduleOut, referenceOut]() { return Compare(*moduleOut, *referenceOut, "PNG bytes"); };
    return pair;
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

// With the settings the module writes with, so that the bytes come out the same.
void JpegEncode(const Picture& p, const PxImage& settings, Bytes& out)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = (JDIMENSION)p.width;
    cinfo.image_height = (JDIMENSION)p.height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, (int)(settings.info.jpegQuality + 0.5f), FALSE);
    cinfo.density_unit = 1;
    cinfo.X_density = (UINT16)settings.info.xDpi;
    cinfo.Y_density = (UINT16)settings.info.yDpi;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = (JSAMPROW)p.pixels.data() + (size_t)cinfo.next_scanline * p.width * 3;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    out.assign(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    free(buffer);
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
    Pair pair;
    const Picture& p = Photo(scale);
    auto bytes = std::make_shared<Bytes>(WriteTiffRgb(p.pixels, p.width, p.height, compression, 16));
    if (bytes->empty()) pair.error = "libtiff could not write the input";
    auto image = std::make_shared<PxImage>();
    auto raster = std::make_shared<std::vector<uint32_t>>();
    pair.module = ModuleDecode(bytes, PXIMAGE_FORMAT_TIF, image);
    pair.reference = [bytes, raster]() { TiffDecode(*bytes, *raster); };
    pair.check = [image, raster, width = p.width, height = p.height]() {
        const std::string failure = ModuleFailure(*image);
        if (!failure.empty()) return failure;
        if (raster->empty()) return std::string("reference: TIFFReadRGBAImage failed");
        // The raster's rows run bottom-up like the module's.
        Bytes expected((size_t)width * height * 3);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint32_t v = (*raster)[(size_t)(height - 1 - y) * width + x];
                uint8_t* e = expected.data() + ((size_t)y * width + x) * 3;
                e[0] = (uint8_t)TIFFGetR(v);
                e[1] = (uint8_t)TIFFGetG(v);
                e[2] = (uint8_t)TIFFGetB(v);
            }
        return Compare(TopDownRgb(*image), expected, "pixels");
    };
    return pair;
}

// --- giflib ---

int GifRead(GifFileType* gif, GifByteType* out, int length)
{
    MemoryReader* r = (MemoryReader*)gif->UserData;
    const size_t n = std::min((size_t)length, r->size - r->position);
    memcpy(out, r->data + r->position, n);
    r->position += n;
    return (int)n;
}

int GifWrite(GifFileType* gif, const GifByteType* data, int length)
{
    Bytes* out = (Bytes*)gif->UserData;
    out->insert(out->end(), data, data + length);
    return length;
}

// DGifSlurp, keeping the first image's indices.
void GifDecode(const Bytes& file, Bytes& indices)
{
    indices.clear();
    MemoryReader reader{file.data(), file.size(), 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, GifRead, &error);
    if (!gif) return;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
        const SavedImage& image = gif->SavedImages[0];
        indices.assign(image.RasterBits, image.RasterBits + (size_t)image.ImageDesc.Width * image.ImageDesc.Height);
    }
    DGifCloseFile(gif, &error);
}

void GifEncode(const Picture& p, Bytes& out)
{
    out.clear();
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    if (!gif) return;
    ColorMapObject* map = GifMakeMapObject((int)p.palette.size() / 3, (const GifColorType*)p.palette.data());
    bool ok = EGifPutScreenDesc(gif, p.width, p.height, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, p.width, p.height, false, nullptr) == GIF_OK;
    for (int y = 0; y < p.height && ok; ++y)
        ok = EGifPutLine(gif, (GifPixelType*)p.pixels.data() + (size_t)y * p.width, p.width) == GIF_OK;
    GifFreeMapObject(map);
    EGifCloseFile(gif, &error);
    if (!ok) out.clear();
}

// --- the rows ---

Pair PngRgbDecode(const Scale& s)
{
    const Picture& p = Photo(s);
    return PngDecodeRow(p, WritePngRgb(p.pixels, p.width, p.height));
}

Pair PngPaletteDecode(const Scale& s)
{
    const Picture& p = Map(s);
    return PngDecodeRow(p, WritePngPalette(p.pixels, p.palette, p.width, p.height));
}

Pair JpegDecodeRow(const Scale& s)
{
    Pair pair;
    const Picture& p = Photo(s);
    auto bytes = std::make_shared<Bytes>(WriteJpeg(p.pixels, p.width, p.height, 90));
    auto image = std::make_shared<PxImage>();
    auto reference = std::make_shared<Bytes>();
    pair.module = ModuleDecode(bytes, PXIMAGE_FORMAT_JPG, image);
    pair.reference = [bytes, reference]() { JpegDecode(*bytes, *reference); };
    pair.check = [image, reference]() {
        const std::string failure = ModuleFailure(*image);
        return failure.empty() ? Compare(TopDownRgb(*image), *reference, "pixels") : failure;
    };
    return pair;
}

Pair JpegEncodeRow(const Scale& s)
{
    Pair pair;
    const Picture& p = Photo(s);
    auto image = ModuleImage(p, PXIMAGE_FORMAT_JPG);
    image->info.jpegQuality = 90;
    auto moduleOut = std::make_shared<Bytes>();
    auto referenceOut = std::make_shared<Bytes>();
    pair.module = ModuleEncode(image, PXIMAGE_FORMAT_JPG, moduleOut);
    pair.reference = [&p, image, referenceOut]() { JpegEncode(p, *image, *referenceOut); };
    pair.check = [moduleOut, referenceOut]() { return Compare(*moduleOut, *referenceOut, "JPEG bytes"); };
    return pair;
}

Pair GifDecodeRow(const Scale& s)
{
    Pair pair;
    const Picture& p = Map(s);
    auto bytes = std::make_shared<Bytes>(WriteGif(p.pixels, p.palette, p.width, p.height));
    if (bytes->empty()) pair.error = "giflib could not write the input";
    auto image = std::make_shared<PxImage>();
    auto reference = std::make_shared<Bytes>();
    pair.module = ModuleDecode(bytes, PXIMAGE_FORMAT_GIF, image);
    pair.reference = [bytes, reference]() { GifDecode(*bytes, *reference); };
    pair.check = [image, reference]() {
        const std::string failure = ModuleFailure(*image);
        return failure.empty() ? Compare(TopDownIndices(*image), *reference, "indices") : failure;
    };
    return pair;
}

Pair GifEncodeRow(const Scale& s)
{
    Pair pair;
    const Picture& p = Map(s);
    auto image = ModuleImage(p, PXIMAGE_FORMAT_GIF);
    auto moduleOut = std::make_shared<Bytes>();
    auto referenceOut = std::make_shared<Bytes>();
    pair.module = ModuleEncode(image, PXIMAGE_FORMAT_GIF, moduleOut);
    pair.reference = [&p, referenceOut]() { GifEncode(p, *referenceOut); };
    // The coders differ, so the files do too: giflib reads the module's back.
    pair.check = [&p, moduleOut]() {
        Bytes indices;
        GifDecode(*moduleOut, indices);
        return Compare(indices, p.pixels, "indices giflib read back");
    };
    return pair;
}

Pair BmpDecodeRow(const Scale& s)
{
    Pair pair;
    const Picture& p = Photo(s);
    auto bytes = std::make_shared<Bytes>(WriteBmp24(p.pixels, p.width, p.height));
    auto image = std::make_shared<PxImage>();
    auto reused = std::make_shared<Bytes>(bytes->size() - 54);
    pair.module = ModuleDecode(bytes, PXIMAGE_FORMAT_BMP, image);
    pair.reference = [bytes, reused]() { memcpy(reused->data(), bytes->data() + 54, reused->size()); };
    pair.check = [image, reused]() {
        const std::string failure = ModuleFailure(*image);
        if (!failure.empty()) return failure;
        const BYTE* bits = image->GetBits();
        return Compare(Bytes(bits, bits + image->header.sizeImage), *reused, "pixel bytes");
    };
    return pair;
}

VELK_BENCH_ROWS({
    {"image", "PNG decode, 4000×3000 RGB", "libpng, rows into a new buffer", 0, 9, PngRgbDecode},
    {"image", "PNG encode, 4000×3000 RGB", "libpng, same bytes out", 0, 5,
     [](const Scale& s) { return PngEncodeRow(Photo(s)); }},
    {"image", "PNG decode, 1024² palette", "libpng, rows into a new buffer", 0, 21, PngPaletteDecode},
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
    {"image", "BMP decode, 4000×3000 24-bit", "memcpy into a reused buffer", 1.5, 21, BmpDecodeRow},
});

}  // namespace
}  // namespace velkbench
