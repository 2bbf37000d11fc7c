#include "gcutprint.h"

#include "standin_control.h"

namespace {
std::wstring g_commandLine;
standin::ResetHook g_reset([] { g_commandLine.clear(); });
}  // namespace

int gcutPrintf(const wchar_t* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    std::wstring s = FormatMsvcV(fmt, ap);
    va_end(ap);
    g_commandLine += s;
    return (int)s.size();
}

namespace standin {
const std::wstring& CommandLineText() { return g_commandLine; }
void ClearCommandLine() { g_commandLine.clear(); }
}  // namespace standin
