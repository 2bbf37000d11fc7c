#include "bench_inputs.h"

#include <cstdio>  // before jpeglib.h, which uses FILE

#include <jpeglib.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace velkbench {

namespace {

struct Noise {
    uint32_t state = 12345;
    int Next(int range)
    {
        state = state * 1664525u + 1013904223u;
        return (int)((state >> 16) % (uint32_t)range);
    }
};

uint8_t Clamp(int v) { return (uint8_t)(v < 0 ? 0 : v > 255 ? 255 : v); }

void PngFlush(png_structp) {}

}  // namespace

Bytes PhotoRgb(int width, int height)
{
    std::vector<float> sx(width), sy(height), tx(width), ty(height);
    for (int x = 0; x < width; ++x) {
        sx[x] = std::sin(x * 0.0043f);
        tx[x] = std::sin(x * 0.0117f + 1.3f);
    }
    for (int y = 0; y < height; ++y) {
        sy[y] = std::sin(y * 0.0031f + 0.7f);
        ty[y] = std::sin(y * 0.0093f + 2.1f);
    }
    Bytes rgb((size_t)width * height * 3);
    Noise noise;
    for (int y = 0; y < height; ++y) {
        uint8_t* p = rgb.data() + (size_t)y * width * 3;
        for (int x = 0; x < width; ++x, p += 3) {
            int r = 128 + (int)(70 * sx[x] + 40 * ty[y]);
            int g = 120 + (int)(50 * sy[y] + 45 * tx[x]);
            int b = 110 + (int)(60 * sx[x] * sy[y] + 30 * tx[x]);
            // Flat blocks with hard edges, as buildings and fields give.
            const int cell = (x / 97) * 7 + (y / 61) * 13;
            if (cell % 3 == 0) {
                r = (cell * 37) & 255;
                g = (cell * 91) & 255;
                b = (cell * 53) & 255;
            }
            const int n = noise.Next(17) - 8;
            p[0] = Clamp(r + n);
            p[1] = Clamp(g + n);
            p[2] = Clamp(b - n);
        }
    }
    return rgb;
}

Bytes MapIndices(int width, int height, int colors)
{
    Bytes indices((size_t)width * height);
    Noise noise;
    for (int y = 0; y < height; ++y) {
        uint8_t* p = indices.data() + (size_t)y * width;
        for (int x = 0; x < width; ++x) {
            int v = ((x / 50) * 5 + (y / 40) * 11) % colors;
            if (y % 37 == 0 || x % 53 == 0) v = colors - 1;                            // roads and grid lines
            else if ((x / 50 + y / 40) % 4 == 0) v = (x * colors / width + noise.Next(3)) % colors;  // shading
            p[x] = (uint8_t)v;
        }
    }
    return indices;
}

Bytes MapPalette(int colors)
{
    Bytes palette((size_t)colors * 3);
    for (int i = 0; i < colors; ++i) {
        palette[3 * i] = (uint8_t)(i * 67);
        palette[3 * i + 1] = (uint8_t)(255 - i * 29);
        palette[3 * i + 2] = (uint8_t)(i * 13 + 40);
    }
    return palette;
}

Bytes WritePng(const Bytes& pixels, const Bytes& palette, int width, int height, const PxImage* settings)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, PngWriteBytes, PngFlush);
    const bool indexed = !palette.empty();
    png_set_IHDR(png, info, width, height, 8, indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (settings) {
        png_color_16 background{};
        background.red = background.green = background.blue = 255;
        png_set_bKGD(png, info, &background);
        png_set_pHYs(png, info, (png_uint_32)settings->header.xPelsPerMeter,
                     (png_uint_32)settings->header.yPelsPerMeter, PNG_RESOLUTION_METER);
    }
    png_color plte[256];
    if (indexed) {
        const int colors = (int)std::min<size_t>(palette.size() / 3, 256);
        for (int i = 0; i < colors; ++i) plte[i] = png_color{palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]};
        png_set_PLTE(png, info, plte, colors);
    }
    png_write_info(png, info);
    const size_t rowBytes = (size_t)width * (indexed ? 1 : 3);
    for (int y = 0; y < height; ++y) png_write_row(png, (png_bytep)pixels.data() + (size_t)y * rowBytes);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes WriteJpeg(const Bytes& rgb, int width, int height, int quality, int dpi)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = (JDIMENSION)width;
    cinfo.image_height = (JDIMENSION)height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, FALSE);
    cinfo.density_unit = 1;
    cinfo.X_density = cinfo.Y_density = (UINT16)dpi;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = (JSAMPROW)rgb.data() + (size_t)cinfo.next_scanline * width * 3;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    free(buffer);
    return out;
}

