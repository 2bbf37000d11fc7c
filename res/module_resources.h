// The module's resource tables. On Windows the resource compiler links them
// into the module; here the module registers them against its own handle
// when it is loaded, and FindResourceW finds them there.
#pragma once

#include "windows.h"

namespace velkres {

// Type "PNG", language 0x804: 8315 the default icon, 10000 + n icon n.
extern const standin::ModuleResource kPngResources[];
extern const size_t kPngResourceCount;

}  // namespace velkres

// Registers every resource table of the module against `module`.
void RegisterModuleResources(HMODULE module);
// Forgets them again, when the module is unloaded.
void UnregisterModuleResources(HMODULE module);
