// Shared test support: every test starts on a new stand-in machine whose
// root is a fresh folder, removed after the test.
#pragma once

#include <string>

namespace velktest {

// The native folder standing for this test's machine.
const std::string& MachineRoot();
// Writes bytes to a native path, creating parent folders.
void WriteNativeFile(const std::string& nativePath, const std::string& bytes);
// Reads a whole native file; empty when missing.
std::string ReadNativeFile(const std::string& nativePath);
bool NativeExists(const std::string& nativePath);

}  // namespace velktest
