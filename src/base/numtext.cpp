#include "base/numtext.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "windows.h"

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the valid character at p (1 to 3), 0 when none begins there.
// A byte is looked at only after the one before it belonged to the
// sequence, so the terminator is never read past.
int Utf8CharLen(const unsigned char* p)
{
    if (p[0] < 0x80) return 1;
    if (p[0] >= 0xC0 && p[0] <= 0xDF) return IsContinuation(p[1]) ? 2 : 0;
    if (p[0] >= 0xE0 && p[0] <= 0xEF) return IsContinuation(p[1]) && IsContinuation(p[2]) ? 3 : 0;
    return 0;
}

const unsigned char* Bytes(const char* s) { return reinterpret_cast<const unsigned char*>(s); }

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char* WriteDigits(uint64_t magnitude, bool negative, char* buffer, int32_t radix)
{
    if (radix < 2 || radix > 36) return nullptr;
    char reversed[66];
    int n = 0;
    do {
        int digit = (int)(magnitude % (uint64_t)radix);
        reversed[n++] = (char)(digit < 10 ? '0' + digit : 'a' + digit - 10);
        magnitude /= (uint64_t)radix;
    } while (magnitude);
    if (negative) reversed[n++] = '-';
    for (int i = 0; i < n; ++i) buffer[i] = reversed[n - 1 - i];
    buffer[n] = 0;
    return buffer;
}

// UTF-16 units of one wide character.
int UnitsOf(wchar_t c) { return (uint32_t)c > 0xFFFF ? 2 : 1; }

}  // namespace

uint64_t ParseUInt64(const char* text)
{
    uint64_t value = 0;
    if (!text) return 0;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && text[2]) {
        for (int i = 2; i < 18; ++i) {
            int d = HexDigit(text[i]);
            if (d < 0) break;
            value = value * 16 + (uint64_t)d;
        }
        return value;
    }
    for (int i = 0; i < 23 && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (uint64_t)(text[i] - '0');
    return value;
}

char* Int64ToText(int64_t value, char* buffer, int32_t radix)
{
    bool negative = radix == 10 && value < 0;
    uint64_t magnitude = negative ? 0 - (uint64_t)value : (uint64_t)value;
    return WriteDigits(magnitude, negative, buffer, radix);
}

int32_t Utf8CutInvalid(char* text)
{
    if (!text) return 0;
    int32_t i = 0;
    while (text[i]) {
        int len = Utf8CharLen(Bytes(text + i));
        if (!len) {
            text[i] = 0;
            break;
        }
        i += len;
    }
    return i;
}

