// Win32 stand-in: Microsoft C runtime names the module uses.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <string>
#include <strings.h>

#include "win32_types.h"

inline int _stricmp(const char* a, const char* b) { return strcasecmp(a, b); }
inline int _strnicmp(const char* a, const char* b, size_t n) { return strncasecmp(a, b, n); }
inline int _wcsicmp(const wchar_t* a, const wchar_t* b) { return wcscasecmp(a, b); }
inline int _wcsnicmp(const wchar_t* a, const wchar_t* b, size_t n) { return wcsncasecmp(a, b, n); }
inline __int64 _abs64(__int64 v) { return v < 0 ? -v : v; }
// Saturates on overflow, as the Microsoft runtime does.
inline __int64 _atoi64(const char* s) { return strtoll(s, nullptr, 10); }
inline __int64 _wtoi64(const wchar_t* s) { return wcstoll(s, nullptr, 10); }
inline int _wtoi(const wchar_t* s) { return (int)wcstol(s, nullptr, 10); }
inline double _wtof(const wchar_t* s) { return wcstod(s, nullptr); }

typedef int64_t __time64_t;
inline __time64_t _time64(__time64_t* t)
{
    __time64_t v = (__time64_t)time(nullptr);
    if (t) *t = v;
    return v;
}
// Conversion failures leave the result zeroed, as the Microsoft runtime does;
// it refuses times before 1970.
inline int _localtime64_s(struct tm* out, const __time64_t* t)
{
    if (!out) return 22;
    if (!t || *t < 0) { memset(out, 0, sizeof *out); return 22; }
    time_t tt = (time_t)*t;
    if (!localtime_r(&tt, out)) { memset(out, 0, sizeof *out); return 22; }
    return 0;
}
inline int _gmtime64_s(struct tm* out, const __time64_t* t)
{
    if (!out) return 22;
    if (!t || *t < 0) { memset(out, 0, sizeof *out); return 22; }
    time_t tt = (time_t)*t;
    if (!gmtime_r(&tt, out)) { memset(out, 0, sizeof *out); return 22; }
    return 0;
}
inline __time64_t _mktime64(struct tm* t) { return (__time64_t)mktime(t); }
struct __timeb64 {
    __time64_t time;
    unsigned short millitm;
    short timezone;
    short dstflag;
};
void _ftime64(struct __timeb64* tb);

// Wide formatting with the Microsoft rules: in a wide format, %s and %c take
// wide arguments, %S/%hs and %C/%hc narrow ones; %ld, %lu and %lx are 32-bit
// and %I64d is 64-bit. Returns the characters written, -1 when it does not fit.
int _vsnwprintf_msvc(wchar_t* buf, size_t cap, const wchar_t* fmt, va_list args);
int swprintf_s(wchar_t* buf, size_t cap, const wchar_t* fmt, ...);
template <size_t N>
int swprintf_s(wchar_t (&buf)[N], const wchar_t* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int n = _vsnwprintf_msvc(buf, N, fmt, ap);
    va_end(ap);
    return n;
}
int _snwprintf(wchar_t* buf, size_t cap, const wchar_t* fmt, ...);
// The formatted text of any length, with the Microsoft rules.
std::wstring FormatMsvcV(const wchar_t* fmt, va_list args);
