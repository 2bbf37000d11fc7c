#include "codec_test_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace imagetest {

Rgba RawFixture(const std::string& name, int width, int height)
{
    Rgba result;
    std::string raw = Fixture(name + ".rgba");
    if (raw.size() != 4u * width * height) return result;
    result.width = width;
    result.height = height;
    result.pixels.assign(raw.begin(), raw.end());
    return result;
}

Rgba Opaque(Rgba picture)
{
    for (size_t i = 3; i < picture.pixels.size(); i += 4) picture.pixels[i] = 255;
    return picture;
}

bool DecodeAs(const std::string& bytes, DWORD type, PxImage& image)
{
    PxMemFile file((BYTE*)bytes.data(), (DWORD)bytes.size());
    return image.Decode(&file, type);
}

std::string EncodeAs(PxImage& image, DWORD type)
{
    PxMemFile out((BYTE*)malloc(1), 0);
    out.ownsBuffer = true;
    if (!image.Encode(&out, type)) return std::string();
    return std::string((const char*)out.buffer, (size_t)out.size);
}

RefusingStream::RefusingStream(size_t limit) : PxMemFile((BYTE*)malloc(1), 0), limit_(limit) { ownsBuffer = true; }

size_t RefusingStream::Write(const void* data, size_t size, size_t count)
{
    if (size == 0 || (size_t)position + size * count > limit_) {
        size_t whole = size ? (limit_ > (size_t)position ? (limit_ - position) / size : 0) : 0;
        if (whole) PxMemFile::Write(data, size, whole);
        return whole;
    }
    return PxMemFile::Write(data, size, count);
}

bool RefusingStream::PutC(unsigned char c) { return Write(&c, 1, 1) == 1; }

bool RefusingStream::Flush() { return (size_t)position <= limit_ && PxMemFile::Flush(); }

void DecodeDamaged(const std::string& bytes, DWORD type, size_t flipStep)
{
    for (size_t n = 0; n < bytes.size(); ++n) {
        PxImage image;
        if (DecodeAs(bytes.substr(0, n), type, image)) {
            EXPECT_TRUE(image.dib || image.info.escape == -1) << "cut at " << n;
        }
    }
    for (size_t i = 0; i < bytes.size(); i += flipStep) {
        for (char mask : {'\x5A', '\xFF'}) {
            std::string flipped = bytes;
            flipped[i] = (char)(flipped[i] ^ mask);
            PxImage image;
            if (DecodeAs(flipped, type, image)) {
                EXPECT_NE(image.dib, nullptr) << "byte " << i;
            }
        }
    }
}

namespace {

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM").
int64_t StatusBytes(const char* field)
{
    FILE* status = fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    long long kb = 0;
    const size_t n = strlen(field);
    while (fgets(line, sizeof line, status))
        if (strncmp(line, field, n) == 0 && line[n] == ':') {
            sscanf(line + n + 1, "%lld", &kb);
            break;
        }
    fclose(status);
    return (int64_t)kb * 1024;
}

}  // namespace

ResidentPeak::ResidentPeak()
{
    // Writing 5 resets the high-water mark to the present resident size.
    FILE* clear = fopen("/proc/self/clear_refs", "w");
    reset_ = clear && fputs("5", clear) >= 0;
    if (clear) reset_ = fclose(clear) == 0 && reset_;
    start_ = StatusBytes("VmRSS");
}

int64_t ResidentPeak::Growth() const { return StatusBytes(reset_ ? "VmHWM" : "VmRSS") - start_; }

// The address sanitizer's allocation hooks, absent from other builds.
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                              void (*onFree)(const volatile void*)) __attribute__((weak));
size_t __sanitizer_get_allocated_size(const volatile void* p) __attribute__((weak));
}

namespace {

// Hooks once installed stay for the process: they count only while a
// HeapPeak is alive.
std::atomic<bool> g_counting{false};
std::atomic<int64_t> g_heapNow{0}, g_heapPeak{0};

void OnMalloc(const volatile void*, size_t size)
{
    if (!g_counting.load(std::memory_order_relaxed)) return;
    const int64_t now = g_heapNow.fetch_add((int64_t)size) + (int64_t)size;
    int64_t peak = g_heapPeak.load();
    while (now > peak && !g_heapPeak.compare_exchange_weak(peak, now)) {
    }
}

void OnFree(const volatile void* p)
{
    // The block is still allocated while the hook runs.
    if (g_counting.load(std::memory_order_relaxed) && p) g_heapNow -= (int64_t)__sanitizer_get_allocated_size(p);
}

bool InstallHooks()
{
    static const bool installed = __sanitizer_install_malloc_and_free_hooks && __sanitizer_get_allocated_size &&
                                  __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    return installed;
}

}  // namespace

HeapPeak::HeapPeak() : counted_(InstallHooks())
{
    g_heapNow = 0;
    g_heapPeak = 0;
    g_counting = counted_;
}

HeapPeak::~HeapPeak() { g_counting = false; }

int64_t HeapPeak::Growth() const { return g_heapPeak.load(); }

int MaxChannelDifference(const Rgba& a, const Rgba& b)
{
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size()) return -1;
    int worst = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        if (i % 4 == 3) continue;
        worst = std::max(worst, std::abs((int)a.pixels[i] - (int)b.pixels[i]));
    }
    return worst;
}

}  // namespace imagetest
