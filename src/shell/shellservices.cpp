#include "shell/shellservices.h"

#include "shell/actoolbarwnd.h"
#include "shell/messagedlg.h"
#include "state/shellservices.h"

namespace {

// Holds nothing: each call looks for the window it needs at that moment.
class ShellWindows : public ShellServices {
public:
    void OnLoadOnlineMap() override
    {
        if (CAcToolBarWnd* bar = GetToolBarWnd()) bar->OnLoadOnlineMap();
    }
    void SetSectionButtonState(int on) override
    {
        if (CAcToolBarWnd* bar = GetToolBarWnd()) bar->SetSectionButtonState(on);
    }
    HWND ReceiverWindow() override { return g_pMessageDlg ? g_pMessageDlg->GetSafeHwnd() : nullptr; }
    void SetReceiverTimer(UINT_PTR id, UINT elapseMs) override
    {
        if (g_pMessageDlg) g_pMessageDlg->SetTimer(id, elapseMs, nullptr);
    }
};

ShellWindows g_shellWindows;

}  // namespace

void InstallShellServices() { g_pShellServices = &g_shellWindows; }
