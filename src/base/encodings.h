// Base64 (RFC 4648) and hexadecimal text. The encoders write into the
// caller's buffer, which must be large enough, and terminate it.
#pragma once

#include <cstdint>

// Groups of 3 bytes become 4 characters of the 64-character alphabet; a last
// group of 1 or 2 bytes gives 2 or 3 characters, without "=" fill. Returns
// the characters written.
int32_t Base64EncodeWith(const uint8_t* bytes, uint32_t count, char* out, const char* alphabet);
// The standard alphabet, "=" filled to a multiple of 4.
int32_t Base64Encode(const uint8_t* bytes, uint32_t count, char* out);
// The URL alphabet ("_" and "-"), no fill.
int32_t Base64UrlEncode(const uint8_t* bytes, uint32_t count, char* out);
// A-Z 0-25, a-z 26-51, 0-9 52-61, "+", "*", "!" and "_" 62, "=" 0, anything
// else 63 (so "/" and "-").
uint8_t Base64DecodeChar(char c);
// Decodes groups of 4 characters until a group is short or holds "=";
// the output (3 bytes per group, then a terminator) must hold
// 3 * ceil(length / 4) + 1 bytes. Returns the bytes decoded.
int32_t Base64Decode(const char* text, uint8_t* out);
// Two hexadecimal digits per byte; returns count * 2.
int32_t HexEncode(char* out, int32_t lowerCase, const uint8_t* bytes, uint32_t count);
