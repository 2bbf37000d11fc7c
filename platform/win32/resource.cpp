// Win32 stand-in: resources, over tables the modules register.
#include <cwctype>
#include <map>
#include <utility>
#include <vector>

#include "windows.h"

namespace {

typedef std::pair<const standin::ModuleResource*, size_t> Table;

std::map<HMODULE, std::vector<Table>>& Modules()
{
    static std::map<HMODULE, std::vector<Table>> modules;
    return modules;
}

bool SameType(LPCWSTR a, LPCWSTR b)
{
    if (IS_INTRESOURCE(a) || IS_INTRESOURCE(b)) return a == b;
    while (*a && towupper(*a) == towupper(*b)) ++a, ++b;
    return towupper(*a) == towupper(*b);
}

// The entry `resource` points at, when it is one of the module's.
const standin::ModuleResource* Entry(HMODULE module, HRSRC resource)
{
    auto found = Modules().find(module);
    if (found == Modules().end() || !resource) return nullptr;
    auto entry = (const standin::ModuleResource*)resource;
    for (const Table& table : found->second)
        if (entry >= table.first && entry < table.first + table.second) return entry;
    return nullptr;
}

}  // namespace

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    auto found = Modules().find(module);
    if (found == Modules().end()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (!name || !type || !IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    WORD id = (WORD)(ULONG_PTR)name;
    bool typeFound = false;
    for (const Table& table : found->second) {
        for (size_t i = 0; i < table.second; ++i) {
            const standin::ModuleResource& entry = table.first[i];
            if (!SameType(entry.type, type)) continue;
            typeFound = true;
            if (entry.id == id) return (HRSRC)&entry;
        }
    }
    SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

DWORD SizeofResource(HMODULE module, HRSRC resource)
{
    const standin::ModuleResource* entry = Entry(module, resource);
    if (!entry) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return entry->size;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource)
{
    const standin::ModuleResource* entry = Entry(module, resource);
    if (!entry) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return (HGLOBAL)entry->bytes;
}

LPVOID LockResource(HGLOBAL resource) { return resource; }

BOOL FreeResource(HGLOBAL) { return FALSE; }

namespace standin {

void AddModuleResources(HMODULE module, const ModuleResource* table, size_t count)
{
    std::vector<Table>& tables = Modules()[module];
    for (const Table& t : tables)
        if (t.first == table) return;
    tables.emplace_back(table, count);
}

void RemoveModuleResources(HMODULE module) { Modules().erase(module); }

}  // namespace standin
