#include "base/baselog.h"

#include <string>

#include "base/basefile.h"
#include "windows.h"

void WriteLogLine(const char* path, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLogLineV(path, format, args);
    va_end(args);
}

void WriteLogLineV(const char* path, const char* format, va_list args)
{
    struct tm now;
    GetLocalTm(&now, nullptr);
    // Binary append with explicit CR LF, so every platform writes the same bytes.
    FILE* f = FopenUtf8(path, "ab");
    if (!f) return;
    char prefix[64];
    snprintf(prefix, sizeof prefix, "[%04d/%02d/%02d %02d:%02d:%02d]  ", now.tm_year + 1900, now.tm_mon + 1,
             now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec);
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(n > 0 ? (size_t)n : 0, '\0');
    if (n > 0) vsnprintf(&text[0], text.size() + 1, format, args);
    std::string line = prefix;
    for (char c : text + "\n") {
        if (c == '\n') line += '\r';
        line += c;
    }
    fwrite(line.data(), 1, line.size(), f);
    fclose(f);
}

struct tm* GetLocalTm(struct tm* out, const int64_t* time)
{
    struct tm local;
    memset(&local, 0, sizeof local);
    __time64_t t = time ? *time : _time64(nullptr);
    struct tm converted;
    if (_localtime64_s(&converted, &t) == 0) local = converted;
    *out = local;
    return out;
}
