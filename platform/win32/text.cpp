// Code page conversions and the Microsoft-style wide formatter.
#include <iconv.h>
#include <sys/time.h>

#include <cerrno>
#include <string>
#include <vector>

#include "text_internal.h"
#include "windows.h"

namespace {

thread_local DWORD g_lastError = 0;

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Decodes one UTF-8 sequence starting at s[i]; a malformed sequence yields
// U+FFFD and consumes its maximal valid prefix (at least one byte).
char32_t DecodeOne(const unsigned char* s, size_t n, size_t& i)
{
    unsigned char c = s[i];
    if (c < 0x80) { ++i; return c; }
    int len;
    char32_t cp;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) {
        len = 3; cp = c & 0x0F;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4; cp = c & 0x07;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else { ++i; return 0xFFFD; }
    size_t j = i + 1;
    for (int k = 1; k < len; ++k, ++j) {
        if (j >= n) { i = j; return 0xFFFD; }
        unsigned char d = s[j];
        if (k == 1 ? (d < lo || d > hi) : !IsContinuation(d)) { i = j; return 0xFFFD; }
        cp = (cp << 6) | (d & 0x3F);
    }
    i = j;
    return cp;
}

void EncodeOne(char32_t cp, std::string& out)
{
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    if (cp < 0x80) out += (char)cp;
    else if (cp < 0x800) { out += (char)(0xC0 | (cp >> 6)); out += (char)(0x80 | (cp & 0x3F)); }
    else if (cp < 0x10000) {
        out += (char)(0xE0 | (cp >> 12)); out += (char)(0x80 | ((cp >> 6) & 0x3F));
        out += (char)(0x80 | (cp & 0x3F));
    } else {
        out += (char)(0xF0 | (cp >> 18)); out += (char)(0x80 | ((cp >> 12) & 0x3F));
        out += (char)(0x80 | ((cp >> 6) & 0x3F)); out += (char)(0x80 | (cp & 0x3F));
    }
}

bool IsAnsi(UINT cp) { return cp == CP_ACP || cp == CP_THREAD_ACP || cp == CP_OEMCP || cp == 936; }

// GBK bytes to code points; an undecodable byte becomes U+FFFD.
std::wstring GbkToWide(const char* s, size_t n)
{
    std::wstring out;
    iconv_t cd = iconv_open("WCHAR_T", "GBK");
    if (cd == (iconv_t)-1) return out;
    size_t i = 0;
    while (i < n) {
        unsigned char c = (unsigned char)s[i];
        if (c < 0x80) { out += (wchar_t)c; ++i; continue; }
        if (c == 0x80) { out += (wchar_t)0x20AC; ++i; continue; }  // the euro sign of page 936
        wchar_t w[2];
        char* in = const_cast<char*>(s + i);
        size_t inLeft = (i + 1 < n) ? 2 : 1;
        char* o = reinterpret_cast<char*>(w);
        size_t oLeft = sizeof w;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        size_t used = (size_t)(in - (s + i));
        if ((r == (size_t)-1 && used == 0) || oLeft == sizeof w) { out += (wchar_t)0xFFFD; ++i; continue; }
        out += w[0];
        i += used;
    }
    iconv_close(cd);
    return out;
}

std::string WideToGbk(const wchar_t* s, size_t n, char defaultChar, bool& usedDefault)
{
    std::string out;
    iconv_t cd = iconv_open("GBK", "WCHAR_T");
    if (cd == (iconv_t)-1) return out;
    for (size_t i = 0; i < n; ++i) {
        wchar_t c = s[i];
        if ((unsigned)c < 0x80) { out += (char)c; continue; }
        if (c == 0x20AC) { out += (char)0x80; continue; }
        char buf[8];
        char* in = reinterpret_cast<char*>(&c);
        size_t inLeft = sizeof c;
        char* o = buf;
        size_t oLeft = sizeof buf;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &in, &inLeft, &o, &oLeft) == (size_t)-1 || o == buf) {
            out += defaultChar;
            usedDefault = true;
        } else {
            out.append(buf, (size_t)(o - buf));
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

DWORD GetLastError() { return g_lastError; }
void SetLastError(DWORD code) { g_lastError = code; }
UINT GetACP() { return 936; }

namespace standin {

std::wstring Utf8ToWide(std::string_view s)
{
    std::wstring out;
    out.reserve(s.size());
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s.data());
    size_t i = 0;
    while (i < s.size()) out += (wchar_t)DecodeOne(p, s.size(), i);
    return out;
}

std::string WideToUtf8(std::wstring_view s)
{
    std::string out;
    out.reserve(s.size());
    for (wchar_t c : s) EncodeOne((char32_t)c, out);
    return out;
}

}  // namespace standin

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen, WCHAR* dst, int dstCap)
{
    if (!src || srcLen == 0 || srcLen < -1 || dstCap < 0) { SetLastError(ERROR_INVALID_PARAMETER); return 0; }
    size_t n = srcLen == -1 ? strlen(src) + 1 : (size_t)srcLen;
    std::wstring w;
    if (codePage == CP_UTF8) {
        w = standin::Utf8ToWide(std::string_view(src, n));
        if ((flags & MB_ERR_INVALID_CHARS) && w.find(L'\xFFFD') != std::wstring::npos &&
            std::string_view(src, n).find("\xEF\xBF\xBD") == std::string_view::npos) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
    } else if (IsAnsi(codePage)) {
        w = GbkToWide(src, n);
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!dst || dstCap == 0) return (int)w.size();
    if (w.size() > (size_t)dstCap) { SetLastError(ERROR_INSUFFICIENT_BUFFER); return 0; }
    wmemcpy(dst, w.data(), w.size());
    return (int)w.size();
}

