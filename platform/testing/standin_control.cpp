#include "standin_control.h"

#include <vector>

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
