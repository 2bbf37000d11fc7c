#include "base/blockcipher.h"

#include <cstring>

#include "base/md5.h"

// The whitening byte XORed into every plain byte.
static const uint8_t kWhitening = 0xA5;
static const int kRounds = 4;

void CfbExpandKey(const uint8_t key[16], uint16_t subkeys[28])
{
    uint64_t hi = 0, lo = 0;
    for (int i = 0; i < 8; ++i) {
        hi = hi << 8 | key[i];
        lo = lo << 8 | key[i + 8];
    }
    for (int n = 0; n < 28;) {
        for (int w = 0; w < 8 && n < 28; ++w, ++n)
            subkeys[n] = (uint16_t)((w < 4 ? hi >> (48 - 16 * w) : lo >> (48 - 16 * (w - 4))) & 0xFFFF);
        const uint64_t newHi = hi << 25 | lo >> 39;
        lo = lo << 25 | hi >> 39;
        hi = newHi;
    }
}

// Multiplication modulo 65537, the word 0 standing for 65536.
static uint16_t Mul(uint16_t a, uint16_t b)
{
    if (a == 0) return (uint16_t)(1 - b);
    if (b == 0) return (uint16_t)(1 - a);
    const uint32_t p = (uint32_t)a * b;
    const uint16_t low = (uint16_t)p, high = (uint16_t)(p >> 16);
    return (uint16_t)(low - high + (low < high ? 1 : 0));
}

static uint16_t Word(const uint8_t* p)
{
    return (uint16_t)(p[0] << 8 | p[1]);
}

static void PutWord(uint8_t* p, uint16_t w)
{
    p[0] = (uint8_t)(w >> 8);
    p[1] = (uint8_t)w;
}

void CfbEncryptBlock(const uint8_t in[8], uint8_t out[8], const uint16_t subkeys[28])
{
    uint16_t x1 = Word(in), x2 = Word(in + 2), x3 = Word(in + 4), x4 = Word(in + 6);
    const uint16_t* z = subkeys;
    for (int round = 0; round < kRounds; ++round, z += 6) {
        x1 = Mul(x1, z[0]);
        x2 = (uint16_t)(x2 + z[1]);
        x3 = (uint16_t)(x3 + z[2]);
        x4 = Mul(x4, z[3]);
        uint16_t t = Mul(x1 ^ x3, z[4]);
        const uint16_t u = Mul((uint16_t)((x2 ^ x4) + t), z[5]);
        t = (uint16_t)(t + u);
        x1 ^= u;
        x4 ^= t;
        const uint16_t newX2 = x3 ^ u;
        x3 = x2 ^ t;
        x2 = newX2;
    }
    PutWord(out, Mul(x1, z[0]));
    PutWord(out + 2, (uint16_t)(x3 + z[1]));
    PutWord(out + 4, (uint16_t)(x2 + z[2]));
    PutWord(out + 6, Mul(x4, z[3]));
}

void CfbInit(CfbCipherContext* context, const uint8_t key[16])
{
    CfbExpandKey(key, context->subkeys);
    CfbSetIv(context, nullptr);
}

void CfbSetIv(CfbCipherContext* context, const uint8_t* iv)
{
    if (iv)
        memcpy(context->feedback, iv, 8);
    else
        memset(context->feedback, 0, 8);
    context->left = 0;
}

void CfbSync(CfbCipherContext* context)
{
    const int left = context->left;
    if (left <= 0) return;
    // The bytes already used are ciphertext: move them to the end and fill
    // the front with the tail of the block before.
    memmove(context->feedback + left, context->feedback, 8 - left);
    memcpy(context->feedback, context->previous + 8 - left, left);
    context->left = 0;
}

void CfbWipe(CfbCipherContext* context)
{
    memset(context, 0, sizeof *context);
}

// Runs the feedback over the bytes; the register keeps the ciphertext.
static void CfbRun(CfbCipherContext* context, const uint8_t* input, uint8_t* output, uint32_t length,
                   bool encrypt)
{
    auto step = [&](uint8_t* reg) {
        const uint8_t in = *input++;
        *output++ = (uint8_t)(*reg ^ in);
        *reg = encrypt ? (uint8_t)(*reg ^ in) : in;
    };
    for (; context->left > 0 && length > 0; --context->left, --length)
        step(&context->feedback[8 - context->left]);
    while (length > 0) {
        memcpy(context->previous, context->feedback, 8);
        CfbEncryptBlock(context->feedback, context->feedback, context->subkeys);
        const uint32_t n = length < 8 ? length : 8;
        for (uint32_t i = 0; i < n; ++i) step(&context->feedback[i]);
        context->left = (int32_t)(8 - n);
        length -= n;
    }
}

void CfbEncrypt(CfbCipherContext* context, const uint8_t* input, uint8_t* output, uint32_t length)
{
    CfbRun(context, input, output, length, true);
}

void CfbDecrypt(CfbCipherContext* context, const uint8_t* input, uint8_t* output, uint32_t length)
{
    CfbRun(context, input, output, length, false);
}

void CfbCipherBuffer(const uint8_t key[16], const uint8_t* input, uint8_t* output, uint32_t length,
                     bool encrypt)
{
    CfbCipherContext context;
    CfbInit(&context, key);
    CfbSync(&context);
    if (encrypt) {
        for (uint32_t i = 0; i < length; ++i) output[i] = input[i] ^ kWhitening;
        CfbEncrypt(&context, output, output, length);
    } else {
        CfbDecrypt(&context, input, output, length);
        for (uint32_t i = 0; i < length; ++i) output[i] ^= kWhitening;
    }
    CfbWipe(&context);
}

int32_t CfbCipherWithTag(const uint8_t key[16], const uint8_t* input, uint8_t* output, uint32_t length,
                         bool encrypt)
{
    Md5Digest digest;
    if (encrypt) {
        Md5Buffer(&digest, input, length);
        CfbCipherBuffer(key, input, output, length, true);
        memcpy(output + length, digest.bytes, 16);
        return 1;
    }
    if (length < 16) return 0;
    const uint32_t n = length - 16;
    CfbCipherBuffer(key, input, output, n, false);
    Md5Buffer(&digest, output, n);
    return memcmp(digest.bytes, input + n, 16) == 0 ? 1 : 0;
}
