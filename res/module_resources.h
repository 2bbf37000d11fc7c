// The module's resource tables. On Windows the resource compiler links them
// into the module; here the module registers them against its own handle
// when it is loaded, and FindResourceW finds them there.
#pragma once

#include "windows.h"

namespace velkres {

// Type "PNG", language 0x804: 8315 the default icon, 10000 + n icon n.
extern const standin::ModuleResource kPngResources[];
extern const size_t kPngResourceCount;
// The toolbar's icon groups and their icon images.
extern const standin::ModuleResource kIconResources[];
extern const size_t kIconResourceCount;
// Dialog templates (DLGTEMPLATEEX) and the string table.
const standin::ModuleResource* UiResources(size_t* count);

}  // namespace velkres

// Registers every resource table of the module against `module`.
void RegisterModuleResources(HMODULE module);
// Forgets them again, when the module is unloaded.
void UnregisterModuleResources(HMODULE module);
