// Makes the plug-in's resources the current ones for its lifetime, so that
// a dialog built inside finds the plug-in's template before the host's.
#pragma once

class PluginResourceScope {
public:
    PluginResourceScope();
    ~PluginResourceScope();
    PluginResourceScope(const PluginResourceScope&) = delete;
    PluginResourceScope& operator=(const PluginResourceScope&) = delete;
};
