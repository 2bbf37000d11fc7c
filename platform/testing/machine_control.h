// Control interface of the stand-in machine's files, folders, registry and
// disk, for tests and the stand-in host. ResetMachine creates the standard
// folders below; the paths are Windows paths inside the machine root.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "windows.h"

namespace standin {

// The standard folders and files of every machine.
extern const wchar_t* const kLocalAppDataFolder;  // C:\Users\user\AppData\Local (CSIDL 28)
extern const wchar_t* const kAppDataFolder;       // C:\Users\user\AppData\Roaming (CSIDL 26)
extern const wchar_t* const kTempFolder;          // C:\Temp\ (GetTempPathW, with the backslash)
extern const wchar_t* const kHostExePath;         // C:\Program Files\CadHost\cadhost.exe
extern const wchar_t* const kModulePath;          // C:\Program Files\CadHost\Plugins\Velk\VelkGrx2020(x64).grx

// The handle under which the module is loaded (GetModuleFileNameW of it gives
// kModulePath). The stand-in host passes it to the module's entry.
HMODULE ModuleHandle();
// Makes GetModuleFileNameW of ModuleHandle() give this path (any length)
// until the next reset, which puts kModulePath back. No folder is created.
void SetModulePath(const std::wstring& windowsPath);

// Drive `letter` stands for a native folder outside the machine root until
// the next reset, as a network drive shared by machines does. Links in it
// may lead anywhere in it or in the machine.
void MapDrive(wchar_t letter, const std::string& nativeFolder);

// Sets or clears the read-only attribute of a file or folder.
bool SetReadOnly(const std::wstring& windowsPath, bool readOnly);

// Free space reported by GetDiskFreeSpaceExW (100 GiB on a new machine).
void SetDiskFreeBytes(uint64_t bytes);
// GetDiskFreeSpaceExW fails (ERROR_NOT_READY), as for a volume that cannot
// be asked.
void SetDiskFreeSpaceQueryFails(bool fails);

// Registry contents. Keys are "Software\\Maker\\Program" under a root; names
// and keys compare without case. REG_SZ data is WCHAR text with its terminator.
void SetRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
                      const std::vector<BYTE>& data);
void SetRegistryString(HKEY root, const std::wstring& key, const std::wstring& name,
                       const std::wstring& value);
void SetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);
void DeleteRegistryKey(HKEY root, const std::wstring& key);
// A key (and the keys below it) the user may only read: opening it asking
// for any other right fails with ERROR_ACCESS_DENIED.
void SetRegistryKeyReadOnly(HKEY root, const std::wstring& key, bool readOnly);
// Keys opened and not closed.
int OpenRegistryKeyCount();

}  // namespace standin
