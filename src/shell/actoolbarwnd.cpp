#include "shell/actoolbarwnd.h"

#include "afxmsgbox.h"
#include "basemap/basemap.h"
#include "basemap/capture.h"
#include "basemap/dlgsetting.h"
#include "common/interaction/selectutil.h"
#include "common/symboltable/viewutil.h"
#include "exchange/arxoperation.h"
#include "exchange/entitylink.h"
#include "gcapdocmanager.h"
#include "gcedinput.h"
#include "gcedview.h"
#include "gcutprint.h"
#include "oddbblockreference.h"
#include "peer/peerrequests.h"
#include "section/contour.h"
#include "section/crosssection.h"
#include "shell/moduleentry.h"
#include "shell/shellservices.h"
#include "state/coordbinding.h"
#include "state/drawingdata.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/pluginresourcescope.h"
#include "state/settings.h"
#include "ui/peercheck.h"
#include "ui/setcoordlg.h"


namespace {

CAcToolBarWnd* g_pToolBarWnd = nullptr;
// The toolbar's images, one list for the module.
CImageList g_toolBarImages;

const UINT kToolBarWndId = 32993;
const UINT kActivityTimer = 1011;
const UINT kButtons[] = {32768, 32769, 32770, 32771, 32772, 32781, 32773};
const UINT kIconGroups[] = {8328, 8130, 8149, 8212, 8129, 8361, 8132, 8131, 8360};
const int kOnlineButton = 1;
const int kSectionButton = 5;

void SetButtonImage(CAcToolBar* toolBar, int index, int image)
{
    if (!toolBar || !toolBar->m_hWnd) return;
    UINT id = 0, style = 0;
    int old = 0;
    toolBar->GetButtonInfo(index, id, style, old);
    toolBar->SetButtonInfo(index, id, style, image);
}

bool HasWorkingDatabase() { return oddbHostApplicationServices()->workingDatabase() != nullptr; }

}  // namespace

IMPLEMENT_DYNAMIC(CAcToolBar, CObject)

BEGIN_MESSAGE_MAP(CAcToolBar, CCmdTarget)
ON_UPDATE_COMMAND_UI_RANGE(0, 65535, &CAcToolBar::OnUpdateCmdUI)
END_MESSAGE_MAP()

BOOL CAcToolBar::Create(CWnd* parent, CWnd* owner, DWORD style, UINT id)
{
    if (!CToolBar::Create(parent, style, id)) return 0;
    ownerWnd = owner ? owner : parent;
    // Clicks go to the owner, which handles the commands.
    SendMessage(TB_SETPARENT, (WPARAM)ownerWnd->GetSafeHwnd(), 0);
    SendMessage(TB_SETSTYLE, 0, (LPARAM)(SendMessage(TB_GETSTYLE) | TBSTYLE_FLAT | TBSTYLE_TRANSPARENT));
    return 1;
}

void CAcToolBar::OnUpdateCmdUI(CCmdUI* ui) { ui->DoUpdate(ownerWnd, FALSE); }
void CAcToolBar::OnClose() { Default(); }
void CAcToolBar::OnShowWindow(BOOL, UINT) { Default(); }

IMPLEMENT_DYNAMIC(CAcToolBarWnd, CObject)

BEGIN_MESSAGE_MAP(CAcToolBarWnd, CCmdTarget)
ON_COMMAND(32768, &CAcToolBarWnd::OnSendSelected)
ON_COMMAND(32769, &CAcToolBarWnd::OnLoadOnlineMap)
ON_COMMAND(32770, &CAcToolBarWnd::OnDownloadMap)
ON_COMMAND(32771, &CAcToolBarWnd::OnDownloadDem)
ON_COMMAND(32780, &CAcToolBarWnd::OnCommand32780)
ON_COMMAND(32772, &CAcToolBarWnd::OnSetRelatePoints)
ON_COMMAND(32778, &CAcToolBarWnd::OnPickEntity)
ON_COMMAND(32781, &CAcToolBarWnd::OnSectionMode)
ON_COMMAND(32773, &CAcToolBarWnd::OnSettings)
END_MESSAGE_MAP()

