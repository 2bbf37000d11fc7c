// MD5 message digest (RFC 1321) and the 63-bit keys derived from digests.
#pragma once

#include <cstdint>
#include <cstdio>

// The digest as RFC 1321 outputs it: state words A, B, C, D little-endian.
struct Md5Digest {
    uint8_t bytes[16];
};

struct Md5Context {
    uint32_t state[4];
    uint32_t count[2];  // message length in bits, low word first
    uint8_t buffer[64];
};

void Md5Init(Md5Context* context);
void Md5Update(Md5Context* context, const void* input, uint32_t length);
void Md5Final(Md5Digest* digest, Md5Context* context);
void Md5Transform(uint32_t state[4], const uint8_t block[64]);
void Md5Buffer(Md5Digest* digest, const void* input, uint32_t length);
// 1, or 0 after a read error (the digest then covers what was read).
int32_t Md5Stream(FILE* file, Md5Digest* digest);
// 0 when the file does not open; the digest is then left as it was.
int32_t Md5File(const char* path, Md5Digest* digest);

// The key of a digest: its first 8 bytes read little-endian, bit 63
// cleared, so it is never negative as a signed 64-bit number.
uint64_t Md5Key63(const Md5Digest& digest);
