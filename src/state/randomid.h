// Well-mixed random ids: a 32-byte pool from the C library's rand(),
// chained through MD5.
#pragma once

#include <cstdint>

class RandomIdGenerator {
public:
    // The pool takes the low byte of 32 calls of the source (rand() unless
    // another is given); the source is never seeded here.
    RandomIdGenerator();
    explicit RandomIdGenerator(int (*source)());
    ~RandomIdGenerator();

    // The next 63-bit id; the pool moves on by one digest.
    uint64_t NextId64();
    // The low 32 bits of the next 63-bit id, bit 31 cleared.
    uint32_t NextId31();
    static void Digest(uint8_t out[16], const void* data, uint32_t length);

private:
    uint8_t pool_[32];
};