CAcToolBarWnd::~CAcToolBarWnd() { delete toolBar; }

BOOL CAcToolBarWnd::PreCreateWindow(CREATESTRUCT& cs) { return CWnd::PreCreateWindow(cs); }

int CAcToolBarWnd::OnCreate(LPCREATESTRUCT cs)
{
    if (CWnd::OnCreate(cs) == -1) return -1;
    CString title;
    title.Format(L"拓岚工具栏(V%d.%d.%d)", g_pluginVersion / 100, g_pluginVersion % 100 / 10, g_pluginVersion % 10);
    toolBar = BuildToolBar(8104, this, title);
    SetTimer(kActivityTimer, 1000, nullptr);
    return 0;
}

void CAcToolBarWnd::OnDestroy()
{
    CWnd::OnDestroy();
    delete toolBar;
    toolBar = nullptr;
}

void CAcToolBarWnd::OnClose() { Default(); }

void CAcToolBarWnd::OnTimer(UINT_PTR id)
{
    if (id == kActivityTimer) {
        const int32_t visible = toolBar && toolBar->m_hWnd && toolBar->IsWindowVisible() ? 1 : 0;
        CFrameWnd* frame = gcedGetGcadFrame();
        if (visible != g_bLinkActive && !visible && !g_settings.hideNoticeOff && !(frame && frame->IsIconic())) {
            // Off before the question: ticks while it is open find nothing to ask.
            g_bLinkActive = 0;
            if (AfxMessageBox(L"VelkArx即将隐藏，可运行命令【VELK】重启！\n是否不再提示？", MB_YESNO) == IDYES) {
                g_settings.hideNoticeOff = 1;
                SaveSettings();
            }
        }
        g_bLinkActive = visible;
    }
    CWnd::OnTimer(id);
}

