#include "state/modulestate.h"
#include "ui/hintdialogs.h"


namespace {
const int kCheckNoMore = 8351;
const int kHintText = 8137;
const int kMsgText = 8138;
const int kMsgNoMore = 8354;
const int kShownText = 8217;
const int kHelpText = 8326;
}  // namespace

CString VersionText(int version)
{
    CString text;
    text.Format(L"V%d.%d.%d", version / 100, version % 100 / 10, version % 10);
    return text;
}

CDlgHint::CDlgHint(CWnd* owner) : CDialog(IDD, owner), m_strTitle(L"更新提示"), m_strCheckText(L"不再提示(不更新)") {}

void CDlgHint::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Check(dx, kCheckNoMore, m_bNoMore);
    DDX_Text(dx, kHintText, m_strText);
}

BOOL CDlgHint::OnInitDialog()
{
    SetWindowText(m_strTitle);
    SetDlgItemText(kCheckNoMore, m_strCheckText);
    UpdateData(FALSE);
    return CDialog::OnInitDialog();
}

// Both buttons take the check box back before the dialog ends.
void CDlgHint::OnOK()
{
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDlgHint::OnCancel()
{
    UpdateData(TRUE);
    EndDialog(IDCANCEL);
}

CDlgMsg::CDlgMsg(CWnd* owner) : CDialog(IDD, owner) {}

void CDlgMsg::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, kMsgText, m_strText);
}

BOOL CDlgMsg::OnInitDialog()
{
    UpdateData(FALSE);
    return CDialog::OnInitDialog();
}

BOOL CDlgMsg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == kMsgNoMore) {
        m_bNoMore = 1;
        EndDialog(IDOK);
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

CDlgShowMSg::CDlgShowMSg(CWnd* owner) : CDialog(IDD, owner) {}

void CDlgShowMSg::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, kShownText, m_strShown);
}

BOOL CDlgShowMSg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWindowText(m_strTitle);
    m_strShown = m_strText;
    UpdateData(FALSE);
    return TRUE;
}

CDlgHelp::CDlgHelp(CWnd* owner) : CDialog(IDD, owner) {}

void CDlgHelp::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, kHelpText, m_strText);
}

BOOL CDlgHelp::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_strText = L"VelkArx插件（" + VersionText(g_pluginVersion) +
                L"）\r\n"
                L"在CAD中与拓岚地图交换对象、加载在线底图、下载底图和高程，并在断面模式下转换对象。\r\n\r\n"
                L"工具栏：\r\n"
                L"  发送所选对象到拓岚：把选中的实体作为地图对象发送到拓岚的“CAD工作空间”；\r\n"
                L"  加载在线底图：在视图下铺设在线底图，随视图更新；\r\n"
                L"  下载底图到本地：把所选范围的底图作为一张图片插入图纸；\r\n"
                L"  下载高程(DEM)：下载所选范围的等高线；\r\n"
                L"  设置关联点：把图纸坐标与拓岚的坐标系关联；\r\n"
                L"  设置断面参数：以断面的形式与拓岚交换对象；\r\n"
                L"  设置属性：打开插件的选项。\r\n\r\n"
                L"选项：\r\n"
                L"  跟随方式：无、拓岚跟随CAD、CAD跟随拓岚或相互跟随；\r\n"
                L"  文字级别：接收的文字和图标的大小；\r\n"
                L"  最大底图级别：在线底图和下载底图使用的最高级别；\r\n"
                L"  双击显示属性、随层颜色、点显示为图标、退出时清除底图缓存。\r\n\r\n"
                L"工具栏关闭后，运行命令【VELK】可重新显示。";
    UpdateData(FALSE);
    return TRUE;
}
