#include "base/utf16text.h"

std::u16string Utf16FromWide(const wchar_t* s, size_t n)
{
    std::u16string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        char32_t c = (char32_t)s[i];
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
        if (c < 0x10000) {
            out += (char16_t)c;
        } else {
            c -= 0x10000;
            out += (char16_t)(0xD800 + (c >> 10));
            out += (char16_t)(0xDC00 + (c & 0x3FF));
        }
    }
    return out;
}

std::wstring WideFromUtf16(const char16_t* s, size_t n)
{
    std::wstring out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        char16_t u = s[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            out += (wchar_t)(0x10000 + (((char32_t)u - 0xD800) << 10) + ((char32_t)s[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out += (wchar_t)0xFFFD;
        } else {
            out += (wchar_t)u;
        }
    }
    return out;
}

size_t PutUtf16Field(unsigned char* dst, size_t maxUnits, const wchar_t* s)
{
    std::u16string u = s ? Utf16FromWide(s, std::char_traits<wchar_t>::length(s)) : std::u16string();
    size_t n = u.size() < maxUnits ? u.size() : maxUnits;
    if (n > 0 && n < u.size() && u[n - 1] >= 0xD800 && u[n - 1] <= 0xDBFF) --n;
    for (size_t i = 0; i < maxUnits; ++i) {
        char16_t c = i < n ? u[i] : 0;
        dst[2 * i] = (unsigned char)(c & 0xFF);
        dst[2 * i + 1] = (unsigned char)(c >> 8);
    }
    return n;
}

std::wstring GetUtf16Field(const unsigned char* src, size_t maxUnits)
{
    std::u16string u;
    for (size_t i = 0; i < maxUnits; ++i) {
        char16_t c = (char16_t)(src[2 * i] | (src[2 * i + 1] << 8));
        if (c == 0) break;
        u += c;
    }
    return WideFromUtf16(u.data(), u.size());
}
