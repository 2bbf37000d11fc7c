#include "base/md5.h"

#include <cstring>

#include "base/basefile.h"

namespace {

const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t Rotate(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// The four round functions, in forms that need one operation fewer than
// their textbook ones and give the same bits.
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return y ^ (z & (x ^ y)); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

void PutLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = (uint8_t)(v >> (8 * i));
}

}  // namespace

void Md5Init(Md5Context* c)
{
    c->state[0] = 0x67452301;
    c->state[1] = 0xefcdab89;
    c->state[2] = 0x98badcfe;
    c->state[3] = 0x10325476;
    c->count[0] = c->count[1] = 0;
}

// The 64 steps written out, so that every shift and word index is a
// constant the compiler folds in.
#define MD5_STEP(f, a, b, c, d, k, i, shift) a = b + Rotate(a + f(b, c, d) + x[k] + kSine[i], shift)

void Md5Transform(uint32_t state[4], const uint8_t block[64])
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = (uint32_t)block[4 * i] | (uint32_t)block[4 * i + 1] << 8 | (uint32_t)block[4 * i + 2] << 16 |
               (uint32_t)block[4 * i + 3] << 24;
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

    MD5_STEP(F, a, b, c, d, 0, 0, 7);
    MD5_STEP(F, d, a, b, c, 1, 1, 12);
    MD5_STEP(F, c, d, a, b, 2, 2, 17);
    MD5_STEP(F, b, c, d, a, 3, 3, 22);
    MD5_STEP(F, a, b, c, d, 4, 4, 7);
    MD5_STEP(F, d, a, b, c, 5, 5, 12);
    MD5_STEP(F, c, d, a, b, 6, 6, 17);
    MD5_STEP(F, b, c, d, a, 7, 7, 22);
    MD5_STEP(F, a, b, c, d, 8, 8, 7);
    MD5_STEP(F, d, a, b, c, 9, 9, 12);
    MD5_STEP(F, c, d, a, b, 10, 10, 17);
    MD5_STEP(F, b, c, d, a, 11, 11, 22);
    MD5_STEP(F, a, b, c, d, 12, 12, 7);
    MD5_STEP(F, d, a, b, c, 13, 13, 12);
    MD5_STEP(F, c, d, a, b, 14, 14, 17);
    MD5_STEP(F, b, c, d, a, 15, 15, 22);

    MD5_STEP(G, a, b, c, d, 1, 16, 5);
    MD5_STEP(G, d, a, b, c, 6, 17, 9);
    MD5_STEP(G, c, d, a, b, 11, 18, 14);
    MD5_STEP(G, b, c, d, a, 0, 19, 20);
    MD5_STEP(G, a, b, c, d, 5, 20, 5);
    MD5_STEP(G, d, a, b, c, 10, 21, 9);
    MD5_STEP(G, c, d, a, b, 15, 22, 14);
    MD5_STEP(G, b, c, d, a, 4, 23, 20);
    MD5_STEP(G, a, b, c, d, 9, 24, 5);
    MD5_STEP(G, d, a, b, c, 14, 25, 9);
    MD5_STEP(G, c, d, a, b, 3, 26, 14);
    MD5_STEP(G, b, c, d, a, 8, 27, 20);
    MD5_STEP(G, a, b, c, d, 13, 28, 5);
    MD5_STEP(G, d, a, b, c, 2, 29, 9);
    MD5_STEP(G, c, d, a, b, 7, 30, 14);
    MD5_STEP(G, b, c, d, a, 12, 31, 20);

    MD5_STEP(H, a, b, c, d, 5, 32, 4);
    MD5_STEP(H, d, a, b, c, 8, 33, 11);
    MD5_STEP(H, c, d, a, b, 11, 34, 16);
    MD5_STEP(H, b, c, d, a, 14, 35, 23);
    MD5_STEP(H, a, b, c, d, 1, 36, 4);
    MD5_STEP(H, d, a, b, c, 4, 37, 11);
    MD5_STEP(H, c, d, a, b, 7, 38, 16);
    MD5_STEP(H, b, c, d, a, 10, 39, 23);
    MD5_STEP(H, a, b, c, d, 13, 40, 4);
    MD5_STEP(H, d, a, b, c, 0, 41, 11);
    MD5_STEP(H, c, d, a, b, 3, 42, 16);
    MD5_STEP(H, b, c, d, a, 6, 43, 23);
    MD5_STEP(H, a, b, c, d, 9, 44, 4);
    MD5_STEP(H, d, a, b, c, 12, 45, 11);
    MD5_STEP(H, c, d, a, b, 15, 46, 16);
    MD5_STEP(H, b, c, d, a, 2, 47, 23);

    MD5_STEP(I, a, b, c, d, 0, 48, 6);
    MD5_STEP(I, d, a, b, c, 7, 49, 10);
    MD5_STEP(I, c, d, a, b, 14, 50, 15);
    MD5_STEP(I, b, c, d, a, 5, 51, 21);
    MD5_STEP(I, a, b, c, d, 12, 52, 6);
    MD5_STEP(I, d, a, b, c, 3, 53, 10);
    MD5_STEP(I, c, d, a, b, 10, 54, 15);
    MD5_STEP(I, b, c, d, a, 1, 55, 21);
    MD5_STEP(I, a, b, c, d, 8, 56, 6);
    MD5_STEP(I, d, a, b, c, 15, 57, 10);
    MD5_STEP(I, c, d, a, b, 6, 58, 15);
    MD5_STEP(I, b, c, d, a, 13, 59, 21);
    MD5_STEP(I, a, b, c, d, 4, 60, 6);
    MD5_STEP(I, d, a, b, c, 11, 61, 10);
    MD5_STEP(I, c, d, a, b, 2, 62, 15);
    MD5_STEP(I, b, c, d, a, 9, 63, 21);

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

