// One time-stamped line appended to a log file named by a UTF-8 path.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <ctime>

// Appends "[YYYY/MM/DD hh:mm:ss]  " + the formatted text + a line end. Every
// "\n", the text's own included, is stored as CR LF. The file is opened and
// closed for each line; a file that does not open drops the line silently.
void WriteLogLine(const char* path, const char* format, ...);
void WriteLogLineV(const char* path, const char* format, va_list args);

// Local calendar time of `time` (seconds since 1970 UTC), or of now when
// null; all zeros when the time does not convert. Returns `out`.
struct tm* GetLocalTm(struct tm* out, const int64_t* time);
