#include "base/timetext.h"

#include <cstdio>
#include <cstring>

#include "base/baselog.h"
#include "win32_crt.h"

int64_t NowSeconds()
{
    return _time64(nullptr);
}

int64_t NowMilliseconds()
{
    struct __timeb64 tb;
    _ftime64(&tb);
    return tb.time * 1000 + tb.millitm;
}

struct tm* GetUtcTm(struct tm* out, const int64_t* time)
{
    struct tm utc;
    memset(&utc, 0, sizeof utc);
    const __time64_t t = time ? *time : _time64(nullptr);
    struct tm converted;
    if (_gmtime64_s(&converted, &t) == 0) utc = converted;
    *out = utc;
    return out;
}

// Seconds of a calendar record counted as if it were UTC.
static int64_t CalendarSeconds(const struct tm& t)
{
    // Days from 1970-01-01 of the proleptic Gregorian date.
    int64_t y = (int64_t)t.tm_year + 1900;
    const int64_t m = t.tm_mon + 1;
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + t.tm_mday - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t days = era * 146097 + doe - 719468;
    return days * 86400 + t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec;
}

int32_t UtcOffsetSeconds()
{
    const int64_t now = NowSeconds();
    struct tm local, utc;
    GetLocalTm(&local, &now);
    GetUtcTm(&utc, &now);
    return (int32_t)(CalendarSeconds(local) - CalendarSeconds(utc));
}

int32_t MakeTimeValue(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                      int32_t second, int32_t addOffset)
{
    struct tm t;
    memset(&t, 0, sizeof t);
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    int64_t value = _mktime64(&t);
    if (addOffset) value += UtcOffsetSeconds();
    return (int32_t)(uint32_t)(uint64_t)value;
}

// Overwrites the first occurrence of the token with as many characters of
// the value as the token has.
static void FillToken(char* out, const char* token, const char* value)
{
    char* at = strstr(out, token);
    if (at) memcpy(at, value, strlen(token));
}

void FormatTimeText(int64_t time, const char* format, char* out, int32_t utc)
{
    // Sunday to Saturday in code page 936: 日 一 二 三 四 五 六.
    static const char kWeekdays[7][3] = {"\xC8\xD5", "\xD2\xBB", "\xB6\xFE", "\xC8\xFD",
                                         "\xCB\xC4", "\xCE\xE5", "\xC1\xF9"};
    struct tm t;
    if (utc)
        GetUtcTm(&t, &time);
    else
        GetLocalTm(&t, &time);
    strcpy(out, format ? format : "yyyy-mm-dd hh:mi:ss");
    char value[16];
    snprintf(value, sizeof value, "%4d", t.tm_year + 1900);
    FillToken(out, "yyyy", value);
    const struct { const char* token; int field; } twoDigits[] = {
        {"mm", t.tm_mon + 1}, {"dd", t.tm_mday}, {"hh", t.tm_hour}, {"mi", t.tm_min}, {"ss", t.tm_sec}};
    for (const auto& d : twoDigits) {
        snprintf(value, sizeof value, "%02d", d.field);
        FillToken(out, d.token, value);
    }
    FillToken(out, "ww", kWeekdays[t.tm_wday >= 0 && t.tm_wday < 7 ? t.tm_wday : 0]);
}
