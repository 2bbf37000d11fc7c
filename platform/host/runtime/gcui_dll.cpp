#include "gcui_dll.h"

#include "standin_control.h"

namespace {
int g_initCalls = 0;
standin::ResetHook g_reset([] { g_initCalls = 0; });
}  // namespace

void InitGcUiDLL() { ++g_initCalls; }

namespace standin {
int GcUiInitCalls() { return g_initCalls; }
}  // namespace standin
