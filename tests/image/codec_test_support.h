// Helpers of the codec tests: expected pixels kept beside the fixtures,
// encoding and decoding through memory streams, a stream that refuses to
// write, and the damaged-input harness.
#pragma once

#include <cstdint>
#include <string>

#include "image/pximage.h"
#include "image_test_support.h"

namespace imagetest {

// NAME.rgba: 8-bit RGBA, rows top first, of a width × height picture.
Rgba RawFixture(const std::string& name, int width, int height);
// Fully opaque copy of a picture (for formats that keep no alpha).
Rgba Opaque(Rgba picture);

bool DecodeAs(const std::string& bytes, DWORD type, PxImage& image);
std::string EncodeAs(PxImage& image, DWORD type);

// A memory stream that accepts `limit` bytes and refuses the rest.
class RefusingStream : public PxMemFile {
public:
    explicit RefusingStream(size_t limit);
    size_t Write(const void* data, size_t size, size_t count) override;
    bool PutC(unsigned char c) override;
    bool Flush() override;

private:
    size_t limit_;
};

// Decodes every prefix of `bytes` and copies with single bytes changed; the
// sanitizers watch each attempt. A success must leave a picture.
void DecodeDamaged(const std::string& bytes, DWORD type, size_t flipStep = 1);

// Growth of the memory the process holds resident, at its highest since
// this was made. A decode whose header asks for a large picture may reserve
// it, but must not touch more of it than its data fills, even for a moment.
class ResidentPeak {
public:
    ResidentPeak();
    int64_t Growth() const;

private:
    int64_t start_;
    bool reset_;
};
// Growth allowed to a decode whose header claims buffers of `claimed`
// bytes: the sanitizers' bookkeeping touches an eighth of every block for a
// moment, the few pixels of data hardly anything.
inline int64_t SmallGrowth(int64_t claimed) { return claimed / 4 + (32 << 20); }

// Growth of the heap bytes allocated, at their highest since this was made,
// whether touched or not: every buffer of a decode counts, the codec
// libraries' own included. Counted through the address sanitizer's
// allocation hooks; without them (a build with no sanitizer) nothing is
// counted and `Counted` is false. One at a time.
class HeapPeak {
public:
    HeapPeak();
    ~HeapPeak();
    bool Counted() const { return counted_; }
    int64_t Growth() const;

private:
    bool counted_;
};
// Heap a decode may take: the image memory limit, and a little for the
// libraries' working state.
constexpr int64_t kDecodeHeapLimit = PXIMAGE_MAX_MEMORY + (16 << 20);

// Largest difference of any colour channel between two pictures of one size
// (-1 when the sizes differ).
int MaxChannelDifference(const Rgba& a, const Rgba& b);

}  // namespace imagetest
