#include "shell/messagedlg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/basefile.h"
#include "base/baselog.h"
#include "basemap/basemap.h"
#include "basemap/capture.h"
#include "common/symboltable/viewutil.h"
#include "exchange/arxoperation.h"
#include "exchange/exchangeglobals.h"
#include "gcapdocmanager.h"
#include "gcedview.h"
#include "gcutprint.h"
#include "oddbdatabase.h"
#include "peer/peerrequests.h"
#include "section/contour.h"
#include "section/crosssection.h"
#include "shell/actoolbarwnd.h"
#include "shell/moduleentry.h"
#include "shell/reactors.h"
#include "shell/shellservices.h"
#include "shell/velkarxapp.h"
#include "state/coordbinding.h"
#include "state/drawingdata.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/peerstatus.h"
#include "state/relatepoint.h"
#include "state/settings.h"
#include "ui/peercheck.h"
#include "ui/setcoordlg.h"

CMessageDlg* g_pMessageDlg = nullptr;
UpdateNoticeRecord g_updateNotice;
int32_t g_buttonPresent = 0;
bool g_bRelateResendRunning = false;

namespace {

const WPARAM kPeerWParam = 1001;
const wchar_t kPeerClass[] = L"velkWin";
// WM_APP+44 mutes the reactors only the first time in a load.
bool g_bSuppressOnceDone = false;

// The object fetch of WM_APP+43 while its request runs: whether the answer
// reached the object exchange, and whether the status bar came back.
struct ObjectFetch {
    bool received = false;
    bool restored = false;
};
ObjectFetch* g_fetch = nullptr;

// Little-endian readers of a payload whose length was checked.
int32_t I32(const uint8_t* p) { return (int32_t)((uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24)); }
uint32_t U32(const uint8_t* p) { return (uint32_t)I32(p); }
int64_t I64(const uint8_t* p) { return (int64_t)((uint64_t)U32(p) | ((uint64_t)U32(p + 4) << 32)); }
double F64(const uint8_t* p)
{
    double d;
    memcpy(&d, p, sizeof d);
    return d;
}

bool PeerWindowExists() { return FindWindowW(kPeerClass, nullptr) != nullptr; }

// After every answer except those of the table below, the cross-section
// mode stops waiting for its base line.
LRESULT TailStep(uint32_t code)
{
    CDrawingData* d = g_ptagDocIdManager;
    switch (code) {
    case 20401:
    case 20402:
    case 20501:
    case 20202:
    case 20211:
    case 20212:
    case 20302: break;
    default:
        if (d) d->crossSection.waitingForBaseLine = 0;
        break;
    }
    return 1;
}

void OnCoordSystemAnswer(CMessageDlg* receiver, const uint8_t* bytes, uint32_t size)
{
    CoordBindingState& b = g_coordBinding;
    CoordSystemAnswer head;
    memcpy(&head, bytes, sizeof head);
    const uint64_t key = DigestToId64(head.identifier);
    if (CDrawingData* d = g_ptagDocIdManager; d && key != d->baseMap.coordKey) {
        uint64_t old = d->baseMap.coordKey;
        d->baseMap.coordKey = key;
        if (old != 0) RefreshBaseMap(&d->baseMap);
    }
    b.coordinateType = head.kind;
    b.currentKind = head.kind;
    b.geographic = head.kind == 2;
    b.coordinateText = Utf8ToCString(bytes + sizeof head, size - sizeof head);
    b.currentKey = key;
    if (b.checkPending) PostShowCoordInfo(receiver);
    if (b.savePending && !b.geographic) SaveCoordinateBinding(b.bindingName, head.identifier);
    b.savePending = false;
}

void OnRelatePointAnswer(const uint8_t* bytes)
{
    const int32_t v = I32(bytes);
    if (v == -1) {
        // The resend's own answer arrives inside it: an "ask again" there is
        // not resent once more.
        if (g_bRelateResendRunning) return;
        g_bRelateResendRunning = true;
        int status = PeerApiSetRelatePoints(&g_peerApi, 3, &g_relatePoint, 1);
        g_bRelateResendRunning = false;
        ReportVelkMsgError(status, L"SetSysCoorPointErr:", false);
    } else if (v == 0) {
        BindCurrentDrawing();
    }
}

void OnTestEcho(const uint8_t* bytes, uint32_t size)
{
    const size_t nameField = 256;
    std::string name((const char*)bytes + 116, strnlen((const char*)bytes + 116, nameField));
    // Only into the file testConnect named: a peer cannot choose where the
    // module writes.
    if (name.find(".txt") == std::string::npos || g_testDataFile.empty() || name != g_testDataFile) return;
    int64_t declared = I32(bytes + 372);
    uint64_t length = declared < 0 ? 0 : declared > (int64_t)size ? size : (uint64_t)declared;
    uint64_t capacity = length + 256;
    auto* text = (char*)MemAllocZeroed(capacity);
    if (!text) return;
    std::string data((const char*)bytes + 788, strnlen((const char*)bytes + 788, size - 788));
    snprintf(text, capacity, "Recive From Velk DataLen:%d.\nbool:%s;\niData:%d;\nINT64:%lld,strData:%s", (int)size,
             bytes[100] ? "true" : "false", I32(bytes + 372), (long long)I64(bytes + 108), data.c_str());
    WriteLogLine(name.c_str(), "%s", text);
    MemFree(text);
}

LRESULT OnMatchViewAnswer(const uint8_t* bytes, uint32_t size)
{
    gcedSetStatusBarProgressMeterPos(20);
    const int64_t n = (int64_t)size - 112;
    if (n <= 0) return 1;
    if (g_bMatchOnly) {
        g_matchValues[0] = I32(bytes + 68);
        g_matchValues[1] = I32(bytes + 72);
        g_bMatchOnly = false;
        return 1;
    }
    OdGePoint3d corner1(F64(bytes + 16), F64(bytes + 24), 0), corner2(F64(bytes + 32), F64(bytes + 40), 0);
    int r = ArxOperation::CheckPointReply(bytes + 112, (int)n, corner1, corner2);
    if (r != 0) gcutPrintf(L"错误代码：%d(加载底图失败)！\n", r);
    if (r == 0 && g_lastViewMatchExtents.screenWidth > 0) {
        double ratio = (double)I32(bytes + 68) / g_lastViewMatchExtents.screenWidth;
        while (ratio > 1.5) ratio /= 2;
        if (ratio < 0.5)
            gcutPrintf(L"当前视图缩放比例可能太大，影响底图清晰度。\n");
        else if (ratio < 0.95 || ratio > 1.05)
            gcutPrintf(L"当前获取的底图与视图比例为%.2f%%，请运行命令<MATCHVELK>后再加载底图会更加清晰！\n", ratio * 100);
    }
    gcedSetStatusBarProgressMeterPos(100);
    return TailStep(20301);
}

void OnLevelResolutions(const uint8_t* bytes, uint32_t size)
{
    const uint32_t items = size / 104;
    const uint32_t used = items < 28 ? items : 28;
    memset(g_levelResolutionX, 0, sizeof g_levelResolutionX);
    memset(g_levelResolutionY, 0, sizeof g_levelResolutionY);
    CDrawingData* d = g_ptagDocIdManager;
    for (uint32_t i = 0; i < used; ++i) {
        g_levelResolutionX[i + 1] = F64(bytes + 104 * i);
        g_levelResolutionY[i + 1] = F64(bytes + 104 * i + 8);
        if (d) {
            d->baseMap.xResolution[i + 1] = g_levelResolutionX[i + 1];
            d->baseMap.yResolution[i + 1] = g_levelResolutionY[i + 1];
        }
    }
}

void OnSearchList(const uint8_t* bytes, uint32_t size)
{
    g_searchAnswer = 0;
    const uint32_t count = size < 16 ? 0 : (size - 16) / 108;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* item = bytes + 16 + 108 * i;
        if (U32(item + 4) == 30 && Utf8ToCString(item + 8, 100) == g_searchName) {
            g_searchAnswer = U32(item);
            return;
        }
    }
}

}  // namespace

