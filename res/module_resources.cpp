#include "module_resources.h"

void RegisterModuleResources(HMODULE module)
{
    standin::AddModuleResources(module, velkres::kPngResources, velkres::kPngResourceCount);
    standin::AddModuleResources(module, velkres::kIconResources, velkres::kIconResourceCount);
    size_t count = 0;
    const standin::ModuleResource* ui = velkres::UiResources(&count);
    standin::AddModuleResources(module, ui, count);
}

void UnregisterModuleResources(HMODULE module) { standin::RemoveModuleResources(module); }
