#include "module_resources.h"

void RegisterModuleResources(HMODULE module)
{
    standin::AddModuleResources(module, velkres::kPngResources, velkres::kPngResourceCount);
}

void UnregisterModuleResources(HMODULE module) { standin::RemoveModuleResources(module); }
