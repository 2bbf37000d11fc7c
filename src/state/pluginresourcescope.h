// The module's resources: its place in MFC's resource chain, and the scopes
// that make them the current ones while a dialog or a toolbar is built, so
// that the plug-in's template is found before a host template of the same id.
#pragma once

#include "afxwin.h"
#include "windows.h"

// The module's place in MFC's resource chain.
struct PluginExtensionModule {
    BOOL attached;
    HINSTANCE defaultResource;
    HINSTANCE moduleResource;
    AFX_EXTENSION_MODULE record;

    // 0 when already attached.
    BOOL AttachInstance(HINSTANCE instance);
    void DetachInstance();
};
extern PluginExtensionModule g_pluginExtension;

// Puts the module's resources first while it lives (around MFC work that
// loads them), on the host document manager's stack of resource handles.
class ModuleResourceOverride {
public:
    ModuleResourceOverride();
    ~ModuleResourceOverride();
    ModuleResourceOverride(const ModuleResourceOverride&) = delete;
    ModuleResourceOverride& operator=(const ModuleResourceOverride&) = delete;
};

// Makes the plug-in's resources the current ones for its lifetime, on the
// same stack, through the module's instance handle.
class PluginResourceScope {
public:
    PluginResourceScope();
    ~PluginResourceScope();
    PluginResourceScope(const PluginResourceScope&) = delete;
    PluginResourceScope& operator=(const PluginResourceScope&) = delete;
};
