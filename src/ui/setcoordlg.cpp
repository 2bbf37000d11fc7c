#include "ui/setcoordlg.h"

#include "shell/actoolbarwnd.h"

CSetCoorDlg* g_pSetCoorDlg = nullptr;

CSetCoorDlg::CSetCoorDlg(CWnd* parent) : CDialog(IDD, parent) {}

void CSetCoorDlg::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, 8334, infoText);
}

// Closing gives follow mode 3 back to both views.
void CSetCoorDlg::OnClose()
{
    ShowWindow(SW_HIDE);
    g_bFollow3Enabled = 1;
    DestroyWindow();
}

void CSetCoorDlg::PostNcDestroy()
{
    g_bFollow3Enabled = 1;
    if (g_pSetCoorDlg == this) g_pSetCoorDlg = nullptr;
    delete this;
}
