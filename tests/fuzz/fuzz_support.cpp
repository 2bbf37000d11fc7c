#include "fuzz_support.h"

#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <tiffio.h>

#include "image/pximage.h"
#include "standin_control.h"

namespace {

// libtiff's default handlers print every complaint about a damaged file:
// millions of lines, and time, while fuzzing.
struct QuietTiff {
    QuietTiff()
    {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    }
} quietTiff;

}  // namespace

namespace velkfuzz {

void Fail(const char* condition, const char* file, int line)
{
    fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    abort();
}

uint8_t Input::Byte()
{
    if (!size_) return 0;
    --size_;
    return *data_++;
}

uint32_t Input::U32()
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= (uint32_t)Byte() << (8 * i);
    return v;
}

std::string Input::Text()
{
    const void* end = size_ ? memchr(data_, 0, size_) : nullptr;
    const size_t n = end ? (size_t)((const uint8_t*)end - data_) : size_;
    std::string text((const char*)data_, n);
    const size_t taken = end ? n + 1 : n;
    data_ += taken;
    size_ -= taken;
    return text;
}

Input::Bytes Input::Rest()
{
    Bytes rest{size_ ? data_ : nullptr, size_};
    data_ += size_;
    size_ = 0;
    return rest;
}

namespace {

// Reads what a caller of a decoded image reads: corners and middle, the
// alpha plane, and each frame kept.
void Walk(const PxImage& image, int depth)
{
    FUZZ_CHECK(image.dib != nullptr && image.info.bits != nullptr);
    const LONG w = (LONG)image.GetWidth(), h = (LONG)image.GetHeight();
    FUZZ_CHECK(w > 0 && h > 0);
    FUZZ_CHECK(image.info.effWidth >= ((uint64_t)image.GetBpp() * (uint64_t)w + 7) / 8);
    volatile unsigned sum = 0;
    const LONG xs[] = {0, w / 2, w - 1}, ys[] = {0, h / 2, h - 1};
    for (LONG y : ys)
        for (LONG x : xs) {
            const PxRgbQuad c = image.GetPixelColor(x, y);
            sum += c.red + c.green + c.blue + c.reserved;
            if (image.alpha) sum += image.alpha[(size_t)y * (size_t)w + (size_t)x];
        }
    if (image.frames && depth == 0)
        for (int32_t i = 0; i < image.info.frameCount; ++i)
            if (image.frames[i]) Walk(*image.frames[i], 1);
    (void)sum;
}

// Writes a small decoded picture out again, as the module writes the images
// it reads; the result does not matter, the encoder's handling of what any
// file can decode to does.
void Reencode(PxImage& image, DWORD type)
{
    if ((uint64_t)image.GetWidth() * image.GetHeight() > 65536) return;
    auto encode = [&image](DWORD to) {
        PxMemFile out((BYTE*)malloc(1), 0);
        out.ownsBuffer = true;
        image.Encode(&out, to);
    };
    encode(PXIMAGE_FORMAT_PNG);
    if (type != PXIMAGE_FORMAT_PNG) encode(type);
}

}  // namespace

int DecodeImage(const uint8_t* data, size_t size, DWORD type)
{
    Input in(data, size);
    const uint8_t flags = in.Byte();
    const Input::Bytes file = in.Rest();
    PxImage image;
    if (flags & 0x01) image.info.escape = -1;
    image.info.getAllFrames = (flags & 0x02) != 0;
    image.info.frame = (flags >> 2) & 3;
    image.info.jpegScale = (BYTE)(1 << ((flags >> 4) & 3));
    if (flags & 0x40) {
        // Grey output, or colours quantised to a count taken from the scale bits.
        image.info.codecOptions[3] = (flags & 0x20) ? 0x80 : 0x100 | 0x200 | ((flags & 0x10) ? 0x400 : 0);
        image.info.jpegQuality = (float)(1 + 60 * ((flags >> 4) & 3));
    }
    if (flags & 0x80) image.info.littleEndianHost = false;
    PxMemFile stream(file.writable(), (DWORD)file.size);
    if (!image.Decode(&stream, type)) return 0;
    if (image.info.escape == -1) return 0;
    Walk(image, 0);
    Reencode(image, image.GetType());
    return 0;
}

const std::string& UseMachine()
{
    static std::string root;
    if (root.empty()) {
        std::error_code ec;
        const std::filesystem::path shm("/dev/shm");
        std::string tmpl =
            ((std::filesystem::is_directory(shm, ec) ? shm : std::filesystem::temp_directory_path()) / "velk-fuzz-XXXXXX")
                .string();
        if (!mkdtemp(tmpl.data())) abort();
        root = tmpl;
        atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(root, ignored);
        });
        standin::ResetMachine(root);
    }
    return root;
}

std::wstring WriteMachineFile(const std::string& name, const void* data, size_t size)
{
    std::ofstream file(UseMachine() + "/C/" + name, std::ios::binary | std::ios::trunc);
    file.write((const char*)data, (std::streamsize)size);
    return L"C:\\" + std::wstring(name.begin(), name.end());
}

}  // namespace velkfuzz