uint32_t ParseUInt32(const char* text)
{
    uint32_t value = 0;
    if (!text) return 0;
    for (int i = 0; i < 10 && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (uint32_t)(text[i] - '0');
    return value;
}

int64_t ParseInt64(const char* text) { return _atoi64(text); }

// The smallest value stays itself, as the runtime's _abs64 gives it.
int64_t Abs64(int64_t value) { return value < 0 ? (int64_t)(0 - (uint64_t)value) : value; }

char* Int32ToText(int32_t value, char* buffer, int32_t radix)
{
    bool negative = radix == 10 && value < 0;
    uint32_t magnitude = negative ? 0 - (uint32_t)value : (uint32_t)value;
    return WriteDigits(magnitude, negative, buffer, radix);
}

uint32_t ByteSwap32(uint32_t v) { return v >> 24 | (v >> 8 & 0xFF00) | (v << 8 & 0xFF0000) | v << 24; }

uint64_t ByteSwap64(uint64_t v) { return (uint64_t)ByteSwap32((uint32_t)v) << 32 | ByteSwap32((uint32_t)(v >> 32)); }

int32_t SnapDoubleToInt(double value)
{
    if (std::isnan(value)) return 0;
    double t = std::trunc(value);
    if (std::fabs(t - value + 1) < 1e-6) t += 1;
    if (std::fabs(t - value - 1) < 1e-6) t -= 1;
    if (t >= (double)INT32_MAX) return INT32_MAX;
    if (t <= (double)INT32_MIN) return INT32_MIN;
    return (int32_t)t;
}

int32_t DoubleToInt(double value) { return SnapDoubleToInt(value); }

wchar_t* AnsiToWideNew(const char* ansi)
{
    int length = (int)strlen(ansi);
    int units = length ? MultiByteToWideChar(CP_ACP, 0, ansi, length, nullptr, 0) : 0;
    wchar_t* wide = new wchar_t[(size_t)units + 1];
    if (units) units = MultiByteToWideChar(CP_ACP, 0, ansi, length, wide, units);
    wide[units] = 0;
    return wide;
}

int32_t AnsiToUtf8(char* output, const char* ansi)
{
    wchar_t* wide = AnsiToWideNew(ansi);
    int units = (int)wcslen(wide);
    int n = units ? WideCharToMultiByte(CP_UTF8, 0, wide, units, output, units * 3, nullptr, nullptr) : 0;
    output[n] = 0;
    delete[] wide;
    return n;
}

int32_t WideToAnsi(const wchar_t* text, char* output, int32_t capacity)
{
    return WideCharToMultiByte(CP_ACP, 0, text, -1, output, capacity, nullptr, nullptr);
}

int32_t Utf8ToAnsi(const char* text, char* output, int32_t capacity)
{
    if (capacity < 1) return 0;
    memset(output, 0, (size_t)capacity);
    int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (units <= 1) return 0;
    wchar_t* wide = new wchar_t[(size_t)units];
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, units);
    int room = capacity - 1 < 2 * (units - 1) ? capacity - 1 : 2 * (units - 1);
    int n = room > 0 ? WideCharToMultiByte(CP_ACP, 0, wide, units - 1, output, room, nullptr, nullptr) : 0;
    output[n] = 0;
    delete[] wide;
    return n;
}

wchar_t* Utf8DecodeToWide(const char* text, wchar_t* output, int32_t* count)
{
    size_t length = strlen(text);
    if (!output) output = static_cast<wchar_t*>(malloc((length + 1) * sizeof(wchar_t)));
    if (count) *count = 0;
    if (!output) return nullptr;
    const unsigned char* s = Bytes(text);
    size_t i = 0;
    int32_t units = 0;
    // The walk is bounded by the length, so no skip can pass the terminator.
    while (i < length) {
        unsigned char c = s[i];
        if (c < 0x80) {
            output[units++] = c;
            i += 1;
        } else if (c >= 0xC0 && c <= 0xDF && i + 1 < length && IsContinuation(s[i + 1])) {
            output[units++] = (wchar_t)(((c - 0xC0) << 6) + (s[i + 1] - 0x80));
            i += 2;
        } else if (c >= 0xE0 && c <= 0xEF && i + 2 < length && IsContinuation(s[i + 1]) && IsContinuation(s[i + 2])) {
            output[units++] = (wchar_t)(((c - 0xE0) << 12) + ((s[i + 1] - 0x80) << 6) + (s[i + 2] - 0x80));
            i += 3;
        } else if (c >= 0xF0 && c <= 0xFD) {
            i += c <= 0xF7 ? 4 : c <= 0xFB ? 5 : 6;
        } else {
            break;
        }
    }
    output[units] = 0;
    if (count) *count = units;
    return output;
}