CMessageDlg::CMessageDlg(CWnd* owner) : CDialog(IDD, owner)
{
    g_coordBinding.checkPending = false;
    InstallShellServices();
}

CMessageDlg::~CMessageDlg()
{
    if (g_pMessageDlg == this) g_pMessageDlg = nullptr;
}

void CMessageDlg::DoDataExchange(CDataExchange* dx) { CDialog::DoDataExchange(dx); }

BOOL CMessageDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetTimer(5000, 5000, nullptr);
    SetTimer(1003, 5000, nullptr);
    SetTimer(1007, 300, nullptr);
    SetTimer(1009, 1000, nullptr);
    return TRUE;
}

// Enter does not end the window.
void CMessageDlg::OnOK() {}
void CMessageDlg::OnCancel() { OnClose(); }

void CMessageDlg::OnClose()
{
    HWND h = m_hWnd;
    // The default handling may already destroy (and so delete) the window.
    Default();
    if (IsWindow(h)) DestroyWindow();
}

void CMessageDlg::PostNcDestroy()
{
    CDialog::PostNcDestroy();
    if (g_pMessageDlg == this) g_pMessageDlg = nullptr;
    delete this;
}

LRESULT CMessageDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DESTROY) {
        // Payloads posted to this window and never run are freed with it.
        MSG queued;
        while (PeekMessageW(&queued, m_hWnd, WM_RESEND_OBJECTS, WM_SIGN_AT_POINT, PM_REMOVE)) {
            if (queued.message == WM_RESEND_OBJECTS) delete (OdDbObjectIdArray*)queued.lParam;
            else if (queued.message == WM_SIGN_AT_POINT) free((void*)queued.lParam);
        }
    }
    if (!g_bLinkActive) {
        switch (msg) {
        // Its own making and ending still run.
        case WM_NCCREATE:
        case WM_CREATE:
        case WM_INITDIALOG:
        case WM_DESTROY:
        case WM_NCDESTROY: return CDialog::WindowProc(msg, wParam, lParam);
        // Payloads are freed, not acted on.
        case WM_RESEND_OBJECTS: delete (OdDbObjectIdArray*)lParam; return 1;
        case WM_SIGN_AT_POINT: free((void*)lParam); return 1;
        default: return 1;
        }
    }
    if (msg == WM_SHOW_COORD_INFO) {
        if (CAcToolBarWnd* bar = GetToolBarWnd()) bar->ShowCoordInfoWindow();
        return 1;
    }
    if (OnPrivateMessage(msg, wParam, lParam)) return CDialog::WindowProc(msg, wParam, lParam);
    if (msg != WM_COPYDATA || wParam != kPeerWParam || !lParam) return CDialog::WindowProc(msg, wParam, lParam);
    return OnPeerMessage((const COPYDATASTRUCT*)lParam);
}

