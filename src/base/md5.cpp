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

const int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

uint32_t Rotate(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

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

void Md5Transform(uint32_t state[4], const uint8_t block[64])
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = (uint32_t)block[4 * i] | (uint32_t)block[4 * i + 1] << 8 | (uint32_t)block[4 * i + 2] << 16 |
               (uint32_t)block[4 * i + 3] << 24;
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        int round = i / 16;
        uint32_t f;
        int k;
        switch (round) {
        case 0: f = (b & c) | (~b & d); k = i; break;
        case 1: f = (d & b) | (~d & c); k = (5 * i + 1) % 16; break;
        case 2: f = b ^ c ^ d; k = (3 * i + 5) % 16; break;
        default: f = c ^ (b | ~d); k = (7 * i) % 16; break;
        }
        uint32_t next = b + Rotate(a + f + kSine[i] + x[k], kShift[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

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
    for (; length >= 64; in += 64, length -= 64) {
        memcpy(c->buffer, in, 64);
        Md5Transform(c->state, c->buffer);
    }
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
    uint8_t chunk[1024];
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
