#include "shell/moduleentry.h"

#include "gcapdocmanager.h"
#include "gcui_dll.h"
#include "module_resources.h"
#include "state/modulestate.h"
#include "state/pluginresourcescope.h"

// Registered before anything else runs, the map file's first.
UINT g_mapFileProgressMsg = RegisterWindowMessageW(L"R_VELK_API_MSG_GET_MAP_FILE_PROGRESS");
UINT g_contourProgressMsg = RegisterWindowMessageW(L"R_VELK_API_MSG_GET_CONTOUR_LINE_PROGRESS");

namespace {
Arx2DrxModule* g_moduleSingleton = nullptr;
}  // namespace

Arx2DrxModule::~Arx2DrxModule() { entryPoint_ = nullptr; }

void Arx2DrxModule::deleteModule()
{
    g_moduleSingleton = nullptr;
    delete this;
}

OdString Arx2DrxModule::moduleName() const
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(handle_, path, MAX_PATH);
    return OdString(path);
}

unsigned Arx2DrxModule::forwardAppMessage(unsigned message, void* packet)
{
    if (!entryPoint_) {
        FARPROC fn = GetProcAddress(handle_, "gcrxEntryPoint");
        if (!fn) fn = GetProcAddress(handle_, "acrxEntryPoint");
        entryPoint_ = (EntryPoint)(void*)fn;
    }
    return entryPoint_ ? entryPoint_(message, packet) : 3;
}

OdRxModule* CreatePluginModuleObject(HMODULE* handleCell)
{
    if (g_moduleSingleton) return g_moduleSingleton;
    g_moduleSingleton = new Arx2DrxModule(handleCell ? *handleCell : nullptr);
    // The object owns the handle from now on; without an object the caller
    // keeps it.
    if (g_moduleSingleton && handleCell) *handleCell = nullptr;
    return g_moduleSingleton;
}

BOOL PluginDllMain(HINSTANCE instance, DWORD reason)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_hModuleInstance = instance;
        RegisterModuleResources(instance);
        g_pluginExtension.AttachInstance(instance);
        InitGcUiDLL();
    } else if (reason == DLL_PROCESS_DETACH) {
        g_pluginExtension.DetachInstance();
        UnregisterModuleResources(instance);
    }
    return TRUE;
}
