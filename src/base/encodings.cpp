#include "base/encodings.h"

#include <cstdio>

int32_t Base64EncodeWith(const uint8_t* bytes, uint32_t count, char* out, const char* alphabet)
{
    int32_t n = 0;
    for (uint32_t i = 0; i < count; i += 3) {
        const uint32_t left = count - i;
        const uint32_t group = (uint32_t)bytes[i] << 16 | (left > 1 ? (uint32_t)bytes[i + 1] << 8 : 0) |
                               (left > 2 ? bytes[i + 2] : 0);
        const int chars = left >= 3 ? 4 : (int)left + 1;
        for (int k = 0; k < chars; ++k) out[n++] = alphabet[(group >> (18 - 6 * k)) & 63];
    }
    out[n] = 0;
    return n;
}

int32_t Base64Encode(const uint8_t* bytes, uint32_t count, char* out)
{
    int32_t n = Base64EncodeWith(bytes, count, out,
                                 "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
    while (n % 4 != 0) out[n++] = '=';
    out[n] = 0;
    return n;
}

int32_t Base64UrlEncode(const uint8_t* bytes, uint32_t count, char* out)
{
    return Base64EncodeWith(bytes, count, out,
                            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-");
}

uint8_t Base64DecodeChar(char c)
{
    if (c >= 'A' && c <= 'Z') return (uint8_t)(c - 'A');
    if (c >= 'a' && c <= 'z') return (uint8_t)(c - 'a' + 26);
    if (c >= '0' && c <= '9') return (uint8_t)(c - '0' + 52);
    if (c == '+' || c == '*' || c == '!' || c == '_') return 62;
    if (c == '=') return 0;
    return 63;
}

int32_t Base64Decode(const char* text, uint8_t* out)
{
    int32_t len = 0;
    while (*text) {
        uint32_t v[4] = {Base64DecodeChar(text[0]), 0, 0, 0};
        int present = 1;
        while (present < 4 && text[present] && text[present] != '=') {
            v[present] = Base64DecodeChar(text[present]);
            ++present;
        }
        const uint8_t b1 = (uint8_t)((v[1] & 15) << 4 | v[2] >> 2);
        out[len] = (uint8_t)(v[0] << 2 | v[1] >> 4);
        out[len + 1] = b1;
        out[len + 2] = (uint8_t)((v[2] & 3) << 6 | v[3]);
        if (present < 4) {
            len += present == 1 ? 1 : present == 2 ? (b1 == 0 ? 1 : 2) : 2;
            break;
        }
        len += 3;
        text += 4;
    }
    out[len] = 0;
    return len;
}

int32_t HexEncode(char* out, int32_t lowerCase, const uint8_t* bytes, uint32_t count)
{
    *out = 0;
    for (uint32_t i = 0; i < count; ++i) snprintf(out + 2 * i, 3, lowerCase ? "%02x" : "%02X", bytes[i]);
    return (int32_t)(count * 2);
}
