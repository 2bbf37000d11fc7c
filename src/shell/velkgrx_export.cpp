// The module's exported entry points.
#include "shell/moduleentry.h"
#include "shell/velkarxapp.h"

extern "C" {

OdRxModule* odrxCreateModuleObject(HMODULE* handleCell) { return CreatePluginModuleObject(handleCell); }

void odrxGetAPIVersion(OdUInt32* major, OdUInt32* minor, OdUInt32* build, OdUInt32* revision)
{
    *major = 3;
    *minor = 5;
    *build = 0;
    *revision = 0;
}

unsigned gcrxEntryPoint(unsigned message, void* packet) { return theApp.DispatchAppMessage(message, packet); }

BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID) { return PluginDllMain(instance, reason); }

}  // extern "C"
