#include "basemap/capturemapsetting.h"

#include "basemap/capture.h"
#include "basemap/tilefiles.h"
#include "gcapdocmanager.h"
#include "gcutprint.h"
#include "state/drawingdata.h"
#include "state/settings.h"

namespace {

const int kMapTypeText = 8142;
const int kLevelList = 8144;
const int kRangeRectangle = 8146;
const int kRangeObject = 8147;
const int kImageName = 8148;
const int kClearAll = 8140;
const int kCustomMapType = 3;

const wchar_t* const kMapTypeNames[10] = {L"Google地图",     L"Google卫星图", L"谷歌地球影像",     L"自定义地图",
                                          L"Google地形图",   L"百度地图",     L"Google卫星混合图", L"Bing卫星图",
                                          L"OpenCycle等高线地图", L"谷歌地球历史影像"};

}  // namespace

CCaptureMapSetting::CCaptureMapSetting(CWnd* owner) : CDialog(IDD, owner) {}

CString CCaptureMapSetting::MapTypeName(int mapType)
{
    return kMapTypeNames[mapType >= 0 && mapType <= 9 ? mapType : kCustomMapType];
}

void CCaptureMapSetting::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, kMapTypeText, m_strMapTypeName);
    DDX_Control(dx, kLevelList, m_cbLevel);
    DDX_Text(dx, kImageName, m_strImageName);
    // The radio group of the range.
    if (dx->m_bSaveAndValidate) {
        m_nRangeMode = IsDlgButtonChecked(kRangeObject) ? 1 : 0;
    } else {
        CheckDlgButton(kRangeRectangle, m_nRangeMode == 0);
        CheckDlgButton(kRangeObject, m_nRangeMode == 1);
    }
}

BOOL CCaptureMapSetting::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (m_nMapType < 0 || m_nMapType > 9) m_nMapType = kCustomMapType;
    m_strMapTypeName = MapTypeName(m_nMapType);
    m_cbLevel.ResetContent();
    CString row;
    row.Format(L"当前级别(%d)", m_nLevel);
    m_cbLevel.AddString(row);
    for (int level = 5; level <= g_settings.maxBaseMapLevel; ++level) {
        row.Format(L"级别:%d", level);
        m_cbLevel.AddString(row);
    }
    m_cbLevel.SetCurSel(0);
    UpdateData(FALSE);
    return TRUE;
}

void CCaptureMapSetting::OnOK()
{
    UpdateData(TRUE);
    if (!m_strImageName.IsEmpty()) {
        GcApDocument* doc = gcDocManagerPtr()->curDocument();
        if (!doc) return;
        const CString drawing = doc->fileName().c_str();
        if (!IsSavedDrawingPath(drawing)) {
            gcutPrintf(L"\n%s为临时文档，请保存后再进行取图操作！\n", drawing.GetString());
            return;
        }
        // The file the capture would write; the dialog itself creates nothing.
        if (PathFileSize(NamedCaptureImagePath(drawing, m_strImageName)) > 0) {
            AfxMessageBox(L"该文件已存在，请更换名称！", MB_OK);
            return;
        }
    }
    const int row = m_cbLevel.GetCurSel();
    if (row > 0) m_nLevel = row + 4;
    EndDialog(IDOK);
}

BOOL CCaptureMapSetting::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == kClearAll) {
        if (CDrawingData* d = g_ptagDocIdManager) ClearAllCapturedMaps(&d->baseMap);
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}
