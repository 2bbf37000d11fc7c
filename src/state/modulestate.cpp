#include "state/modulestate.h"

#include "state/reactorflags.h"
#include "state/shellservices.h"

HINSTANCE g_hModuleInstance = nullptr;
int32_t g_bLinkActive = 1;
int32_t g_pluginVersion = 162;
uint8_t g_bFollow3Enabled = 1;
double g_levelResolutionX[29] = {};
double g_levelResolutionY[29] = {};
bool g_bMatchOnly = false;
int32_t g_matchValues[2] = {0, 0};
bool g_bTileGuard = false;
ViewExtents g_lastViewMatchExtents;

EditorReactorFlags* g_pEditorReactor = nullptr;

ShellServices* g_pShellServices = nullptr;

void PressOnlineMapButton()
{
    if (g_pShellServices) g_pShellServices->OnLoadOnlineMap();
}

void SetSectionButtonState(int on)
{
    if (g_pShellServices) g_pShellServices->SetSectionButtonState(on);
}

void SetReceiverTimer(UINT_PTR id, UINT elapseMs)
{
    if (g_pShellServices) g_pShellServices->SetReceiverTimer(id, elapseMs);
}

HWND ReceiverWindow() { return g_pShellServices ? g_pShellServices->ReceiverWindow() : nullptr; }