LRESULT CAcToolBarWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_RESCALE_ICONS) {
        RescaleIcons();
        return DefWindowProc(msg, wParam, lParam);
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

// Icons received as signs take the new text level as their side. Only
// images linked to a peer object are icons: base-map tiles, captured maps
// and the user's own pictures keep their shape.
void CAcToolBarWnd::RescaleIcons()
{
    imageIds.clear();
    GcApDocManager* manager = gcDocManagerPtr();
    GcApDocument* doc = manager->curDocument();
    manager->lockDocument(doc, GcAp::kWrite, nullptr, nullptr, true);
    CSelectUtil::SelectAllOfClass(OdDbRasterImage::desc(), imageIds);
    const int n = (int)imageIds.size();
    if (n > 100) gcedSetStatusBarProgressMeter(L"调整图标大小", 0, n);
    for (int i = 0; i < n; ++i) {
        if (n > 100 && i % 10 == 0) gcedSetStatusBarProgressMeterPos(i);
        OdDbRasterImage* image = nullptr;
        OdResult status = oddbOpenObject(image, imageIds[(size_t)i], OdDb::kForWrite);
        if (status != eOk) {
            CString text;
            text.Format(L"Wproc Update ICon ErrorCode:%d", (int)status);
            AfxMessageBox(text, MB_OK);
            continue;
        }
        MapObjInfo* link = GetEntityLink(image, true, false);
        bool cached = link && g_ptagDocIdManager && FindEntityLink(g_ptagDocIdManager->links, link->handle) == link;
        if (link && link->peerId != 0) {
            OdGePoint3d origin;
            OdGeVector3d u, v;
            image->getOrientation(origin, u, v);
            OdGePoint3d bottomMiddle(origin.x + u.x / 2, origin.y, origin.z);
            CViewUtil::SetImageOrientation(image, bottomMiddle, g_settings.textLevelMetres);
            uint64_t label = link->companion;
            image->close();
            image = nullptr;
            if (label) UpdateLinkedTextEntity((int64_t)label, bottomMiddle);
        }
        if (image) image->close();
        if (link && !cached) delete link;
    }
    if (n > 100) gcedRestoreStatusBar();
    manager->unlockDocument(doc);
}

void CAcToolBarWnd::OnSendSelected()
{
    if (!CheckVelkStatus()) return;
    if (!g_coordBinding.checkPending && !g_coordBinding.savePending) PeerApiGetCoordSystem(&g_peerApi);
    if (g_coordBinding.geographic) {
        AfxMessageBox(L"拓岚当前的坐标系为经纬度，不支持该操作！", MB_OK);
        return;
    }
    if (HasWorkingDatabase()) ArxOperation::SendSelectedObjects();
}

void CAcToolBarWnd::OnLoadOnlineMap()
{
    CDrawingData* d = g_ptagDocIdManager;
    if (d && g_settings.onlineBaseMap != 1 && d->crossSection.sectionActive) {
        gcutPrintf(L"\n当前为断面模式，不支持浏览地图！");
        return;
    }
    if (!d) {
        AfxMessageBox(L"g_ptagDocIdManager 为空，请打开文档后再操作。", MB_OK);
        return;
    }
    if (g_settings.onlineBaseMap != 1 && d->baseMap.currentCapture.meterShown) {
        gcutPrintf(L"\n当前系统正在进行取图(耗时)，无法进行在线加载地图！");
        return;
    }
    g_settings.onlineBaseMap = g_settings.onlineBaseMap == 1 ? 0 : 1;
    SetOnlineMapButtonImage(toolBar, g_settings.onlineBaseMap);
    SaveSettings();
    if (g_settings.onlineBaseMap) {
        SetHostViewVars(false, false, true);
        RefreshBaseMap(&d->baseMap);
    } else {
        SetHostViewVars(false, false, false);
        ClearBaseMapTiles(&d->baseMap);
    }
}

void CAcToolBarWnd::OnDownloadMap()
{
    CDrawingData* d = g_ptagDocIdManager;
    if (!d) return;
    if (d->crossSection.sectionActive) gcutPrintf(L"\n当前为断面模式，不支持下载底图！");
    else CaptureMapCommand(&d->baseMap);
}

void CAcToolBarWnd::OnDownloadDem()
{
    if (CDrawingData* d = g_ptagDocIdManager) ContourCommand(&d->contour);
}

void CAcToolBarWnd::OnSetRelatePoints()
{
    g_coordBinding.checkPending = false;
    PeerApiGetCoordSystem(&g_peerApi);
    ShowCoordInfoWindow();
}

void CAcToolBarWnd::OnSettings()
{
    const int32_t level = g_settings.textLevelMetres;
    {
        PluginResourceScope resources;
        CDlgSetting dialog;
        dialog.DoModal();
    }
    if (HasWorkingDatabase() && g_settings.textLevelMetres != level) PostMessage(WM_RESCALE_ICONS);
}

void CAcToolBarWnd::OnSectionMode()
{
    CDrawingData* d = g_ptagDocIdManager;
    if (!d) return;
    if (d->crossSection.sectionActive) {
        d->crossSection.sectionActive = 0;
        SetSectionButtonState(0);
    } else if (!FindWindowW(L"velkWin", nullptr)) {
        AfxMessageBox(L"没有找到Velk程序", MB_OK);
    } else if (AfxMessageBox(L"您确定把当前文档的数据以【断面】的形式发送到Velk吗？\n提示：该模式下只能实现断面转换，不能使用跟随功能和地图服务。",
                             MB_YESNO) == IDYES) {
        BeginCrossSectionMode(&d->crossSection);
        CrossSectionCommand(&d->crossSection);
    }
}

void CAcToolBarWnd::OnPickEntity()
{
    if (!CheckVelkStatus()) return;
    OdDbObjectId picked;
    ads_name set{0, 0};
    int32_t length = 0;
    if (gcedSSGet(L"I", nullptr, nullptr, nullptr, set) == RTNORM) {
        ads_name last{0, 0};
        if (gcedSSLength(set, &length) == RTNORM && length > 0 && gcedSSName(set, length - 1, last) == RTNORM)
            oddbGetObjectId(picked, last);
        gcedSSFree(set);
    }
    if (length == 0) {
        ads_name entity{0, 0};
        ads_point point{0, 0, 0};
        if (gcedEntSel(L"\n请选择一个实体：", entity, point) == RTNORM) oddbGetObjectId(picked, entity);
    }
    // Nothing more is done with the entity.
}

void CAcToolBarWnd::OnCommand32780() { ArxOperation::DatabaseHook(oddbHostApplicationServices()->workingDatabase()); }

void CAcToolBarWnd::SetSectionButtonState(int on) { SetButtonImage(toolBar, kSectionButton, on ? 8 : 5); }

void CAcToolBarWnd::ShowCoordInfoWindow()
{
    if (!HasWorkingDatabase() || !CheckVelkStatus()) return;
    g_bFollow3Enabled = 0;
    PluginResourceScope resources;
    if (!g_pSetCoorDlg) {
        g_pSetCoorDlg = new CSetCoorDlg(gcedGetGcadFrame());
        if (!g_pSetCoorDlg->Create(CSetCoorDlg::IDD, gcedGetGcadFrame())) {
            delete g_pSetCoorDlg;
            g_pSetCoorDlg = nullptr;
            g_bFollow3Enabled = 1;
            return;
        }
    }
    g_pSetCoorDlg->ShowWindow(SW_SHOW);
    g_pSetCoorDlg->infoText = L"当前拓岚地图系统坐信息：\r\n" + g_coordBinding.coordinateText;
    gcedPostCommandPrompt();
    g_pSetCoorDlg->UpdateData(FALSE);
}

int CreateToolBarWnd()
{
    InstallShellServices();
    if (!g_pToolBarWnd) g_pToolBarWnd = new CAcToolBarWnd();
    if (g_pToolBarWnd->m_hWnd) return 1;
    RECT rect{0, 0, 1, 1};
    return g_pToolBarWnd->Create(nullptr, nullptr, 0x60010000, rect, gcedGetGcadFrame(), kToolBarWndId);
}

void DestroyToolBarWnd()
{
    if (!g_pToolBarWnd) return;
    if (g_pToolBarWnd->m_hWnd) g_pToolBarWnd->DestroyWindow();
    delete g_pToolBarWnd;
    g_pToolBarWnd = nullptr;
}

CAcToolBarWnd* GetToolBarWnd() { return g_pToolBarWnd && g_pToolBarWnd->m_hWnd ? g_pToolBarWnd : nullptr; }

CAcToolBar* BuildToolBar(UINT, CWnd* owner, const CString& title)
{
    CFrameWnd* frame = gcedGetGcadFrame();
    auto* toolBar = new CAcToolBar();
    toolBar->Create(frame, owner, 0x5000A834, AFX_IDW_TOOLBAR);
    // The module's own resources while its icons load.
    AfxSetResourceHandle(g_hModuleInstance);
    g_toolBarImages.DeleteImageList();
    g_toolBarImages.Create(24, 24, ILC_COLOR32 | ILC_MASK, 1, 1);
    // The list copies each icon; LoadIcon's icons are shared and stay with
    // the module.
    for (UINT group : kIconGroups)
        g_toolBarImages.Add(LoadIconW(AfxFindResourceHandle(MAKEINTRESOURCEW(group), RT_GROUP_ICON), MAKEINTRESOURCEW(group)));
    frame->EnableDocking(CBRS_ALIGN_ANY);
    toolBar->SetButtons(kButtons, (int)(sizeof kButtons / sizeof kButtons[0]));
    toolBar->SendMessage(TB_SETIMAGELIST, 0, (LPARAM)g_toolBarImages.GetSafeHandle());
    toolBar->SetSizes(SIZE{24, 24}, SIZE{24, 24});
    SetOnlineMapButtonImage(toolBar, g_settings.onlineBaseMap);
    AfxSetResourceHandle(gcedGetGcadResourceInstance());
    toolBar->EnableDocking(CBRS_ALIGN_ANY);
    toolBar->SetWindowText(title);
    frame->FloatControlBar(toolBar, POINT{GetSystemMetrics(SM_CXSCREEN) - 300, 70}, CBRS_ALIGN_TOP);
    frame->ShowControlBar(toolBar, TRUE, TRUE);
    return toolBar;
}

void SetOnlineMapButtonImage(CAcToolBar* toolBar, int online) { SetButtonImage(toolBar, kOnlineButton, online == 1 ? 1 : 7); }
