// Where the host and the operating system enter the module: the module
// object the host asks for, the DLL entry with the MFC extension module, and
// the globals that exist before anything else runs.
#pragma once

#include <cstdint>

#include "afxwin.h"
#include "odrx_module.h"
#include "windows.h"

// The module's instance (g_hModuleInstance) is in state/modulestate.h.
// Registered window messages the peer posts while it makes map images and
// contour lines.
extern UINT g_mapFileProgressMsg;
extern UINT g_contourProgressMsg;

// Turns the host's load and unload calls into entry messages 1 and 2 of the
// module's exported gcrxEntryPoint.
class Arx2DrxModule : public OdRxModule {
public:
    explicit Arx2DrxModule(HMODULE handle) : handle_(handle) {}
    ~Arx2DrxModule() override;
    static void* operator new(size_t size) noexcept { return odrxAlloc(size); }
    static void operator delete(void* p) { odrxFree(p); }

    void addRef() override { ++refs_; }
    // Lowers the count only: the host deletes the object with deleteModule.
    void release() override { --refs_; }
    void* sysData() override { return handle_; }
    void deleteModule() override;
    void initApp() override { forwardAppMessage(1, this); }
    void uninitApp() override { forwardAppMessage(2, this); }
    OdString moduleName() const override;
    // 3 when the module has no entry point.
    unsigned forwardAppMessage(unsigned message, void* packet);
    int32_t referenceCount() const { return refs_; }

private:
    typedef unsigned (*EntryPoint)(unsigned, void*);
    EntryPoint entryPoint_ = nullptr;
    int32_t refs_ = 0;
    HMODULE handle_;
};

// What odrxCreateModuleObject returns: the one module object, made on the
// first call from the handle in the caller's cell (which is then cleared).
OdRxModule* CreatePluginModuleObject(HMODULE* handleCell);
// The DLL entry: always TRUE.
BOOL PluginDllMain(HINSTANCE instance, DWORD reason);

// The module's place in MFC's resource chain (g_pluginExtension) and
// ModuleResourceOverride are in state/pluginresourcescope.h.

// A dynamic-linker reactor of the module; nothing creates one, and both of
// its events do nothing.
class CAppReactor : public OdRxDLinkerReactor {
public:
    void rxAppLoaded(OdRxModule*) override {}
    void rxAppUnloaded(const OdString&) override {}
};