#undef MD5_STEP

void Md5Update(Md5Context* c, const void* input, uint32_t length)
{
    if (length == 0) return;
    const uint8_t* in = static_cast<const uint8_t*>(input);
    uint32_t index = (c->count[0] >> 3) & 63;
    uint32_t low = c->count[0] + (length << 3);
    if (low < c->count[0]) ++c->count[1];
    c->count[0] = low;
    c->count[1] += length >> 29;
    if (index != 0) {
        uint32_t room = 64 - index;
        if (length < room) {
            memcpy(c->buffer + index, in, length);
            return;
        }
        memcpy(c->buffer + index, in, room);
        Md5Transform(c->state, c->buffer);
        in += room;
        length -= room;
    }
    // Whole blocks straight from the input.
    for (; length >= 64; in += 64, length -= 64) Md5Transform(c->state, in);
    if (length) memcpy(c->buffer, in, length);
}

void Md5Final(Md5Digest* digest, Md5Context* c)
{
    uint32_t index = (c->count[0] >> 3) & 63;
    c->buffer[index] = 0x80;
    if (63 - index >= 8) {
        memset(c->buffer + index + 1, 0, 55 - index);
    } else {
        memset(c->buffer + index + 1, 0, 63 - index);
        Md5Transform(c->state, c->buffer);
        memset(c->buffer, 0, 56);
    }
    PutLe32(c->buffer + 56, c->count[0]);
    PutLe32(c->buffer + 60, c->count[1]);
    Md5Transform(c->state, c->buffer);
    for (int i = 0; i < 4; ++i) PutLe32(digest->bytes + 4 * i, c->state[i]);
}

void Md5Buffer(Md5Digest* digest, const void* input, uint32_t length)
{
    Md5Context c;
    Md5Init(&c);
    Md5Update(&c, input, length);
    Md5Final(digest, &c);
}

int32_t Md5Stream(FILE* file, Md5Digest* digest)
{
    int32_t result = 1;
    Md5Context c;
    Md5Init(&c);
    // Chunks of several stdio buffers, so that fread hands them over whole.
    uint8_t chunk[32768];
    while (!feof(file)) {
        size_t n = fread(chunk, 1, sizeof chunk, file);
        if (ferror(file)) {
            result = 0;
            break;
        }
        if (n > 0) Md5Update(&c, chunk, (uint32_t)n);
    }
    Md5Final(digest, &c);
    return result;
}

int32_t Md5File(const char* path, Md5Digest* digest)
{
    FILE* f = FopenUtf8(path, "rb");
    if (!f) return 0;
    int32_t result = Md5Stream(f, digest);
    fclose(f);
    return result;
}

uint64_t Md5Key63(const Md5Digest& digest)
{
    uint64_t key = 0;
    for (int i = 7; i >= 0; --i) key = key << 8 | digest.bytes[i];
    return key & ~(1ull << 63);
}