bool CMessageDlg::OnPrivateMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    CDrawingData* d = g_ptagDocIdManager;
    if (msg == WM_SHOW_UPDATE_NOTICE) {
        if (!g_updateNotice.shown) {
            UpdateNotice(g_updateNotice.text, g_updateNotice.version);
            g_updateNotice.shown = true;
        }
    } else if (msg == WM_RESEND_OBJECTS) {
        auto* ids = (OdDbObjectIdArray*)lParam;
        if (ids && !ids->isEmpty() && PeerWindowExists()) {
            // The send's own writes (a block's scale) are no edit of the
            // user's, even when an answer or a command start let the
            // reactors listen since the post; they listen after it as before.
            const uint8_t listening = !g_bSuppressReactors;
            g_bSuppressReactors = 1;
            ArxOperation::SendObjectsToPeer(*ids);
            if (listening) g_bSuppressReactors = 0;
        }
        delete ids;
    } else if (msg == WM_SIGN_AT_POINT) {
        auto* point = (double*)lParam;
        if (point) {
            SignRecord* sign = NewSignRecord(&g_peerApi);
            if (sign) {
                sign->y = point[1];
                sign->x = point[0];
                sign->coordMode = 2;
                sign->iconNumber = 4;
                OdDbObjectId id = ArxOperation::SignToText(sign, CString(), true);
                if (!id.isNull()) {
                    auto* ids = new OdDbObjectIdArray();
                    ids->append(id);
                    PostMessage(WM_RESEND_OBJECTS, 0, (LPARAM)ids);
                }
                FreeMapObjRecord(&g_peerApi, sign, kMapObjSign);
            }
            free(point);
        }
    } else if (msg == WM_FLUSH_GRAPHICS) {
        CViewUtil::FlushGraphics();
    } else if (msg == WM_SUPPRESS_ONCE) {
        if (!g_bSuppressOnceDone) {
            g_bSuppressOnceDone = true;
            g_bSuppressReactors = 1;
            SetTimer(1005, 100, nullptr);
        }
    } else if (msg == WM_SUPPRESS_SHORT) {
        SetTimer(1005, 100, nullptr);
    } else if (msg == WM_FETCH_OBJECTS) {
        g_bSuppressReactors = 1;
        bool meter = !(d && d->crossSection.waitingForBaseLine);
        if (meter) gcedSetStatusBarProgressMeter(L"接收数据", 0, 100);
        ObjectFetch fetch;
        ObjectFetch* outer = g_fetch;
        g_fetch = &fetch;
        int status = PeerApiGetObjTree(&g_peerApi, 3);
        g_fetch = outer;
        ReportVelkMsgError(status, L"GetObjTreeErr:", false);
        // Nothing was received (a failure, a short answer, a base line):
        // the reactors are let go as the receipt would, and the meter goes.
        if (!fetch.received) {
            if (meter && !fetch.restored) gcedRestoreStatusBar();
            SetTimer(1005, 100, nullptr);
        }
    } else if (msg != 0 && msg == g_mapFileProgressMsg) {
        if (d) OnMapFileProgress(&d->baseMap.currentCapture, (int32_t)lParam, (int32_t)wParam);
    } else if (msg != 0 && msg == g_contourProgressMsg) {
        if (d) OnContourProgress(&d->contour, (int32_t)lParam, (int32_t)wParam);
    } else {
        return false;
    }
    return true;
}

