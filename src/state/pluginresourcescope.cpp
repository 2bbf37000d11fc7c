#include "state/pluginresourcescope.h"

#include "gcapdocmanager.h"
#include "shell/moduleentry.h"

PluginResourceScope::PluginResourceScope() { gcDocManagerPtr()->pushResourceHandle(g_hModuleInstance); }

PluginResourceScope::~PluginResourceScope() { gcDocManagerPtr()->popResourceHandle(); }
