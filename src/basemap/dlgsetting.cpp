#include "basemap/dlgsetting.h"

#include <cstdint>

#include "basemap/basemap.h"
#include "peer/peerrequests.h"
#include "state/drawingdata.h"
#include "state/peerhelpers.h"
#include "state/peerstatus.h"
#include "state/settings.h"
#include "ui/helppages.h"
#include "ui/pathdialog.h"
#include "ui/pluginfolder.h"

namespace {

const int kAutoLoad = 8357, kAutoSync = 8181, kClearCache = 8359, kFollowMode = 8135, kIcons = 8191,
          kTextLevel = 8127, kColourByLayer = 8332, kDoubleClick = 8355, kCacheFolder = 8139,
          kChooseFolder = 8141, kMaxLevel = 8330, kTutorial = 8325, kReset = 8198;

const wchar_t* const kTextLevelRows[] = {L"240米(14级)", L"120米(15级)", L"60米(16级)", L"30米(17级)",
                                         L"15米(18级)",  L"8米(19级)",   L"4米(20级)"};
const int kTextLevelMetres[] = {240, 120, 60, 30, 15, 8, 4};
const int kTextLevelRowCount = 7;
const wchar_t* const kFollowModeRows[] = {L"无", L"拓岚随CAD", L"CAD随拓岚", L"相互跟随"};

// Two paths name the same folder, case and trailing backslashes aside.
CString FolderKey(CString path)
{
    path.Replace(L'/', L'\\');
    path.TrimRight(L'\\');
    path.MakeLower();
    return path;
}

// The new root's cache would go with the old "MapTemp": the new root is
// the old one, that "MapTemp" or a folder inside it.
bool CacheSharesOldMapTemp(const CString& newRoot, const CString& oldRoot)
{
    const CString fresh = FolderKey(newRoot), old = FolderKey(oldRoot);
    if (fresh == old) return true;
    const CString mapTemp = old + L"\\maptemp";
    return fresh == mapTemp || fresh.Left(mapTemp.GetLength() + 1) == mapTemp + L"\\";
}

}  // namespace

int TextLevelMetresOfRow(int row) { return row >= 0 && row < kTextLevelRowCount ? kTextLevelMetres[row] : 0; }

int TextLevelRowOfMetres(int metres)
{
    for (int row = 0; row < kTextLevelRowCount; ++row)
        if (kTextLevelMetres[row] == metres) return row;
    return 2;
}

int32_t RoundToHundred(int32_t value)
{
    // The remainder counted from the multiple below, for negative values too.
    const int64_t v = value, rest = (v % 100 + 100) % 100;
    int64_t rounded = rest < 50 ? v - rest : v - rest + 100;
    if (rounded > INT32_MAX) rounded -= 100;
    if (rounded < INT32_MIN) rounded += 100;
    return (int32_t)rounded;
}

void ChangeCacheRoot(const CString& root)
{
    const CString old = g_cacheRoot;
    g_cacheRoot = root;
    SaveCachePath();
    if (CDrawingData* d = g_ptagDocIdManager) RefreshBaseMap(&d->baseMap);
    if (!CacheSharesOldMapTemp(root, old)) DeleteMapTempFolder(old);
}

BEGIN_MESSAGE_MAP(CDlgSetting, CDialog)
ON_BN_CLICKED(kChooseFolder, &CDlgSetting::OnBnClickedChooseFolder)
ON_BN_CLICKED(kIcons, &CDlgSetting::OnBnClickedIcons)
ON_BN_CLICKED(kReset, &CDlgSetting::OnBnClickedReset)
ON_BN_CLICKED(kTutorial, &CDlgSetting::OnBnClickedTutorial)
END_MESSAGE_MAP()

CDlgSetting::CDlgSetting(CWnd* parent) : CDialog(IDD, parent) {}

void CDlgSetting::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Check(dx, kAutoSync, m_autoSync);
    DDX_Check(dx, kIcons, m_pointsAsIcons);
    DDX_Control(dx, kTextLevel, m_textLevel);
    DDX_Text(dx, kMaxLevel, m_maxLevel);
    DDX_Check(dx, kColourByLayer, m_colourByLayer);
    DDX_Check(dx, kDoubleClick, m_doubleClick);
    DDX_Check(dx, kAutoLoad, m_autoLoad);
    DDX_Control(dx, kFollowMode, m_followMode);
    DDX_Control(dx, kCacheFolder, m_cacheFolder);
    DDX_Control(dx, kAutoLoad, m_btnAutoLoad);
    DDX_Check(dx, kClearCache, m_clearCache);
}

