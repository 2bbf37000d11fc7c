#include "base/runcommand.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

static int32_t RunCommandLineV(const char* program, const char* format, va_list args)
{
    char line[1000];
    const int head = snprintf(line, sizeof line, "\"%s\" ", program);
    if (head < 0 || head >= (int)sizeof line) return 0;
    const int tail = vsnprintf(line + head, sizeof line - (size_t)head, format, args);
    if (tail < 0 || tail >= (int)(sizeof line - (size_t)head)) return 0;
    // The command's own exit status is not reported.
    (void)system(line);
    return 1;
}

int32_t RunCommandLine(const char* program, int32_t /*number*/, int32_t /*flag*/, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int32_t result = RunCommandLineV(program, format, args);
    va_end(args);
    return result;
}

int32_t RunProgram(const char* program, int32_t /*number*/, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int32_t result = RunCommandLineV(program, format, args);
    va_end(args);
    return result;
}

int32_t RunProgramNoFlag(const char* program, int32_t /*number*/, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int32_t result = RunCommandLineV(program, format, args);
    va_end(args);
    return result;
}
