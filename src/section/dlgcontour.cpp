#include "section/dlgcontour.h"

#include <climits>

#include "ui/hintdialogs.h"

namespace {
const int kLevelBox = 8143;
const int kPrecisionBox = 8213;
const int kRangeGroup = 8214;
const int kHowToDownload = 8216;
const int kDefaultPrecisionRow = 0;
const int kPrecisions[] = {10, 50, 100};
}  // namespace

BEGIN_MESSAGE_MAP(CDlg_Contour, CDialog)
ON_CBN_EDITCHANGE(kPrecisionBox, &CDlg_Contour::OnCbnEditchangePrecision)
ON_BN_CLICKED(kHowToDownload, &CDlg_Contour::OnBnClickedHowToDownload)
END_MESSAGE_MAP()

CDlg_Contour::CDlg_Contour(CWnd* owner) : CDialog(IDD, owner) {}

void CDlg_Contour::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, kLevelBox, m_comboLevel);
    DDX_Control(dx, kPrecisionBox, m_comboPrecision);
    DDX_Radio(dx, kRangeGroup, rangeMode);
}

BOOL CDlg_Contour::OnInitDialog()
{
    CDialog::OnInitDialog();
    CString row;
    for (int l = kFirstLevel; l <= kLastLevel; ++l) {
        row.Format(L"%d级", l);
        m_comboLevel.AddString(row);
    }
    m_comboLevel.SetCurSel(kLastLevel - kFirstLevel);
    for (int p : kPrecisions) {
        row.Format(L"%d", p);
        m_comboPrecision.AddString(row);
    }
    m_comboPrecision.SetCurSel(kDefaultPrecisionRow);
    UpdateData(FALSE);
    return TRUE;
}

void CDlg_Contour::OnOK() { OnBnClickedOk(); }

void CDlg_Contour::OnBnClickedOk()
{
    UpdateData(TRUE);
    // No row selected would give level 4, below what the peer offers.
    const int row = m_comboLevel.GetCurSel();
    level = kFirstLevel + (row < 0 ? kLastLevel - kFirstLevel : row);
    CString text;
    m_comboPrecision.GetWindowText(text);
    if (!text.IsEmpty()) precision = ParsePrecisionText(text);
    if (text.IsEmpty() || precision < 1) {
        AfxMessageBox(L"请输入一个大于0的整数！");
        m_comboPrecision.SetWindowText(L"10");
        UpdateData(FALSE);
        return;
    }
    EndDialog(IDOK);
}

void CDlg_Contour::OnCbnEditchangePrecision() {}

void CDlg_Contour::OnBnClickedHowToDownload()
{
    CDlgShowMSg dialog;
    dialog.m_strTitle = L"如何在Velk中下载高程数据";
    dialog.m_strText =
        L"方法一：\r\n\t点击菜单栏中的【地图切换】，勾选【高程叠加】。\r\n\t然后移动地图，使目标区域缓存加载完等高线即可。\r\n"
        L"方法二(如果区域面积太大)：\r\n\t先框选一个矩形区域，并添加到收藏夹(或由CAD发送过来)。\r\n"
        L"\t点击菜单【系统】-【数据管理】-【高程数据管理】。\r\n\t选择相应的区域，然后点击【下载数据】。";
    dialog.DoModal();
}

int ParsePrecisionText(const CString& text)
{
    const wchar_t* p = text.GetString();
    while (*p == L' ' || *p == L'\t') ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') negative = *p++ == L'-';
    long long value = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        value = value * 10 + (*p - L'0');
        if (value > INT_MAX) value = (long long)INT_MAX + 1;
    }
    if (negative) return value > INT_MAX ? INT_MIN : (int)-value;
    return value > INT_MAX ? INT_MAX : (int)value;
}