int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, const WCHAR* src, int srcLen, char* dst, int dstCap,
                        const char* defaultChar, BOOL* usedDefault)
{
    if (!src || srcLen == 0 || srcLen < -1 || dstCap < 0) { SetLastError(ERROR_INVALID_PARAMETER); return 0; }
    size_t n = srcLen == -1 ? wcslen(src) + 1 : (size_t)srcLen;
    std::string s;
    bool used = false;
    if (codePage == CP_UTF8) {
        s = standin::WideToUtf8(std::wstring_view(src, n));
    } else if (IsAnsi(codePage)) {
        s = WideToGbk(src, n, defaultChar ? *defaultChar : '?', used);
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (usedDefault) *usedDefault = used ? TRUE : FALSE;
    if (!dst || dstCap == 0) return (int)s.size();
    if (s.size() > (size_t)dstCap) { SetLastError(ERROR_INSUFFICIENT_BUFFER); return 0; }
    memcpy(dst, s.data(), s.size());
    return (int)s.size();
}

void _ftime64(struct __timeb64* tb)
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    tb->time = tv.tv_sec;
    tb->millitm = (unsigned short)(tv.tv_usec / 1000);
    tb->timezone = 0;
    tb->dstflag = 0;
}

// Formats one conversion at a time, so that every argument is read with the
// type the Microsoft rules give it.
std::wstring FormatMsvcV(const wchar_t* fmt, va_list args)
{
    std::wstring out;
    if (!fmt) return out;
    va_list ap;
    va_copy(ap, args);
    const wchar_t* p = fmt;
    while (*p) {
        if (*p != L'%') { out += *p++; continue; }
        if (p[1] == L'%') { out += L'%'; p += 2; continue; }
        std::wstring spec = L"%";
        ++p;
        while (*p && wcschr(L"-+ #0", *p)) spec += *p++;
        if (*p == L'*') { spec += std::to_wstring(va_arg(ap, int)); ++p; }
        while (*p >= L'0' && *p <= L'9') spec += *p++;
        if (*p == L'.') {
            spec += *p++;
            if (*p == L'*') { spec += std::to_wstring(va_arg(ap, int)); ++p; }
            while (*p >= L'0' && *p <= L'9') spec += *p++;
        }
        // Length modifier: 'n' none, 'h' short, 'H' char, 'l' 32-bit long or wide, 'q' 64-bit, 'z' size.
        char mod = 'n';
        if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') { mod = 'q'; p += 3; }
        else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') { mod = 'n'; p += 3; }
        else if (p[0] == L'I') { mod = 'z'; ++p; }
        else if (p[0] == L'h' && p[1] == L'h') { mod = 'H'; p += 2; }
        else if (p[0] == L'h') { mod = 'h'; ++p; }
        else if (p[0] == L'l' && p[1] == L'l') { mod = 'q'; p += 2; }
        else if (p[0] == L'l' || p[0] == L'w') { mod = 'l'; ++p; }
        else if (p[0] == L'L') { mod = 'n'; ++p; }  // long double is double there
        else if (p[0] == L'z' || p[0] == L't' || p[0] == L'j') { mod = 'z'; ++p; }
        wchar_t conv = *p;
        if (!conv) break;
        ++p;
        wchar_t tmp[512];
        int n = -1;
        switch (conv) {
        case L'd': case L'i': case L'o': case L'u': case L'x': case L'X': {
            bool isSigned = conv == L'd' || conv == L'i';
            std::wstring s = spec + L"ll" + conv;
            long long v;
            if (mod == 'q') v = isSigned ? va_arg(ap, long long) : (long long)va_arg(ap, unsigned long long);
            else if (mod == 'z') v = isSigned ? (long long)va_arg(ap, ptrdiff_t) : (long long)va_arg(ap, size_t);
            else {
                int iv = va_arg(ap, int);
                if (mod == 'h') v = isSigned ? (long long)(short)iv : (long long)(unsigned short)iv;
                else if (mod == 'H') v = isSigned ? (long long)(signed char)iv : (long long)(unsigned char)iv;
                else v = isSigned ? (long long)iv : (long long)(unsigned)iv;
            }
            n = swprintf(tmp, 512, s.c_str(), v);
            break;
        }
        case L'e': case L'E': case L'f': case L'F': case L'g': case L'G': case L'a': case L'A': {
            std::wstring s = spec + conv;
            double v = va_arg(ap, double);
            n = swprintf(tmp, 512, s.c_str(), v);
            if (n < 0) {  // a huge %f: format without the width
                std::wstring big(std::to_wstring(v));
                out += big;
                continue;
            }
            break;
        }
        case L'c': case L'C': {
            bool narrow = (conv == L'c') ? (mod == 'h') : (mod != 'l');
            int v = va_arg(ap, int);
            wchar_t ch = narrow ? (wchar_t)(unsigned char)v : (wchar_t)v;
            if (narrow && (unsigned char)v >= 0x80) {
                char b = (char)v;
                std::wstring w = GbkToWide(&b, 1);
                ch = w.empty() ? L'?' : w[0];
            }
            std::wstring s = spec + L"lc";
            n = swprintf(tmp, 512, s.c_str(), (wint_t)ch);
            break;
        }
        case L's': case L'S': {
            bool narrow = (conv == L's') ? (mod == 'h') : (mod != 'l');
            std::wstring arg;
            if (narrow) {
                const char* a = va_arg(ap, const char*);
                arg = a ? GbkToWide(a, strlen(a)) : L"(null)";
            } else {
                const wchar_t* a = va_arg(ap, const wchar_t*);
                arg = a ? a : L"(null)";
            }
            // Without flags, width or precision it is the text itself.
            if (spec.size() == 1) {
                out += arg;
                continue;
            }
            std::wstring s = spec + L"ls";
            std::vector<wchar_t> buf(arg.size() + 600);
            n = swprintf(buf.data(), buf.size(), s.c_str(), arg.c_str());
            if (n > 0) out.append(buf.data(), (size_t)n);
            continue;
        }
        case L'p': {
            void* v = va_arg(ap, void*);
            n = swprintf(tmp, 512, L"%016llX", (unsigned long long)(uintptr_t)v);
            break;
        }
        case L'n':
            (void)va_arg(ap, int*);  // refused, as the secure runtime does
            continue;
        default:
            out += spec;
            out += conv;
            continue;
        }
        if (n > 0) out.append(tmp, (size_t)n);
    }
    va_end(ap);
    return out;
}

int _vsnwprintf_msvc(wchar_t* buf, size_t cap, const wchar_t* fmt, va_list args)
{
    if (!buf || cap == 0) return -1;
    std::wstring s = FormatMsvcV(fmt, args);
    if (s.size() + 1 > cap) { buf[0] = 0; return -1; }
    wmemcpy(buf, s.c_str(), s.size() + 1);
    return (int)s.size();
}

int swprintf_s(wchar_t* buf, size_t cap, const wchar_t* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int n = _vsnwprintf_msvc(buf, cap, fmt, ap);
    va_end(ap);
    return n;
}

int _snwprintf(wchar_t* buf, size_t cap, const wchar_t* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int n = _vsnwprintf_msvc(buf, cap, fmt, ap);
    va_end(ap);
    return n;
}
