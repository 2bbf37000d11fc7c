// Packed palette indices inside one row: 8 bits a byte, 4 bits high nibble
// first, 1 bit most significant bit first.
#pragma once

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
