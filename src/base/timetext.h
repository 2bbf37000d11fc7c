// Date and time values and texts. Time values are 64-bit seconds since 1970.
#pragma once

#include <cstdint>
#include <ctime>

int64_t NowSeconds();
int64_t NowMilliseconds();
// UTC calendar time of `time`, or of now when null; all zeros when the time
// does not convert. Returns `out`.
struct tm* GetUtcTm(struct tm* out, const int64_t* time);
// Local time minus UTC at the present moment, in seconds.
int32_t UtcOffsetSeconds();
// The local time of the fields (month 1-12) as a 32-bit time value, plus
// UtcOffsetSeconds when addOffset is set.
int32_t MakeTimeValue(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                      int32_t second, int32_t addOffset);
// Copies the format (null: "yyyy-mm-dd hh:mi:ss") to out and fills in the
// first occurrence of each token: yyyy, mm, dd, hh, mi, ss, and ww for the
// weekday as one two-byte character of code page 936.
void FormatTimeText(int64_t time, const char* format, char* out, int32_t utc);
