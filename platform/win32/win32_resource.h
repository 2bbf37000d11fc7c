// Win32 stand-in: resources a module carries.
#pragma once

#include <cstddef>

#include "win32_types.h"
#include "win32_window.h"  // MAKEINTRESOURCEW, IS_INTRESOURCE

#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)

#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L

// Finds the resource of the given name (an integer id) and type (a text
// such as L"PNG", compared without regard to case, or an integer type) in
// the module's resources; null when it has none.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
// The resource's size in bytes; 0 for an unknown resource.
DWORD SizeofResource(HMODULE module, HRSRC resource);
// A handle to the resource's bytes; null for an unknown resource.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// The resource's bytes, read-only, valid as long as the module is loaded.
LPVOID LockResource(HGLOBAL resource);
// Obsolete; frees nothing and returns FALSE.
BOOL FreeResource(HGLOBAL resource);

namespace standin {

// One resource of a module's resource table. `type` is a text or an
// integer type made with MAKEINTRESOURCEW; the bytes stay where they are.
struct ModuleResource {
    LPCWSTR type;
    WORD id;
    WORD language;
    const BYTE* bytes;
    DWORD size;
};

// Adds a table to the resources of `module`: its code, which carries the
// table, registers it when it is loaded. The table must outlive the
// registration; adding the same table twice has no effect. Resources belong
// to the loaded code, not to the machine, so a machine reset keeps them.
void AddModuleResources(HMODULE module, const ModuleResource* table, size_t count);
// Forgets every table of `module`, as when it is unloaded.
void RemoveModuleResources(HMODULE module);

}  // namespace standin
