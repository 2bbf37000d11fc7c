#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/blockcipher.h"
#include "base/md5.h"

static const uint8_t kKey[16] = {0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8};

static std::vector<uint8_t> Head(const std::vector<uint8_t>& v, size_t n)
{
    return std::vector<uint8_t>(v.begin(), v.begin() + n);
}

static std::vector<uint8_t> Pattern(size_t n)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = (uint8_t)(i * 37 + 11);
    return v;
}

TEST(BlockCipher, KeyScheduleAndBlock)
{
    uint16_t sub[28];
    CfbExpandKey(kKey, sub);
    const uint16_t want[28] = {1,      2,      3,      4,      5,      6,      7,      8,
                               0x400,  0x600,  0x800,  0xa00,  0xc00,  0xe00,  0x1000, 0x200,
                               0x10,   0x14,   0x18,   0x1c,   0x20,   0x4,    0x8,    0xc,
                               0x2800, 0x3000, 0x3800, 0x4000};
    for (int i = 0; i < 28; ++i) EXPECT_EQ(sub[i], want[i]) << i;

    // With all-zero subkeys a zero block exercises the 0-means-65536 rule:
    // every product with 0 is 1 - the other operand.
    const uint16_t zeros[28] = {};
    const uint8_t in[8] = {};
    uint8_t out[8];
    CfbEncryptBlock(in, out, zeros);
    uint8_t again[8];
    CfbEncryptBlock(in, again, zeros);
    EXPECT_EQ(memcmp(out, again, 8), 0);
    // a different key gives a different block
    uint8_t other[8];
    CfbEncryptBlock(in, other, sub);
    EXPECT_NE(memcmp(out, other, 8), 0);
}

TEST(BlockCipher, RoundTripsPiecesSyncAndTag)
{
    for (size_t n : {0, 1, 7, 8, 9, 16, 17, 100, 1001}) {
        const std::vector<uint8_t> plain = Pattern(n);
        std::vector<uint8_t> enc(n + 16), dec(n + 16);
        CfbCipherBuffer(kKey, plain.data(), enc.data(), (uint32_t)n, true);
        if (n > 8) {
            EXPECT_NE(Head(enc, n), plain);
        }
        CfbCipherBuffer(kKey, enc.data(), dec.data(), (uint32_t)n, false);
        EXPECT_EQ(Head(dec, n), plain) << n;

        // in place
        std::vector<uint8_t> inPlace = plain;
        CfbCipherBuffer(kKey, inPlace.data(), inPlace.data(), (uint32_t)n, true);
        EXPECT_EQ(inPlace, Head(enc, n));

        // tagged: back with 1; one changed byte anywhere gives 0
        CfbCipherWithTag(kKey, plain.data(), enc.data(), (uint32_t)n, true);
        EXPECT_EQ(CfbCipherWithTag(kKey, enc.data(), dec.data(), (uint32_t)n + 16, false), 1);
        EXPECT_EQ(Head(dec, n), plain);
        for (size_t at : {(size_t)0, n / 2, n + 15}) {
            std::vector<uint8_t> bad = enc;
            bad[at] ^= 0x40;
            EXPECT_EQ(CfbCipherWithTag(kKey, bad.data(), dec.data(), (uint32_t)n + 16, false), 0) << n;
        }
    }
    // an empty input stores the digest of nothing
    uint8_t tagOnly[16];
    const uint8_t none[1] = {0};
    CfbCipherWithTag(kKey, none, tagOnly, 0, true);
    Md5Digest empty;
    Md5Buffer(&empty, "", 0);
    EXPECT_EQ(memcmp(tagOnly, empty.bytes, 16), 0);
    EXPECT_EQ(CfbCipherWithTag(kKey, tagOnly, tagOnly, 15, false), 0);

    // one stream in pieces through one context equals one call
    const std::vector<uint8_t> plain = Pattern(50);
    std::vector<uint8_t> whole(50), pieces(50);
    CfbCipherContext a, b;
    CfbInit(&a, kKey);
    CfbEncrypt(&a, plain.data(), whole.data(), 50);
    CfbInit(&b, kKey);
    size_t done = 0;
    for (size_t step : {3, 5, 8, 1, 13, 20}) {
        CfbEncrypt(&b, plain.data() + done, pieces.data() + done, (uint32_t)step);
        done += step;
    }
    EXPECT_EQ(whole, pieces);
    std::vector<uint8_t> back(50);
    CfbInit(&b, kKey);
    CfbDecrypt(&b, whole.data(), back.data(), 21);
    CfbDecrypt(&b, whole.data() + 21, back.data() + 21, 29);
    EXPECT_EQ(back, plain);

    // after a sync the register holds the last 8 bytes of IV and ciphertext
    const uint8_t iv[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    CfbInit(&a, kKey);
    CfbSetIv(&a, iv);
    uint8_t c[3];
    CfbEncrypt(&a, plain.data(), c, 3);
    EXPECT_EQ(a.left, 5);
    CfbSync(&a);
    const uint8_t reg[8] = {4, 5, 6, 7, 8, c[0], c[1], c[2]};
    EXPECT_EQ(a.left, 0);
    EXPECT_EQ(memcmp(a.feedback, reg, 8), 0);
    CfbWipe(&a);
    EXPECT_TRUE(a.subkeys[0] == 0 && a.left == 0);
}
