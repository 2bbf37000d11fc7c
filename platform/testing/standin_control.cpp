#include "standin_control.h"

#include <vector>

#include "text_internal.h"

namespace standin {
namespace {

std::string& Root()
{
    static std::string root = "/tmp/velk-machine";
    return root;
}

std::vector<void (*)()>& Hooks()
{
    static std::vector<void (*)()> hooks;
    return hooks;
}

uint64_t g_clockMs = 0;

}  // namespace

void SetMachineRoot(const std::string& nativeDir)
{
    Root() = nativeDir;
    while (Root().size() > 1 && Root().back() == '/') Root().pop_back();
}

const std::string& MachineRoot() { return Root(); }

std::string NativePathUtf8(std::string_view p)
{
    if (!p.empty() && p[0] == '/') return std::string(p);
    std::string out;
    size_t i = 0;
    if (p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'))) {
        char drive = (char)(p[0] & ~0x20);
        out = Root() + "/" + drive;
        i = 2;
        if (i < p.size() && p[i] != '\\' && p[i] != '/') out += '/';
    } else if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
        out = Root() + "/UNC";
        i = 1;
    } else if (!p.empty() && p[0] == '\\') {
        out = Root() + "/C";
    }
    for (; i < p.size(); ++i) out += p[i] == '\\' ? '/' : p[i];
    return out;
}

std::string NativePath(std::wstring_view p) { return NativePathUtf8(WideToUtf8(p)); }

uint64_t ClockMs() { return g_clockMs; }
void SetClockMs(uint64_t ms) { g_clockMs = ms; }

void AddResetHook(void (*hook)()) { Hooks().push_back(hook); }

void ResetMachine(const std::string& nativeRoot)
{
    SetMachineRoot(nativeRoot);
    g_clockMs = 0;
    for (auto hook : Hooks()) hook();
}

}  // namespace standin
