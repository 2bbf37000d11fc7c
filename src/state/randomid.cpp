#include "state/randomid.h"

#include <cstdlib>
#include <cstring>

#include "base/md5.h"

namespace {
int CRand() { return rand(); }
}  // namespace

RandomIdGenerator::RandomIdGenerator() : RandomIdGenerator(&CRand) {}

RandomIdGenerator::RandomIdGenerator(int (*source)())
{
    for (uint8_t& b : pool_) b = (uint8_t)(source() & 0xFF);
}

RandomIdGenerator::~RandomIdGenerator() {}

void RandomIdGenerator::Digest(uint8_t out[16], const void* data, uint32_t length)
{
    Md5Digest d;
    Md5Buffer(&d, data, length);
    memcpy(out, d.bytes, 16);
}

uint64_t RandomIdGenerator::NextId64()
{
    Md5Digest d;
    Md5Buffer(&d, pool_, sizeof pool_);
    memmove(pool_, pool_ + 16, 16);
    memcpy(pool_ + 16, d.bytes, 16);
    return Md5Key63(d);
}

uint32_t RandomIdGenerator::NextId31() { return (uint32_t)NextId64() & 0x7FFFFFFFu; }
