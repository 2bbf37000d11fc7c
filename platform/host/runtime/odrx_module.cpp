#include "odrx_module.h"

#include <algorithm>
#include <cstdlib>

#include "standin_control.h"

namespace {

std::vector<standin::LoadedModuleRecord> g_loaded;
int g_unlockCalls = 0;
int g_mdiAwareCalls = 0;

standin::ResetHook g_reset([] {
    g_unlockCalls = 0;
    g_mdiAwareCalls = 0;
});

typedef OdRxModule* (*CreateModuleFn)(HMODULE*);
typedef void (*ApiVersionFn)(OdUInt32*, OdUInt32*, OdUInt32*, OdUInt32*);

}  // namespace

void* odrxAlloc(size_t size) { return malloc(size); }
void odrxFree(void* p) { free(p); }

void OdRxDynamicLinker::unlockApplication(void*) { ++g_unlockCalls; }

bool OdRxDynamicLinker::registerAppMDIAware(void*)
{
    ++g_mdiAwareCalls;
    return true;
}

OdRxModule* OdRxDynamicLinker::loadModule(const OdString& path)
{
    HMODULE handle = LoadLibraryW(path.c_str());
    if (!handle) return nullptr;
    auto create = (CreateModuleFn)(void*)GetProcAddress(handle, "odrxCreateModuleObject");
    auto version = (ApiVersionFn)(void*)GetProcAddress(handle, "odrxGetAPIVersion");
    if (!create || !version) {
        FreeLibrary(handle);
        return nullptr;
    }
    // The module object takes over the handle and clears the host's cell.
    HMODULE cell = handle;
    OdRxModule* module = create(&cell);
    if (!module) {
        FreeLibrary(handle);
        return nullptr;
    }
    standin::LoadedModuleRecord rec{path.str(), {0, 0, 0, 0}, module, handle};
    version(&rec.apiVersion[0], &rec.apiVersion[1], &rec.apiVersion[2], &rec.apiVersion[3]);
    g_loaded.push_back(rec);
    module->initApp();
    return module;
}

bool OdRxDynamicLinker::unloadModule(OdRxModule* module)
{
    auto it = std::find_if(g_loaded.begin(), g_loaded.end(),
                           [module](const standin::LoadedModuleRecord& r) { return r.module == module; });
    if (it == g_loaded.end()) return false;
    HMODULE handle = it->handle;
    g_loaded.erase(it);
    module->uninitApp();
    module->deleteModule();
    FreeLibrary(handle);
    return true;
}

OdRxDynamicLinker* odrxDynamicLinker()
{
    static OdRxDynamicLinker linker;
    return &linker;
}

namespace standin {
const std::vector<LoadedModuleRecord>& LoadedModules() { return g_loaded; }
int UnlockApplicationCalls() { return g_unlockCalls; }
int RegisterAppMDIAwareCalls() { return g_mdiAwareCalls; }
}  // namespace standin
