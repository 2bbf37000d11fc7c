// Shared test support: every test starts on a new stand-in machine whose
// root is a fresh folder, removed after the test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "oddbdatabase.h"
#include "oddbentity.h"
#include "windows.h"

namespace velktest {

// The native folder standing for this test's machine.
const std::string& MachineRoot();
// Writes bytes to a native path, creating parent folders.
void WriteNativeFile(const std::string& nativePath, const std::string& bytes);
// Reads a whole native file; empty when missing.
std::string ReadNativeFile(const std::string& nativePath);
bool NativeExists(const std::string& nativePath);

// A window of the module's receiver class "VelkArxWin" with the given
// procedure, where the stand-in peer sends its data answers.
HWND CreateReceiverWindow(WNDPROC proc);

// Appends `e` to model space, or to the block `owner`, and closes it; the
// test fails (and `e` is deleted) when the block does not open.
OdDbObjectId AppendEntity(OdDbDatabase* db, OdDbEntity* e, OdDbObjectId owner = OdDbObjectId());

// A value of type T at a byte offset, as the bytes hold it; zero when the
// bytes end before it.
template <class T>
T ReadAt(const std::vector<uint8_t>& bytes, size_t offset)
{
    T v{};
    if (offset <= bytes.size() && sizeof(T) <= bytes.size() - offset) memcpy(&v, bytes.data() + offset, sizeof(T));
    return v;
}

}  // namespace velktest
