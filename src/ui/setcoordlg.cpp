#include "ui/setcoordlg.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "common/interaction/getinpututil.h"
#include "peer/peerrequests.h"
#include "state/coordbinding.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/peerstatus.h"
#include "state/relatepoint.h"
#include "state/settings.h"
#include "ui/helppages.h"
#include "ui/peercheck.h"

CSetCoorDlg* g_pSetCoorDlg = nullptr;

namespace {

const int kInfo = 8334, kGroup = 8107, kEditX = 8112, kEditY = 8111, kEditLng = 8320, kEditLat = 8114,
          kSetRelatePoint = 8105, kDone = 8106, kClear = 8322, kSimplified = 8335, kHelp = 8336, kNoPrompt = 8150,
          kUseCurrentSystem = 8345, kGoToPeer = 8346, kLearnMore = 8348;
const WPARAM kPeerWParam = 1001;
const wchar_t kPeerClass[] = L"velkWin";
const wchar_t kPeerNotRunning[] = L"拓岚程序没有打开！";

// The peer's answer to 20001: the place the user clicked in its map.
struct LatLngAnswer {
    double latitude;   // 0
    double longitude;  // 8
    uint8_t reserved16[8];
};
static_assert(sizeof(LatLngAnswer) == 24 && offsetof(LatLngAnswer, longitude) == 8, "20001 answer layout");

// A number typed into an edit box: its leading decimal number, 0 for
// empty or unreadable text and for values that are not finite.
double ParseBoxNumber(const CString& text)
{
    const double v = wcstod(text.GetString(), nullptr);
    return std::isfinite(v) ? v : 0;
}

// The hint works on the value as a single-precision float; a value beyond
// that range keeps its double, which no hint range holds anyway.
double AsSingle(double v) { return std::fabs(v) <= FLT_MAX ? (double)(float)v : v; }

CString Fixed(double v)
{
    CString text;
    text.Format(L"%f", v);
    return text;
}

}  // namespace

BEGIN_MESSAGE_MAP(CSetCoorDlg, CGcUiDialog)
ON_BN_CLICKED(kDone, &CSetCoorDlg::OnBnClickedDone)
ON_BN_CLICKED(kSetRelatePoint, &CSetCoorDlg::OnBnClickedSetRelatePoint)
ON_BN_CLICKED(kClear, &CSetCoorDlg::OnBnClickedClear)
ON_EN_CHANGE(kEditX, &CSetCoorDlg::OnEnChangeX)
ON_EN_CHANGE(kEditY, &CSetCoorDlg::OnEnChangeY)
ON_BN_CLICKED(kHelp, &CSetCoorDlg::OnBnClickedHelp)
ON_BN_CLICKED(kUseCurrentSystem, &CSetCoorDlg::OnBnClickedUseCurrentSystem)
ON_BN_CLICKED(kGoToPeer, &CSetCoorDlg::OnBnClickedGoToPeer)
ON_BN_CLICKED(kLearnMore, &CSetCoorDlg::OnBnClickedLearnMore)
END_MESSAGE_MAP()

CSetCoorDlg::CSetCoorDlg(CWnd* parent) : CGcUiDialog(IDD, parent) {}

void CSetCoorDlg::DoDataExchange(CDataExchange* dx)
{
    CGcUiDialog::DoDataExchange(dx);
    DDX_Control(dx, kGroup, m_groupRelate);
    DDX_Control(dx, kEditX, m_editX);
    DDX_Control(dx, kEditY, m_editY);
    DDX_Control(dx, kEditLng, m_editLng);
    DDX_Control(dx, kEditLat, m_editLat);
    DDX_Control(dx, kSetRelatePoint, m_btnSetRelatePoint);
    DDX_Control(dx, kDone, m_btnDone);
    DDX_Control(dx, kClear, m_btnClear);
    DDX_Text(dx, kInfo, infoText);
    DDX_Check(dx, kSimplified, useSimplified);
    DDX_Control(dx, kSimplified, m_checkSimplified);
    DDX_Control(dx, kHelp, m_btnHelp);
    DDX_Check(dx, kNoPrompt, noPrompt);
}

