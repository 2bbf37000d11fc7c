#include "base/scantext.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

static bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Matches the literal (n characters) at `at`; the end of the match or null.
static const char* MatchAt(const char* at, const char* lit, size_t n)
{
    size_t i = 0;
    while (i < n) {
        if (IsSpace(lit[i])) {
            if (!IsSpace(*at)) return nullptr;
            while (i < n && IsSpace(lit[i])) ++i;
            while (IsSpace(*at)) ++at;
        } else {
            if (*at != lit[i]) return nullptr;
            ++at;
            ++i;
        }
    }
    return at;
}

// The first match of the literal at or after `from`: its start and end.
static const char* FindLiteral(const char* from, const char* lit, size_t n, const char** end)
{
    for (const char* at = from;; ++at) {
        if ((*end = MatchAt(at, lit, n)) != nullptr) return at;
        if (!*at) return nullptr;
    }
}

static bool OnlyOf(const std::string& v, const char* set)
{
    return v.find_first_not_of(set) == std::string::npos;
}

// The value up to its first white space, as the numeric kinds test it.
static std::string Head(const std::string& v)
{
    return v.substr(0, v.find_first_of(" \t\r\n"));
}

static bool HasDigit(const std::string& v)
{
    return v.find_first_of("0123456789") != std::string::npos;
}

static bool StoreValue(char kind, const std::string& value, void* dest)
{
    const std::string head = Head(value);
    switch (kind) {
    case 's':
        if (dest) strcpy((char*)dest, value.c_str());
        return true;
    case 'd': {
        const std::string digits = head.empty() || head[0] != '-' ? head : head.substr(1);
        if (!HasDigit(digits) || !OnlyOf(digits, "0123456789")) return false;
        int v = 0;
        if (sscanf(value.c_str(), "%d", &v) != 1) return false;
        if (dest) *(int*)dest = v;
        return true;
    }
    case 'u': {
        if (!HasDigit(head) || !OnlyOf(head, "0123456789")) return false;
        unsigned v = 0;
        if (sscanf(value.c_str(), "%u", &v) != 1) return false;
        if (dest) *(unsigned*)dest = v;
        return true;
    }
    case 'f': {
        const std::string digits = head.empty() || head[0] != '-' ? head : head.substr(1);
        if (!HasDigit(digits) || !OnlyOf(digits, "0123456789.") ||
            digits.find('.') != digits.rfind('.'))
            return false;
        float v = 0;
        if (sscanf(value.c_str(), "%f", &v) != 1) return false;
        if (dest) *(float*)dest = v;
        return true;
    }
    case 'I': {
        if (!HasDigit(value) || !OnlyOf(value, "0123456789. \t\r\n")) return false;
        int p[4];
        if (sscanf(value.c_str(), "%d.%d.%d.%d", &p[0], &p[1], &p[2], &p[3]) != 4) return false;
        uint32_t address = 0;
        for (int part : p) {
            if (part < 0 || part > 255) return false;
            address = address << 8 | (uint32_t)part;
        }
        if (dest) *(uint32_t*)dest = address;
        return true;
    }
    default:
        return false;
    }
}

int32_t ScanText(const char* text, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const char* f = format;
    size_t litLen = strcspn(f, "%");
    const char* pos = MatchAt(text, f, litLen);
    int32_t result = pos ? 1 : 0;
    f += litLen;
    while (result && *f == '%') {
        const char kind = f[1];
        if (!kind) {
            result = 0;
            break;
        }
        f += 2;
        litLen = strcspn(f, "%");
        const char* valueEnd;
        const char* next;
        if (litLen == 0) {
            valueEnd = next = pos + strlen(pos);
        } else if ((valueEnd = FindLiteral(pos, f, litLen, &next)) == nullptr) {
            result = 0;
            break;
        }
        const size_t n = (size_t)(valueEnd - pos);
        const std::string value(pos, n < 1000 ? n : 1000);
        if (!StoreValue(kind, value, va_arg(args, void*))) result = 0;
        pos = next;
        f += litLen;
    }
    va_end(args);
    return result;
}
