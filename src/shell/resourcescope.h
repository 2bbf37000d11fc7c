// The plug-in's resources for the span of a scope: dialogs built and shown
// inside one find their templates in the module first.
#pragma once

#include "gcapdocmanager.h"
#include "shell/moduleentry.h"

class PluginResourceScope {
public:
    PluginResourceScope()
    {
        if (GcApDocManager* manager = gcDocManagerPtr()) {
            manager->pushResourceHandle(g_hModuleInstance);
            pushed_ = true;
        }
    }
    ~PluginResourceScope()
    {
        if (GcApDocManager* manager = gcDocManagerPtr(); manager && pushed_) manager->popResourceHandle();
    }
    PluginResourceScope(const PluginResourceScope&) = delete;
    PluginResourceScope& operator=(const PluginResourceScope&) = delete;

private:
    bool pushed_ = false;
};
