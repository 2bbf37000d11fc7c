// Control interface of the stand-ins, for tests and the stand-in host: the
// machine root folder, the virtual clock and the reset between tests.
//
// Windows paths are mapped into the machine root: "C:\a\b" is
// <root>/C/a/b. A path that is already a native absolute path ("/...") is
// used as it stands; any other path has its backslashes turned into slashes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace standin {

void SetMachineRoot(const std::string& nativeDir);
const std::string& MachineRoot();

std::string NativePath(std::wstring_view windowsPath);
std::string NativePathUtf8(std::string_view windowsPathUtf8);

// Milliseconds on the virtual clock; GetTickCount and timers read it.
uint64_t ClockMs();
void SetClockMs(uint64_t ms);

// Each stand-in component registers a hook that puts its state back to that
// of a new machine. ResetMachine sets the root, then runs every hook.
void AddResetHook(void (*hook)());
void ResetMachine(const std::string& nativeRoot);

// Registers a reset hook from a static object: `static standin::ResetHook h(&Fn);`
struct ResetHook {
    explicit ResetHook(void (*hook)()) { AddResetHook(hook); }
};

}  // namespace standin