Bytes WriteTiffRgb(const Bytes& rgb, int width, int height, int compression, int rowsPerStrip)
{
    char path[] = "/tmp/velkbench-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    Bytes out;
    if (TIFF* tif = TIFFOpen(path, "w")) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, (uint32_t)width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, (uint32_t)height);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, (uint32_t)rowsPerStrip);
        bool ok = true;
        for (int y = 0; y < height && ok; ++y)
            ok = TIFFWriteScanline(tif, (void*)(rgb.data() + (size_t)y * width * 3), (uint32_t)y, 0) == 1;
        TIFFClose(tif);
        if (ok) {
            if (FILE* f = fopen(path, "rb")) {
                fseek(f, 0, SEEK_END);
                out.resize((size_t)ftell(f));
                fseek(f, 0, SEEK_SET);
                if (fread(out.data(), 1, out.size(), f) != out.size()) out.clear();
                fclose(f);
            }
        }
    }
    unlink(path);
    return out;
}

Bytes WriteGif(const Bytes& indices, const Bytes& palette, int width, int height)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWriteBytes, &error);
    if (!gif) return {};
    const int colors = (int)palette.size() / 3;
    ColorMapObject* map = GifMakeMapObject(colors, (const GifColorType*)palette.data());
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    for (int y = 0; y < height && ok; ++y)
        ok = EGifPutLine(gif, (GifPixelType*)indices.data() + (size_t)y * width, width) == GIF_OK;
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK || !ok) return {};
    return out;
}

Bytes WriteBmp24(const Bytes& rgb, int width, int height)
{
    const size_t stride = ((size_t)width * 3 + 3) & ~(size_t)3;
    Bytes out(54 + stride * height, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = (uint8_t)(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, (uint32_t)out.size());
    put32(10, 54);
    put32(14, 40);
    put32(18, (uint32_t)width);
    put32(22, (uint32_t)height);
    out[26] = 1;
    out[28] = 24;
    put32(34, (uint32_t)(stride * height));
    put32(38, 3780);
    put32(42, 3780);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = rgb.data() + (size_t)(height - 1 - y) * width * 3;
        uint8_t* row = out.data() + 54 + (size_t)y * stride;
        for (int x = 0; x < width; ++x) {
            row[3 * x] = in[3 * x + 2];
            row[3 * x + 1] = in[3 * x + 1];
            row[3 * x + 2] = in[3 * x];
        }
    }
    return out;
}

void PngReadMemory(png_structp png, png_bytep out, size_t length)
{
    MemoryReader* r = (MemoryReader*)png_get_io_ptr(png);
    if (length > r->size - r->position) png_error(png, "read past the end");
    memcpy(out, r->data + r->position, length);
    r->position += length;
}

void PngWriteBytes(png_structp png, png_bytep data, size_t length)
{
    Bytes* out = (Bytes*)png_get_io_ptr(png);
    out->insert(out->end(), data, data + length);
}

int GifReadMemory(GifFileType* gif, GifByteType* out, int length)
{
    MemoryReader* r = (MemoryReader*)gif->UserData;
    const size_t n = std::min((size_t)length, r->size - r->position);
    memcpy(out, r->data + r->position, n);
    r->position += n;
    return (int)n;
}

int GifWriteBytes(GifFileType* gif, const GifByteType* data, int length)
{
    Bytes* out = (Bytes*)gif->UserData;
    out->insert(out->end(), data, data + length);
    return length;
}

Bytes TopDownRgb(const PxImage& image)
{
    const int width = (int)image.GetWidth(), height = (int)image.GetHeight();
    Bytes out((size_t)width * height * 3);
    for (int y = 0; y < height; ++y) {
        const BYTE* row = image.GetBits() + (size_t)(height - 1 - y) * image.GetEffWidth();
        uint8_t* o = out.data() + (size_t)y * width * 3;
        for (int x = 0; x < width; ++x) {
            o[3 * x] = row[3 * x + 2];
            o[3 * x + 1] = row[3 * x + 1];
            o[3 * x + 2] = row[3 * x];
        }
    }
    return out;
}

Bytes TopDownIndices(const PxImage& image)
{
    const int width = (int)image.GetWidth(), height = (int)image.GetHeight();
    Bytes out((size_t)width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out[(size_t)y * width + x] = image.GetPixelIndex(x, height - 1 - y);
    return out;
}

std::string Compare(const Bytes& module, const Bytes& reference, const char* what)
{
    if (module.size() != reference.size())
        return std::string(what) + ": " + std::to_string(module.size()) + " bytes against " +
               std::to_string(reference.size());
    for (size_t i = 0; i < module.size(); ++i)
        if (module[i] != reference[i])
            return std::string(what) + ": first difference at byte " + std::to_string(i) + " (" +
                   std::to_string(module[i]) + " against " + std::to_string(reference[i]) + ")";
    return {};
}

}  // namespace velkbench
