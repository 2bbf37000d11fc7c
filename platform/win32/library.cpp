// Module loading over dlopen: LoadLibraryW, FreeLibrary, GetProcAddress.
#include <dlfcn.h>

#include <cwctype>
#include <map>
#include <string>
#include <vector>

#include "machine_control.h"
#include "standin_control.h"
#include "text_internal.h"
#include "windows.h"

namespace {

struct Loaded {
    void* handle = nullptr;  // dlopen's
    std::string path;
    int refs = 0;
};

// Keyed by HMODULE: the machine's plug-in module has the handle under which
// GetModuleFileNameW knows it; any other module is known by its dlopen handle.
std::map<HMODULE, Loaded>& Modules()
{
    static std::map<HMODULE, Loaded> modules;
    return modules;
}

typedef BOOL (*DllMainFn)(HINSTANCE, DWORD, LPVOID);

void CallDllMain(void* handle, HMODULE module, DWORD reason)
{
    if (auto fn = (DllMainFn)dlsym(handle, "DllMain")) fn((HINSTANCE)module, reason, nullptr);
}

std::wstring LowerFileName(const std::wstring& path)
{
    size_t cut = path.find_last_of(L"\\/");
    std::wstring name = cut == std::wstring::npos ? path : path.substr(cut + 1);
    for (auto& c : name) c = (wchar_t)towlower((wint_t)c);
    return name;
}

// The path is the one the machine's module is known by.
bool IsMachineModule(const wchar_t* path)
{
    std::vector<wchar_t> known(32768);  // the longest path the machine has
    return GetModuleFileNameW(standin::ModuleHandle(), known.data(), (DWORD)known.size()) > 0 &&
           wcscasecmp(path, known.data()) == 0;
}

}  // namespace

HMODULE LoadLibraryW(LPCWSTR path)
{
    if (!path || !*path) { SetLastError(ERROR_INVALID_PARAMETER); return nullptr; }
    std::string native = standin::NativePath(path);
    if (native.empty()) { SetLastError(ERROR_ACCESS_DENIED); return nullptr; }  // not on the machine
    void* handle = dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) { SetLastError(ERROR_FILE_NOT_FOUND); return nullptr; }
    HMODULE module = IsMachineModule(path) ? standin::ModuleHandle() : (HMODULE)handle;
    Loaded& m = Modules()[module];
    m.handle = handle;
    m.path = native;
    if (m.refs++ == 0) CallDllMain(handle, module, DLL_PROCESS_ATTACH);
    return module;
}

BOOL FreeLibrary(HMODULE module)
{
    auto it = Modules().find(module);
    if (it == Modules().end()) { SetLastError(ERROR_INVALID_HANDLE); return FALSE; }
    void* handle = it->second.handle;
    if (--it->second.refs == 0) {
        CallDllMain(handle, module, DLL_PROCESS_DETACH);
        Modules().erase(it);
    }
    dlclose(handle);
    return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    if (!name) return nullptr;
    auto it = Modules().find(module);
    void* handle = it != Modules().end() ? it->second.handle
                   : !module || module == GetModuleHandleW(nullptr) ? RTLD_DEFAULT
                                                                    : nullptr;
    if (!handle) { SetLastError(126); return nullptr; }  // ERROR_MOD_NOT_FOUND
    void* sym = dlsym(handle, name);
    if (!sym) SetLastError(127);  // ERROR_PROC_NOT_FOUND
    return (FARPROC)sym;
}

HMODULE GetModuleHandleW(LPCWSTR name)
{
    if (!name) {
        static void* program = dlopen(nullptr, RTLD_NOW);
        return (HMODULE)program;
    }
    std::wstring wanted = LowerFileName(name);
    for (auto& [module, m] : Modules()) {
        if (LowerFileName(standin::Utf8ToWide(m.path)) == wanted) return module;
    }
    SetLastError(126);  // ERROR_MOD_NOT_FOUND
    return nullptr;
}
