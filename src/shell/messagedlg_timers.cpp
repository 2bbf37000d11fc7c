// The link timers of the receiver window.
#include <cmath>

#include "basemap/basemap.h"
#include "basemap/capture.h"
#include "common/symboltable/viewutil.h"
#include "exchange/exchangeglobals.h"
#include "gcapdocmanager.h"
#include "gcedview.h"
#include "peer/peerrequests.h"
#include "shell/actoolbarwnd.h"
#include "shell/messagedlg.h"
#include "shell/reactors.h"
#include "shell/velkarxapp.h"
#include "state/drawingdata.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/peerstatus.h"
#include "state/settings.h"

namespace {

const wchar_t kPeerClass[] = L"velkWin";
const wchar_t kButtonCaption[] = L"发送所选对象到CAD";

bool PeerWindowExists() { return FindWindowW(kPeerClass, nullptr) != nullptr; }

bool Moved(const ViewExtents& a, const ViewExtents& b)
{
    return std::fabs(a.minX - b.minX) > 0.1 || std::fabs(a.minY - b.minY) > 0.1 || std::fabs(a.maxX - b.maxX) > 0.1 ||
           std::fabs(a.maxY - b.maxY) > 0.1;
}

// Keeps the plug-in's button in the peer and asks the peer to follow.
void KeepButton()
{
    PeerApiSetButton(&g_peerApi, kButtonQuery, nullptr, 1);
    if (g_buttonPresent == 0) {
        char caption[256];
        CStringToUtf8Buf(kButtonCaption, caption, sizeof caption, 0);
        PeerApiSetButton(&g_peerApi, kButtonAdd, caption, 1);
    }
    if ((g_settings.followMode == 2 || g_settings.followMode == 3) && PeerWindowExists())
        ReportVelkMsgError(PeerApiSetFollowWinMap(&g_peerApi, 1000), L"FollowWinMapErr:", false);
}

// Follows the view: tiles for a view that moved, and the peer's map in
// follow mode 1 (or 3 while the coordinate window is closed).
void PollView(CDrawingData* d, EditorReactorFlags* editor)
{
    if (!d || !d->baseMap.ready || !editor) return;
    if (Moved(editor->m_viewExtents, editor->m_viewExtentsNow)) {
        if (d->baseMap.loaded) LoadViewTiles(&d->baseMap, 0);
        else RefreshBaseMap(&d->baseMap);
        const int mode = g_settings.followMode;
        if ((mode == 1 || (mode == 3 && g_bFollow3Enabled)) && PeerWindowExists()) {
            // The peer's report of this very move is not applied back.
            editor->m_bEcho = 0;
            ViewExtents view;
            CViewUtil::GetViewExtents(view, 1.0);
            int level = LevelForView(&d->baseMap, view);
            int status = PeerApiSetLocation(&g_peerApi, 0, (uint32_t)level, (view.minX + view.maxX) / 2,
                                            (view.minY + view.maxY) / 2, 0, 2, 0);
            ReportVelkMsgError(status, L"SetVelkLocationErr:", false);
        }
    }
    ViewExtents now;
    CViewUtil::GetViewExtents(now, 1.0);
    editor->m_viewExtentsNow = now;
    editor->m_viewExtents = now;
}

void ToggleImageFrames(CDrawingData* d)
{
    GcApDocManager* manager = gcDocManagerPtr();
    if (!manager || !d) return;
    GcApDocument* doc = manager->curDocument();
    manager->sendStringToExecute(doc, L"IMAGEFRAME 1 ", true, false, true);
    manager->sendStringToExecute(doc, L"IMAGEFRAME 0 ", true, false, true);
    gcedRedraw(nullptr, 1);
    d->baseMap.ready = 1;
}

}  // namespace

void CMessageDlg::OnTimer(UINT_PTR id)
{
    // While the link is off the ticks do nothing at all.
    if (!g_bLinkActive) return;
    CDrawingData* d = g_ptagDocIdManager;
    switch (id) {
    case 5000: KeepButton(); break;
    case 1001:
        PeerApiGetCoordSystem(&g_peerApi);
        KillTimer(1001);
        break;
    case 1002:
        g_bBhatchRunning = 0;
        KillTimer(1002);
        break;
    case 1003:
        if (PeerWindowExists()) {
            int status = PeerApiGetPluginVersion(&g_peerApi);
            KillTimer(1003);
            ReportVelkMsgError(status, L"GetVelkPluginVer:", false);
        }
        break;
    case 1005:
        g_bSuppressReactors = 0;
        KillTimer(1005);
        break;
    case 1006: PollView(d, g_pEditorReactor); break;
    case 1007:
        if (d) PollTileRetries(&d->baseMap);
        break;
    case 1008:
        ToggleImageFrames(d);
        KillTimer(1008);
        break;
    case 1009:
        if (d) PlaceQueuedTiles(&d->baseMap);
        break;
    case 1010:
        // Stopped first: the answer to the repeat may arm the next one.
        KillTimer(1010);
        if (d && d->baseMap.currentCapture.busy) RequestCapture(&d->baseMap, 20);
        break;
    default: break;
    }
    CDialog::OnTimer(id);
}
