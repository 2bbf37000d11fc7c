// IPv4 and hardware address texts. An IPv4 address as a number has its
// first dotted part in the top byte.
#pragma once

#include <cstdint>

// Four dotted numbers 0-255 of at most 3 digits each.
int32_t IsIPv4Text(const char* text);
// An address, "/" and a prefix length 0-32 (1 or 2 digits) or a contiguous
// dotted mask.
int32_t IsIPv4NetText(const char* text);
// Six two-digit hexadecimal parts separated by ":".
int32_t IsMacText(const char* text);
// Only digits and a leading "-", with a value within low..high.
int32_t IsIntTextInRange(const char* text, int32_t low, int32_t high);
// Each output may be null. 0 unless IsIPv4NetText.
int32_t ParseIPv4Net(const char* text, uint32_t* address, int32_t* prefix);
// The top n bits for n in 0..32, else 0.
uint32_t PrefixToMask(int32_t n);
// The number of leading one bits, or -1 when the mask is not contiguous.
int32_t MaskToPrefix(uint32_t mask);
int32_t IPv4ToText(uint32_t address, char* out);
// Parts not read count 0; each part keeps its low 8 bits.
uint32_t TextToIPv4(const char* text);
