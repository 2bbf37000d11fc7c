// Number, size, distance and bit texts. Outputs go to the caller's buffer,
// which must be large enough.
#pragma once

#include <cstdint>

// Digits grouped in threes with "," (1234567 gives 1,234,567).
void FormatThousands(int64_t value, char* out);
// "1023 B", "1.5 K", "2.0 M", "1.0 G"; the length.
int32_t SizeText(int64_t size, char* out);
// Metres below 1000 as "%d米", else kilometres "%.1lf公里", in UTF-8; the length.
int32_t DistanceText(int32_t metres, char* out);
// The bits as '0'/'1', most significant first unless lsbFirst is set: with
// width 0 as many as the value needs (at least one), else exactly width
// (at most 32). Returns out.
char* BitsToText(uint32_t value, int32_t width, int32_t lsbFirst, char* out);
uint32_t ByteSwap32B(uint32_t value);