BOOL CSetCoorDlg::OnInitDialog()
{
    CGcUiDialog::OnInitDialog();
    m_groupRelate.SetWindowText(L"关联点");
    m_btnSetRelatePoint.SetWindowText(L"设置关联点");
    m_checkSimplified.ShowWindow(SW_HIDE);
    m_btnHelp.ShowWindow(SW_HIDE);
    useSimplified = 1;
    xLooksProjected = yLooksProjected = 0;
    noPrompt = g_settings.noCoordinatePrompt;
    UpdateData(FALSE);
    m_toolTip.Create(this);
    m_toolTip.AddTool(&m_btnHelp, L"单击此处了解更多关于“坐标系”");
    m_toolTip.SetDelayTime(TTDT_AUTOMATIC, 200);
    m_toolTip.SetTipTextColor(0xff0000);
    m_toolTip.SetTipBkColor(0xffffff);
    m_toolTip.Activate(TRUE);
    return TRUE;
}

BOOL CSetCoorDlg::PreTranslateMessage(MSG* msg)
{
    if (msg && msg->message == WM_MOUSEMOVE) m_toolTip.RelayEvent(msg);
    return CGcUiDialog::PreTranslateMessage(msg);
}

LRESULT CSetCoorDlg::OnKeepFocus(WPARAM, LPARAM) { return 1; }

LRESULT CSetCoorDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_GCAD_KEEPFOCUS) return OnKeepFocus(wParam, lParam);
    if (msg == WM_COPYDATA && wParam == kPeerWParam && lParam) {
        const auto* cds = (const COPYDATASTRUCT*)lParam;
        // A short answer carries no place; it is ignored.
        if ((cds->dwData & 0xFFFF) == kReqActivate && cds->lpData && cds->cbData >= sizeof(LatLngAnswer)) {
            LatLngAnswer answer;
            memcpy(&answer, cds->lpData, sizeof answer);
            m_editLng.SetWindowText(Fixed(answer.longitude));
            m_editLat.SetWindowText(Fixed(answer.latitude));
            ReadValues();
            UpdateData(FALSE);
            ShowWindow(SW_SHOW);
        }
    }
    return CGcUiDialog::WindowProc(msg, wParam, lParam);
}

void CSetCoorDlg::ReadValues()
{
    CString text;
    m_editX.GetWindowText(text);
    relateX = ParseBoxNumber(text);
    m_editY.GetWindowText(text);
    relateY = ParseBoxNumber(text);
    m_editLat.GetWindowText(text);
    relateLat = ParseBoxNumber(text);
    m_editLng.GetWindowText(text);
    relateLng = ParseBoxNumber(text);
}

void CSetCoorDlg::OnEnChangeX()
{
    UpdateData(TRUE);
    CString text;
    m_editX.GetWindowText(text);
    xLooksProjected = IsProjectedEasting(AsSingle(ParseBoxNumber(text))) ? 1 : 0;
    ShowProjectedHint();
}

void CSetCoorDlg::OnEnChangeY()
{
    UpdateData(TRUE);
    CString text;
    m_editY.GetWindowText(text);
    const double y = AsSingle(ParseBoxNumber(text));
    yLooksProjected = y >= 2000000 && y <= 6000000 ? 1 : 0;
    ShowProjectedHint();
}

// Simplified parameters are offered only for what looks like projected
// plane coordinates.
void CSetCoorDlg::ShowProjectedHint()
{
    const int show = xLooksProjected && yLooksProjected ? SW_SHOW : SW_HIDE;
    m_checkSimplified.ShowWindow(show);
    m_btnHelp.ShowWindow(show);
    UpdateData(FALSE);
}

