// Packed palette indices inside one row: 8 bits a byte, 4 bits high nibble
// first, 1 bit most significant bit first.
#pragma once

#include <cstring>

#include "windows.h"

inline BYTE ReadPackedIndex(const BYTE* row, LONG x, int bpp)
{
    switch (bpp) {
    case 8: return row[x];
    case 4: return (x & 1) ? (BYTE)(row[x >> 1] & 0x0F) : (BYTE)(row[x >> 1] >> 4);
    case 1: return (BYTE)((row[x >> 3] >> (7 - (x & 7))) & 1);
    default: return 0;
    }
}

inline void WritePackedIndex(BYTE* row, LONG x, int bpp, BYTE index)
{
    switch (bpp) {
    case 8:
        row[x] = index;
        break;
    case 4: {
        BYTE& b = row[x >> 1];
        b = (x & 1) ? (BYTE)((b & 0xF0) | (index & 0x0F)) : (BYTE)((b & 0x0F) | ((index & 0x0F) << 4));
        break;
    }
    case 1: {
        BYTE mask = (BYTE)(0x80 >> (x & 7));
        BYTE& b = row[x >> 3];
        b = (index & 1) ? (BYTE)(b | mask) : (BYTE)(b & ~mask);
        break;
    }
    default:
        break;
    }
}

// Sets the indices of pixels from to to - 1 of one row, whole bytes at once.
inline void FillPackedIndices(BYTE* row, LONG from, LONG to, int bpp, BYTE index)
{
    if (bpp != 1 && bpp != 4 && bpp != 8) return;
    const LONG perByte = 8 / bpp;
    LONG x = from;
    for (; x < to && x % perByte; ++x) WritePackedIndex(row, x, bpp, index);
    const BYTE pattern = bpp == 8 ? index : bpp == 4 ? (BYTE)((index & 0x0F) * 0x11) : (BYTE)((index & 1) ? 0xFF : 0);
    if (x < to) {
        const LONG whole = (to - x) / perByte;
        memset(row + x / perByte, pattern, (size_t)whole);
        x += whole * perByte;
    }
    for (; x < to; ++x) WritePackedIndex(row, x, bpp, index);
}
