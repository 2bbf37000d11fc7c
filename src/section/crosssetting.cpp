#include "section/crosssetting.h"

#include "ui/helppages.h"
#include "windows.h"

namespace {
const int kOrientationGroup = 8192;
const int kSwapEnds = 8358;
const int kStartWholeDocument = 8201;
const int kVideoHelp = 8199;
}  // namespace

BEGIN_MESSAGE_MAP(CCrossSetting, CDialog)
ON_BN_CLICKED(kVideoHelp, &CCrossSetting::OnBnClickedVideoHelp)
ON_BN_CLICKED(kStartWholeDocument, &CCrossSetting::OnBnClickedStartWholeDocument)
END_MESSAGE_MAP()

CCrossSetting::CCrossSetting(CWnd* owner) : CDialog(IDD, owner) {}

void CCrossSetting::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Radio(dx, kOrientationGroup, orientation);
    DDX_Check(dx, kSwapEnds, swapEnds);
}

BOOL CCrossSetting::OnInitDialog()
{
    CDialog::OnInitDialog();
    UpdateData(FALSE);
    return TRUE;
}

void CCrossSetting::OnOK() { OnBnClickedOk(); }
void CCrossSetting::OnCancel() { OnBnClickedCancel(); }

void CCrossSetting::OnBnClickedOk()
{
    UpdateData(TRUE);
    useRectangle = 1;
    EndDialog(IDOK);
}

void CCrossSetting::OnBnClickedStartWholeDocument()
{
    UpdateData(TRUE);
    useRectangle = 0;
    EndDialog(IDOK);
}

void CCrossSetting::OnBnClickedCancel() { EndDialog(IDCANCEL); }

void CCrossSetting::OnBnClickedVideoHelp() { ShellExecuteW(m_hWnd, L"open", kSectionVideoPage, nullptr, nullptr, SW_SHOWNORMAL); }
