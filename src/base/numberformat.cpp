#include "base/numberformat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/numtext.h"

void FormatThousands(int64_t value, char* out)
{
    uint64_t magnitude = value < 0 ? 0 - (uint64_t)value : (uint64_t)value;
    char digits[24];
    const int n = snprintf(digits, sizeof digits, "%llu", (unsigned long long)magnitude);
    if (value < 0) *out++ = '-';
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) *out++ = ',';
        *out++ = digits[i];
    }
    *out = 0;
}

int32_t SizeText(int64_t size, char* out)
{
    // Wide enough for any 64-bit size; the caller's buffer takes the text.
    char text[40];
    if (size < 1024)
        snprintf(text, sizeof text, "%lld B", (long long)size);
    else if (size < 1048576)
        snprintf(text, sizeof text, "%.1lf K", size / 1024.0);
    else if (size < 1073741824)
        snprintf(text, sizeof text, "%.1lf M", size / 1048576.0);
    else
        snprintf(text, sizeof text, "%.1lf G", size / 1073741824.0);
    strcpy(out, text);
    return (int32_t)strlen(out);
}

int32_t DistanceText(int32_t metres, char* out)
{
    // 米 and 公里 in UTF-8.
    static const char kMetre[] = "\xE7\xB1\xB3";
    static const char kKilometre[] = "\xE5\x85\xAC\xE9\x87\x8C";
    char text[48];
    if (metres < 1000)
        snprintf(text, sizeof text, "%d%s", metres, kMetre);
    else
        snprintf(text, sizeof text, "%.1lf%s", metres / 1000.0, kKilometre);
    strcpy(out, text);
    return (int32_t)strlen(out);
}

char* BitsToText(uint32_t value, int32_t width, int32_t lsbFirst, char* out)
{
    int n = 0;
    if (width <= 0) {
        do {
            out[n++] = (char)('0' + (value & 1));
            value >>= 1;
        } while (value != 0);
    } else {
        for (; n < std::min(width, 32); ++n, value >>= 1) out[n] = (char)('0' + (value & 1));
    }
    out[n] = 0;
    if (!lsbFirst) std::reverse(out, out + n);
    return out;
}

uint32_t ByteSwap32B(uint32_t value)
{
    return ByteSwap32(value);
}