BOOL CDlgSetting::OnInitDialog()
{
    const PluginSettings& s = g_settings;
    m_autoSync = s.autoSync != 0;
    m_pointsAsIcons = s.pointsAsIcons != 0;
    m_colourByLayer = s.colourByLayer != 0;
    m_clearCache = s.clearCacheOnExit != 0;
    m_doubleClick = s.doubleClickProperties == 1;
    m_autoLoad = s.autoLoad == 1;
    m_maxLevel = s.maxBaseMapLevel;
    CDialog::OnInitDialog();
    m_cacheFolder.SetWindowText(g_cacheRoot);
    // Kept in memory; it reaches the file with the next save.
    g_settings.roundedValue = RoundToHundred(g_settings.roundedValue);
    m_textLevel.ResetContent();
    for (const wchar_t* row : kTextLevelRows) m_textLevel.AddString(row);
    m_textLevel.SetCurSel(TextLevelRowOfMetres(s.textLevelMetres));
    m_followMode.ResetContent();
    for (const wchar_t* row : kFollowModeRows) m_followMode.AddString(row);
    m_followMode.SetCurSel(s.followMode);
    UpdateData(FALSE);
    return TRUE;
}

void CDlgSetting::OnOK()
{
    UpdateData(TRUE);
    if (m_maxLevel < 16 || m_maxLevel > 28) {
        AfxMessageBox(L"底图最大级别请设置在16-28之间！", MB_OK);
        return;
    }
    PluginSettings& s = g_settings;
    // A list without a selection keeps the mode it had.
    const int mode = m_followMode.GetCurSel();
    if (mode >= 0 && mode <= 3) s.followMode = mode;
    const int status = PeerApiSetFollowWinMap(&g_peerApi, s.followMode == 2 || s.followMode == 3 ? 1000 : 1);
    if (status < 0) ReportVelkMsgError(status, L"SetFollowWinMapErr:", false);
    s.maxBaseMapLevel = m_maxLevel;
    s.autoSync = m_autoSync ? 1 : 0;
    s.pointsAsIcons = m_pointsAsIcons ? 1 : 0;
    s.colourByLayer = m_colourByLayer ? 1 : 0;
    s.doubleClickProperties = m_doubleClick ? 1 : 0;
    s.autoLoad = m_autoLoad ? 1 : 0;
    s.clearCacheOnExit = m_clearCache ? 1 : 0;
    if (!s.doubleClickProperties) SetShortVar(L"DBLCLKEDIT", 0);
    if (const int metres = TextLevelMetresOfRow(m_textLevel.GetCurSel())) s.textLevelMetres = metres;
    CString folder;
    m_cacheFolder.GetWindowText(folder);
    if (folder.GetLength() > MAX_PATH) folder = folder.Left(MAX_PATH);
    if (folder != g_cacheRoot) ChangeCacheRoot(folder);
    SaveSettings();
    EndDialog(IDOK);
}

// The new folder is only shown: OK takes it.
void CDlgSetting::OnBnClickedChooseFolder()
{
    CPathDialog chooser(L"文件夹选择", L"选择要打开的地图临时路径", g_cacheRoot, this);
    if (chooser.DoModal() != 1) return;
    const CString folder = chooser.GetPath();
    if (CheckPluginFolder(folder)) m_cacheFolder.SetWindowText(folder);
}

void CDlgSetting::OnBnClickedIcons()
{
    if (!IsDlgButtonChecked(kIcons)) return;
    if (AfxMessageBox(L"图标数量超过1000个以上时，可能会出现卡顿！\n是否进行加载？", MB_YESNO | MB_ICONINFORMATION) != IDYES ||
        AfxMessageBox(L"当未加载插件时，对标签进行移动操作可能导致失败！\n是否进行加载？", MB_YESNO) != IDYES)
        CheckDlgButton(kIcons, BST_UNCHECKED);
}

// The question can be answered no: OK resets, Cancel keeps everything.
void CDlgSetting::OnBnClickedReset()
{
    if (AfxMessageBox(L"确定重置配置吗？", MB_OKCANCEL) != IDOK) return;
    const int32_t warned = g_settings.peerVersionWarned, announced = g_settings.lastAnnouncedVersion;
    SetDefaultSettings(g_settings);
    g_settings.peerVersionWarned = warned;
    g_settings.lastAnnouncedVersion = announced;
    const CString temp = GetTempFolder();
    if (temp != g_cacheRoot) ChangeCacheRoot(temp);
    SaveSettings();
    EndDialog(IDOK);
}

void CDlgSetting::OnBnClickedTutorial() { ShellExecuteW(nullptr, L"open", kVideoTutorialPage, nullptr, nullptr, SW_SHOWNORMAL); }
