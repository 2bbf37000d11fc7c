// Control interface of the stand-ins, for tests and the stand-in host: the
// machine root folder, the virtual clock and the reset between tests.
//
// Windows paths are mapped into the machine root: "C:\a\b" is
// <root>/C/a/b, "\\server\share\a" is <root>/UNC/server/share/a.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace standin {

void SetMachineRoot(const std::string& nativeDir);
const std::string& MachineRoot();

// The native path of a Windows path, completed and cleaned as Windows does
// it: a relative path or one without a drive starts from the current
// directory (C:\Program Files\CadHost on a new machine), ".." stops at a
// drive's root or a share, and both separators count, so "/tmp/x" is
// C:\tmp\x. Empty when the path can name nothing inside the machine: a
// device path, or a symbolic link on the way (the last part's included) that
// leads out of the machine root.
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