int32_t WideEncodeToUtf8(const wchar_t* text, char* output, int32_t capacity)
{
    if (capacity < 1) return 0;
    int32_t n = 0;
    // false when the unit and the terminator do not fit
    auto put = [&](uint32_t u) {
        int len = u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        if (capacity - n < len + 1) return false;
        if (len == 1) {
            output[n++] = (char)u;
        } else if (len == 2) {
            output[n++] = (char)(0xC0 | u >> 6);
            output[n++] = (char)(0x80 | (u & 0x3F));
        } else {
            output[n++] = (char)(0xE0 | u >> 12);
            output[n++] = (char)(0x80 | (u >> 6 & 0x3F));
            output[n++] = (char)(0x80 | (u & 0x3F));
        }
        return true;
    };
    for (; *text; ++text) {
        uint32_t c = (uint32_t)*text;
        if (c > 0xFFFF) {
            if (!put(0xD800 + ((c - 0x10000) >> 10)) || !put(0xDC00 + ((c - 0x10000) & 0x3FF))) break;
        } else if (!put(c)) {
            break;
        }
    }
    output[n] = 0;
    return n;
}

char* WideToUtf8Alloc(const wchar_t* text, uint8_t swap)
{
    size_t length = wcslen(text);
    wchar_t* swapped = nullptr;
    if (swap) {
        swapped = static_cast<wchar_t*>(calloc(length + 1, sizeof(wchar_t)));
        if (!swapped) return nullptr;
        for (size_t i = 0; i < length; ++i) {
            uint32_t u = (uint32_t)text[i];
            swapped[i] = (wchar_t)((u & 0xFF) << 8 | (u >> 8 & 0xFF));
        }
        text = swapped;
    }
    size_t size = (size_t)WideCountUnits(text) * 3 + 100;
    char* out = static_cast<char*>(malloc(size));
    if (out) WideEncodeToUtf8(text, out, (int32_t)size);
    free(swapped);
    return out;
}

int32_t Utf8CountWidth(const char* text)
{
    int32_t width = 0;
    for (const unsigned char* p = Bytes(text); *p;) {
        int len = Utf8CharLen(p);
        if (!len) break;
        width += len == 1 ? 1 : 2;
        p += len;
    }
    return width;
}

int32_t WideCountWidth(const wchar_t* text)
{
    int32_t width = 0;
    for (; *text; ++text) width += (uint32_t)*text > 255 ? 2 * UnitsOf(*text) : 1;
    return width;
}

int32_t WideCountUnits(const wchar_t* text)
{
    int32_t units = 0;
    for (; *text; ++text) units += UnitsOf(*text);
    return units;
}

const char* Utf8SkipChars(const char* text, int32_t n)
{
    if (!text) return nullptr;
    for (int32_t k = 0; k < n && *text; ++k) {
        int len = Utf8CharLen(Bytes(text));
        if (!len) return nullptr;
        text += len;
    }
    return text;
}

const char* Utf8BackChars(const char* text, int32_t n)
{
    if (!text) return nullptr;
    const unsigned char* start = Bytes(text);
    const unsigned char* p = start + strlen(text);
    for (int32_t k = 0; k < n && p > start; ++k) {
        if (p[-1] < 0x80) {
            p -= 1;
        } else if (!IsContinuation(p[-1]) || p - 2 < start) {
            return nullptr;
        } else if (p[-2] >= 0xC0 && p[-2] <= 0xDF) {
            p -= 2;
        } else if (IsContinuation(p[-2]) && p - 3 >= start && p[-3] >= 0xE0 && p[-3] <= 0xEF) {
            p -= 3;
        } else {
            return nullptr;
        }
    }
    return text + (p - start);
}

bool Utf8IsValid(const char* text) { return Utf8SkipChars(text, INT32_MAX) != nullptr; }

int32_t Utf8BlankInvalid(char* text)
{
    if (!text) return 0;
    unsigned char* p = reinterpret_cast<unsigned char*>(text);
    while (*p) {
        int len = Utf8CharLen(p);
        if (len) {
            p += len;
        } else if (*p >= 0xE0 && *p <= 0xEF && IsContinuation(p[1])) {
            p[0] = p[1] = ' ';  // a three-byte lead whose third byte is bad
            p += 2;
        } else {
            *p++ = ' ';
        }
    }
    return 0;
}
