#include "gced_cmd.h"

#include <algorithm>
#include <cwctype>
#include <vector>

#include "gcedreactor.h"
#include "gcutprint.h"
#include "standin_control.h"

namespace {

struct Command {
    std::wstring group;
    std::wstring globalName;
    std::wstring localName;
    GcRxFunctionPtr function;
};

// In registration order; lookups take the newest first.
std::vector<Command> g_commands;

standin::ResetHook g_reset([] { g_commands.clear(); });

bool SameText(const std::wstring& a, const wchar_t* b) { return b && wcscasecmp(a.c_str(), b) == 0; }

const Command* Lookup(const std::wstring& name)
{
    for (auto it = g_commands.rbegin(); it != g_commands.rend(); ++it)
        if (SameText(it->globalName, name.c_str()) || SameText(it->localName, name.c_str())) return &*it;
    return nullptr;
}

}  // namespace

int OdEdCommandStack::addCommand(const wchar_t* group, const wchar_t* globalName, const wchar_t* localName, OdInt32,
                                 GcRxFunctionPtr function, void*, int, HINSTANCE, void**)
{
    if (!group || !globalName || !function) return 1;
    for (auto& c : g_commands)
        if (SameText(c.group, group) && SameText(c.globalName, globalName)) return 1;
    g_commands.push_back({group, globalName, localName ? localName : globalName, function});
    return 0;
}

int OdEdCommandStack::removeCmd(const wchar_t* group, const wchar_t* globalName)
{
    for (auto it = g_commands.begin(); it != g_commands.end(); ++it)
        if (SameText(it->group, group) && SameText(it->globalName, globalName)) {
            g_commands.erase(it);
            return 0;
        }
    return 1;
}

int OdEdCommandStack::removeGroup(const wchar_t* group)
{
    size_t before = g_commands.size();
    g_commands.erase(std::remove_if(g_commands.begin(), g_commands.end(),
                                    [group](const Command& c) { return SameText(c.group, group); }),
                     g_commands.end());
    return g_commands.size() < before ? 0 : 1;
}

OdEdCommandStack* odedRegCmds()
{
    static OdEdCommandStack stack;
    return &stack;
}

namespace standin {

namespace {
CommandOutcome g_outcome = CommandOutcome::kEnded;
CommandOutcome g_last = CommandOutcome::kEnded;
int g_depth = 0;
}  // namespace

int CommandDepth() { return g_depth; }

bool InvokeCommand(const std::wstring& name)
{
    // "_LINE" is LINE under its global name.
    if (!name.empty() && name[0] == L'_') return InvokeCommand(name.substr(1));
    bool hostOwn = !name.empty() && name[0] == L'.';
    const Command* c = hostOwn ? nullptr : Lookup(name);
    // Taken before the call: the command may change the stack.
    GcRxFunctionPtr fn = c ? c->function : HostCommand(hostOwn ? name.substr(1) : name);
    if (!fn) return false;
    std::wstring global = c ? c->globalName : hostOwn ? name.substr(1) : name;
    if (!c)
        for (auto& ch : global) ch = (wchar_t)towupper(ch);
    // A command may run another: each keeps its own outcome.
    CommandOutcome outer = g_outcome;
    g_outcome = CommandOutcome::kEnded;
    BreakCommandLine();
    OpenUndoGroup(global, !c, g_depth + 1);
    FireCommandWillStart(global.c_str());
    ++g_depth;
    fn();
    BreakCommandLine();
    g_last = g_outcome;
    switch (g_outcome) {
    case CommandOutcome::kEnded: FireCommandEnded(global.c_str()); break;
    case CommandOutcome::kCancelled: FireCommandCancelled(global.c_str()); break;
    case CommandOutcome::kFailed: FireCommandFailed(global.c_str()); break;
    }
    CloseUndoGroup(g_depth);
    --g_depth;
    g_outcome = outer;
    return true;
}

void SetCommandOutcome(CommandOutcome outcome) { g_outcome = outcome; }
CommandOutcome LastCommandOutcome() { return g_last; }

GcRxFunctionPtr FindHostCommand(const HostCommandEntry* table, size_t count, const std::wstring& name)
{
    for (size_t i = 0; i < count; ++i)
        if (wcscasecmp(table[i].name, name.c_str()) == 0) return table[i].function;
    return nullptr;
}

bool HasCommand(const std::wstring& name) { return Lookup(name) != nullptr; }

std::vector<std::wstring> RegisteredCommands()
{
    std::vector<std::wstring> names;
    for (const Command& c : g_commands) names.push_back(c.globalName);
    return names;
}

std::vector<std::wstring> HostCommandNames(const HostCommandEntry* table, size_t count)
{
    std::vector<std::wstring> names;
    for (size_t i = 0; i < count; ++i) names.push_back(table[i].name);
    return names;
}

std::wstring CommandGroup(const std::wstring& name)
{
    const Command* c = Lookup(name);
    return c ? c->group : std::wstring();
}

}  // namespace standin