void CSetCoorDlg::OnBnClickedSetRelatePoint()
{
    if (!FindWindowW(kPeerClass, nullptr)) {
        AfxMessageBox(kPeerNotRunning, MB_OK);
        return;
    }
    ShowWindow(SW_HIDE);
    OdGePoint3d point;
    // A cancelled pick brings the window back rather than leaving it
    // hidden with no way to reach it.
    if (!CGetInputUtil::GetPoint(L"请在CAD中选择一个点作为关联点！\n", point)) {
        ShowWindow(SW_SHOW);
        return;
    }
    m_editX.SetWindowText(Fixed(point.x));
    m_editY.SetWindowText(Fixed(point.y));
    ActivateVelkWindow();
    // The user now clicks the matching place in the peer's map; its 20001
    // answer shows the window again.
    const int status = PeerApiRequest(&g_peerApi, kReqActivate, nullptr, 0, nullptr, 0);
    ReportVelkMsgError(status, L"GetLatLngErr:", true);
    if (status < 0) ShowWindow(SW_SHOW);
}

void CSetCoorDlg::OnBnClickedDone()
{
    UpdateData(TRUE);
    const uint8_t prompt = noPrompt ? 1 : 0;
    if (prompt != (g_settings.noCoordinatePrompt ? 1 : 0)) {
        g_settings.noCoordinatePrompt = prompt;
        SaveSettings();
    }
    ReadValues();
    g_relatePoint.longitude = relateLng;
    g_relatePoint.latitude = relateLat;
    g_relatePoint.flag = 1;
    g_relatePoint.x = relateX;
    g_relatePoint.y = relateY;
    if (relateLat != 0 && relateLng != 0) {
        const uint32_t mode = useSimplified ? 4 : 3;
        const int status = PeerApiSetRelatePoints(&g_peerApi, mode, &g_relatePoint, 1);
        ReportVelkMsgError(status, L"SetRelatePointErr:", true);
    } else if (!g_coordBinding.geographic) {
        ReportVelkMsgError(BindCurrentDrawing(), L"", true);
    }
    OnClose();
}

void CSetCoorDlg::OnBnClickedUseCurrentSystem()
{
    if (!g_coordBinding.checkPending && !g_coordBinding.savePending) PeerApiGetCoordSystem(&g_peerApi);
    if (g_coordBinding.geographic) {
        AfxMessageBox(L"当前系统坐标系为经纬度！请设置平面坐标系！", MB_OK);
    } else if (FindWindowW(kPeerClass, nullptr)) {
        BindCurrentDrawing();
        OnClose();
    } else {
        AfxMessageBox(kPeerNotRunning, MB_OK);
    }
}

void CSetCoorDlg::OnBnClickedGoToPeer()
{
    HWND peer = FindWindowW(kPeerClass, nullptr);
    if (!peer) {
        AfxMessageBox(kPeerNotRunning, MB_OK);
        return;
    }
    ::SetWindowPos(peer, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetWindowPos(peer, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::ShowWindow(peer, SW_SHOWNORMAL);
}

void CSetCoorDlg::OnBnClickedClear()
{
    for (CEdit* box : {&m_editX, &m_editY, &m_editLng, &m_editLat}) box->SetWindowText(L"");
    UpdateData(TRUE);
}

void CSetCoorDlg::OnBnClickedHelp()
{
    ShellExecuteW(nullptr, L"open", kCoordinateHelpPage, nullptr, nullptr, SW_SHOWNORMAL);
}

void CSetCoorDlg::OnBnClickedLearnMore() { OnBnClickedHelp(); }

// Closing gives follow mode 3 back to both views.
void CSetCoorDlg::OnClose()
{
    g_bFollow3Enabled = 1;
    ShowWindow(SW_HIDE);
    DestroyWindow();
}

void CSetCoorDlg::PostNcDestroy()
{
    g_bFollow3Enabled = 1;
    CGcUiDialog::PostNcDestroy();
    if (g_pSetCoorDlg == this) g_pSetCoorDlg = nullptr;
    delete this;
}