LRESULT CMessageDlg::OnPeerMessage(const COPYDATASTRUCT* cds)
{
    const uint32_t code = (uint32_t)(cds->dwData & 0xFFFF);
    const uint32_t size = cds->lpData ? cds->cbData : 0;
    const auto* bytes = (const uint8_t*)cds->lpData;
    CDrawingData* d = g_ptagDocIdManager;
    switch (code) {
    case 20001:
        if (g_pSetCoorDlg && g_pSetCoorDlg->m_hWnd) {
            g_pSetCoorDlg->SetWindowPos(&CWnd::wndTopMost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            g_pSetCoorDlg->SetWindowPos(&CWnd::wndNoTopMost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            ::SendMessageW(g_pSetCoorDlg->m_hWnd, WM_COPYDATA, kPeerWParam, (LPARAM)cds);
        }
        break;
    case 20112: ApplyObjectAnswer(bytes, size); break;
    case 20303:
        if (size < 1) return 1;
        if (d) OnContourReply(&d->contour, bytes, size);
        break;
    case 20110:
        if (size < 144) {
            gcedRestoreStatusBar();
            if (g_fetch) g_fetch->restored = true;
            return 1;
        }
        if (!d) break;
        if (d->crossSection.waitingForBaseLine) {
            OnCrossSectionBaseLine(&d->crossSection, bytes, size);
        } else {
            gcedSetStatusBarProgressMeterPos(60);
            // Objects taken in let the reactors go themselves (timer 1005).
            bool received = ArxOperation::ReceiveMapObjects(bytes, size);
            if (g_fetch) g_fetch->received = received;
        }
        break;
    case 20401:
        if (size < 4) return 1;
        g_buttonPresent = I32(bytes);
        break;
    case 20203:
        if (size < 64) return 1;
        KillTimer(1003);
        if (I32(bytes + 4) > g_pluginVersion && !g_updateNotice.shown) {
            g_updateNotice.value0 = I32(bytes);
            g_updateNotice.version = I32(bytes + 4);
            g_updateNotice.text = Utf8ToCString(bytes + 64, size - 64);
            PostMessage(WM_SHOW_UPDATE_NOTICE);
        }
        break;
    case 20204:
        if (size < 408) return 1;
        OnPluginVersionAnswer(bytes, size);
        break;
    case 20402:
        if (oddbHostApplicationServices()->workingDatabase() && CheckVelkStatus()) PostMessage(WM_FETCH_OBJECTS);
        break;
    case 20020:
        if (size < 788) return -1;
        OnTestEcho(bytes, size);
        break;
    case 20211:
        if (size < 40 || !d) return 1;
        d->baseMap.grid.origin = OdGePoint3d(F64(bytes + 24), F64(bytes + 32), 0);
        break;
    case 20012:
        if (size < 52 || g_coordBinding.geographic || !d) return 1;
        d->baseMap.grid.peerLevel = I32(bytes + 44);
        // Following compares the map type with the one shown so far, and
        // stores it itself.
        if (g_settings.followMode != 0 && g_pEditorReactor && g_pEditorReactor->m_bEcho)
            SyncViewWithPeer(&d->baseMap, bytes, size);
        else
            d->baseMap.grid.mapType = I32(bytes + 48);
        if (g_pEditorReactor) g_pEditorReactor->m_bEcho = 1;
        return 1;
    case 20212: OnLevelResolutions(bytes, size); break;
    case 20302: {
        if (size < sizeof(TileRequest) || !d) return 0;
        TileRequest reply;
        memcpy(&reply, bytes, sizeof reply);
        InsertCapturedImage(&d->baseMap, reply);
        break;
    }
    case 20601: {
        // A new table replaces the one held, which is freed.
        LinetypeTable* table = ParseLinetypeTable(&g_peerApi, bytes, size);
        if (g_pLinetypeTable && g_pLinetypeTable != table) FreeLinetypeTable(g_pLinetypeTable, true);
        g_pLinetypeTable = table;
        break;
    }
    case 20301:
        if (size < 1) return 0;
        return OnMatchViewAnswer(bytes, size);
    case 20107:
        if (size < 536) return 1;
        ApplyFolderSearchAnswer(bytes, size);
        break;
    case 20105:
        if (size < 1) return 0;
        OnSearchList(bytes, size);
        break;
    case 20101:
        if (size < 16) return 1;
        ApplyFolderLookupAnswer(bytes, size);
        break;
    case 20100:
        if (size < 1) return 0;
        ApplyFolderListAnswer(bytes, size);
        break;
    case 20201:
        if (size < 4) return 0;
        OnRelatePointAnswer(bytes);
        break;
    case 20202:
        if (size < sizeof(CoordSystemAnswer)) return 0;
        OnCoordSystemAnswer(this, bytes, size);
        return 1;
    default: break;
    }
    return TailStep(code);
}

void PostShowCoordInfo(CMessageDlg* receiver)
{
    CoordBindingState& b = g_coordBinding;
    bool bound = b.currentKind != 2 && b.currentKey == b.storedBinding;
    if (!bound && receiver) receiver->PostMessage(WM_SHOW_COORD_INFO);
    b.checkPending = false;
}
