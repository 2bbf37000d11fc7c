#include "gcutprint.h"

#include "standin_control.h"

namespace {
std::wstring g_commandLine;
std::vector<size_t> g_breaks;
standin::ResetHook g_reset([] {
    g_commandLine.clear();
    g_breaks.clear();
});
}  // namespace

int gcutPrintf(const wchar_t* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    std::wstring s = FormatMsvcV(fmt, ap);
    va_end(ap);
    // Each message is an event of its own on the host's command line.
    standin::BreakCommandLine();
    g_commandLine += s;
    return (int)s.size();
}

namespace standin {
const std::wstring& CommandLineText() { return g_commandLine; }
void ClearCommandLine()
{
    g_commandLine.clear();
    g_breaks.clear();
}
const std::vector<size_t>& CommandLineBreaks() { return g_breaks; }
void BreakCommandLine()
{
    if (g_breaks.empty() || g_breaks.back() != g_commandLine.size()) g_breaks.push_back(g_commandLine.size());
}
}  // namespace standin
