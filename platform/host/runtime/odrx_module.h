// Host SDK stand-in: the runtime's module interface, its allocator and its
// dynamic linker, which loads plug-in modules the way the host does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "odstring.h"
#include "windows.h"

typedef uint32_t OdUInt32;
typedef int32_t OdInt32;

void* odrxAlloc(size_t size);
void odrxFree(void* p);

// What the host calls on a loaded module's object.
class OdRxModule {
public:
    virtual ~OdRxModule() = default;
    virtual void addRef() = 0;
    virtual void release() = 0;
    // The module's handle (its HMODULE).
    virtual void* sysData() = 0;
    // Called by the host when it lets the module go; the object deletes itself.
    virtual void deleteModule() = 0;
    virtual void initApp() = 0;
    virtual void uninitApp() = 0;
    virtual OdString moduleName() const = 0;
};

// Told when the dynamic linker loads and unloads application modules.
class OdRxDLinkerReactor {
public:
    virtual ~OdRxDLinkerReactor() = default;
    virtual void rxAppLoaded(OdRxModule* /*module*/) {}
    virtual void rxAppUnloaded(const OdString& /*moduleName*/) {}
};

class OdRxDynamicLinker {
public:
    void unlockApplication(void* appId);
    bool registerAppMDIAware(void* appId);
    // Loads the module file: the operating system's load (DllMain), then
    // odrxCreateModuleObject, odrxGetAPIVersion and initApp. Null when the
    // file does not load or is no module.
    OdRxModule* loadModule(const OdString& path);
    // uninitApp, deleteModule, then the operating system's unload.
    bool unloadModule(OdRxModule* module);
};
OdRxDynamicLinker* odrxDynamicLinker();

namespace standin {

struct LoadedModuleRecord {
    std::wstring path;
    OdUInt32 apiVersion[4];
    OdRxModule* module;
    HMODULE handle;
};
// Modules loaded through the dynamic linker and not unloaded yet.
const std::vector<LoadedModuleRecord>& LoadedModules();
// Calls of unlockApplication and registerAppMDIAware since the reset.
int UnlockApplicationCalls();
int RegisterAppMDIAwareCalls();

}  // namespace standin
