// The stand-in peer's own little-endian readers and writers, bounded by the
// message's size: it never decodes with the module's code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace velkpeer {

inline uint32_t U32(const std::vector<uint8_t>& b, size_t at)
{
    if (at > b.size() || b.size() - at < 4) return 0;
    return (uint32_t)b[at] | ((uint32_t)b[at + 1] << 8) | ((uint32_t)b[at + 2] << 16) | ((uint32_t)b[at + 3] << 24);
}

inline int32_t I32(const std::vector<uint8_t>& b, size_t at) { return (int32_t)U32(b, at); }

inline uint64_t U64(const std::vector<uint8_t>& b, size_t at)
{
    return U32(b, at) | ((uint64_t)U32(b, at + 4) << 32);
}

inline double F64(const std::vector<uint8_t>& b, size_t at)
{
    uint64_t bits = U64(b, at);
    double d;
    memcpy(&d, &bits, sizeof d);
    return d;
}

// A NUL-terminated byte text in a field of at most `cap` bytes.
inline std::string Text(const std::vector<uint8_t>& b, size_t at, size_t cap)
{
    std::string out;
    for (size_t i = at; i < b.size() && i < at + cap && b[i]; ++i) out += (char)b[i];
    return out;
}

inline void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; ++i) b[at + i] = (uint8_t)(v >> (8 * i));
}

inline void PutU64(std::vector<uint8_t>& b, size_t at, uint64_t v)
{
    PutU32(b, at, (uint32_t)v);
    PutU32(b, at + 4, (uint32_t)(v >> 32));
}

inline void PutF64(std::vector<uint8_t>& b, size_t at, double d)
{
    uint64_t bits;
    memcpy(&bits, &d, sizeof bits);
    PutU64(b, at, bits);
}

const size_t kPacketHead = 16;

// A packet payload: the head's 101 and exactly `size` bytes.
inline bool IsPacket(const std::vector<uint8_t>& b, size_t size)
{
    return b.size() == size && size >= kPacketHead && U32(b, 0) % 65536 == 101;
}

}  // namespace velkpeer
