#include "state/pluginresourcescope.h"

#include "gcapdocmanager.h"
#include "state/modulestate.h"

PluginExtensionModule g_pluginExtension{};

BOOL PluginExtensionModule::AttachInstance(HINSTANCE instance)
{
    if (attached) return 0;
    attached = AfxInitExtensionModule(record, instance);
    if (attached) {
        defaultResource = AfxGetResourceHandle();
        moduleResource = instance;
        new CDynLinkLibrary(record);  // owned by MFC's resource chain
    }
    return attached;
}

void PluginExtensionModule::DetachInstance()
{
    if (!attached) return;
    AfxTermExtensionModule(record, FALSE);
    attached = 0;
}

ModuleResourceOverride::ModuleResourceOverride()
{
    gcDocManagerPtr()->pushResourceHandle(g_pluginExtension.moduleResource);
}

ModuleResourceOverride::~ModuleResourceOverride() { gcDocManagerPtr()->popResourceHandle(); }

PluginResourceScope::PluginResourceScope() { gcDocManagerPtr()->pushResourceHandle(g_hModuleInstance); }

PluginResourceScope::~PluginResourceScope() { gcDocManagerPtr()->popResourceHandle(); }
