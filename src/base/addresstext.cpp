#include "base/addresstext.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/scantext.h"
#include "base/textutil.h"

int32_t IsIPv4Text(const char* text)
{
    if (strlen(text) >= 16 || !OnlyCharsOf(text, "0123456789.")) return 0;
    int p[4];
    if (!ScanText(text, "%d.%d.%d.%d", &p[0], &p[1], &p[2], &p[3])) return 0;
    for (int part : p)
        if (part < 0 || part > 255) return 0;
    // Values are at most 1000 characters; the whole text is below 16.
    char s[4][1001];
    if (!ScanText(text, "%s.%s.%s.%s", s[0], s[1], s[2], s[3])) return 0;
    for (const char* part : s)
        if (strlen(part) > 3) return 0;
    return 1;
}

int32_t IsIPv4NetText(const char* text)
{
    if (strlen(text) >= 32 || !OnlyCharsOf(text, "0123456789./")) return 0;
    char address[32], rest[32];
    SplitAtText(text, address, rest, "/");
    if (!IsIPv4Text(address)) return 0;
    const size_t n = strlen(rest);
    if (n == 0) return 0;
    if (n <= 2) return IsIntTextInRange(rest, 0, 32);
    return IsIPv4Text(rest) && MaskToPrefix(TextToIPv4(rest)) != -1 ? 1 : 0;
}

int32_t IsMacText(const char* text)
{
    if (strlen(text) != 17 || !OnlyCharsOf(text, "0123456789abcdefABCDEF:")) return 0;
    char s[6][1001];
    if (!ScanText(text, "%s:%s:%s:%s:%s:%s", s[0], s[1], s[2], s[3], s[4], s[5])) return 0;
    for (const char* part : s)
        if (strlen(part) != 2) return 0;
    return 1;
}

int32_t IsIntTextInRange(const char* text, int32_t low, int32_t high)
{
    if (!OnlyCharsOf(text, "0123456789-") || (*text && strchr(text + 1, '-'))) return 0;
    // Saturating, so that a long digit string cannot wrap into the range.
    const long long v = strtoll(text, nullptr, 10);
    return v >= low && v <= high ? 1 : 0;
}

int32_t ParseIPv4Net(const char* text, uint32_t* address, int32_t* prefix)
{
    if (!IsIPv4NetText(text)) return 0;
    uint32_t a = 0, mask = 0;
    int p = 0;
    if (!ScanText(text, "%I/%d", &a, &p)) {
        ScanText(text, "%I/%I", &a, &mask);
        p = MaskToPrefix(mask);
    }
    if (address) *address = a;
    if (prefix) *prefix = p;
    return 1;
}

uint32_t PrefixToMask(int32_t n)
{
    if (n <= 0 || n > 32) return 0;
    return 0xFFFFFFFFu << (32 - n);
}

int32_t MaskToPrefix(uint32_t mask)
{
    int32_t n = 0;
    while (n < 32 && (mask & (0x80000000u >> n))) ++n;
    return PrefixToMask(n) == mask ? n : -1;
}

int32_t IPv4ToText(uint32_t address, char* out)
{
    return sprintf(out, "%d.%d.%d.%d", (int)(address >> 24), (int)(address >> 16 & 255),
                   (int)(address >> 8 & 255), (int)(address & 255));
}

uint32_t TextToIPv4(const char* text)
{
    int p[4] = {0, 0, 0, 0};
    sscanf(text, "%d.%d.%d.%d", &p[0], &p[1], &p[2], &p[3]);
    return (uint32_t)(p[0] & 255) << 24 | (uint32_t)(p[1] & 255) << 16 | (uint32_t)(p[2] & 255) << 8 |
           (uint32_t)(p[3] & 255);
}
