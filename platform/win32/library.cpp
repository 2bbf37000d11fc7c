// Module loading over dlopen: LoadLibraryW, FreeLibrary, GetProcAddress.
#include <dlfcn.h>

#include <cwctype>
#include <map>
#include <string>

#include "standin_control.h"
#include "text_internal.h"
#include "windows.h"

namespace {

struct Loaded {
    std::string path;
    int refs = 0;
};

// Keyed by the dlopen handle, which is the module's HMODULE.
std::map<void*, Loaded>& Modules()
{
    static std::map<void*, Loaded> modules;
    return modules;
}

typedef BOOL (*DllMainFn)(HINSTANCE, DWORD, LPVOID);

void CallDllMain(void* handle, DWORD reason)
{
    if (auto fn = (DllMainFn)dlsym(handle, "DllMain")) fn((HINSTANCE)handle, reason, nullptr);
}

std::wstring LowerFileName(const std::wstring& path)
{
    size_t cut = path.find_last_of(L"\\/");
    std::wstring name = cut == std::wstring::npos ? path : path.substr(cut + 1);
    for (auto& c : name) c = (wchar_t)towlower((wint_t)c);
    return name;
}

}  // namespace

HMODULE LoadLibraryW(LPCWSTR path)
{
    if (!path || !*path) { SetLastError(ERROR_INVALID_PARAMETER); return nullptr; }
    std::string native = standin::NativePath(path);
    void* handle = dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) { SetLastError(ERROR_FILE_NOT_FOUND); return nullptr; }
    Loaded& m = Modules()[handle];
    m.path = native;
    if (m.refs++ == 0) CallDllMain(handle, DLL_PROCESS_ATTACH);
    return (HMODULE)handle;
}

BOOL FreeLibrary(HMODULE module)
{
    auto it = Modules().find((void*)module);
    if (it == Modules().end()) { SetLastError(ERROR_INVALID_HANDLE); return FALSE; }
    if (--it->second.refs == 0) {
        CallDllMain(it->first, DLL_PROCESS_DETACH);
        Modules().erase(it);
    }
    dlclose((void*)module);
    return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    if (!name) return nullptr;
    void* sym = dlsym(module ? (void*)module : RTLD_DEFAULT, name);
    if (!sym) SetLastError(127);  // ERROR_PROC_NOT_FOUND
    return (FARPROC)sym;
}

HMODULE GetModuleHandleW(LPCWSTR name)
{
    if (!name) return (HMODULE)dlopen(nullptr, RTLD_NOW);
    std::wstring wanted = LowerFileName(name);
    for (auto& [handle, m] : Modules()) {
        if (LowerFileName(standin::Utf8ToWide(m.path)) == wanted) return (HMODULE)handle;
    }
    SetLastError(126);  // ERROR_MOD_NOT_FOUND
    return nullptr;
}
