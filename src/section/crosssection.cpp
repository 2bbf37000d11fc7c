#include "section/crosssection.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "afxmsgbox.h"
#include "common/document/dwgdatabaseutil.h"
#include "common/interaction/selectutil.h"
#include "exchange/arxoperation.h"
#include "exchange/crosssectionmode.h"
#include "exchange/objexchangebuffer.h"
#include "gcapdocmanager.h"
#include "gcedview.h"
#include "gcutprint.h"
#include "oddbentity.h"
#include "peer/peerrequests.h"
#include "section/crosssetting.h"
#include "state/coordbinding.h"
#include "state/documentlock.h"
#include "state/peerstatus.h"
#include "state/pluginresourcescope.h"
#include "state/reactorflags.h"
#include "state/relatepoint.h"
#include "state/sectiongeometry.h"
#include "state/settings.h"
#include "state/shellservices.h"
#include "ui/peercheck.h"

namespace {

const double kSmallestRectangle = 10.0;
const double kSmallestDrawing = 1.0;
const wchar_t kBaseLineFailed[] = L"选择断面基线失败！请重新操作！";

double Width(const OdGeExtents3d& e) { return e.maxPoint().x - e.minPoint().x; }
double Height(const OdGeExtents3d& e) { return e.maxPoint().y - e.minPoint().y; }

// The first track of an exchange buffer, parsed; null when there is none or
// it does not parse. Records are walked in order within the bytes the
// payload holds and its root header announces.
TrackRecord* FirstTrack(const uint8_t* payload, uint32_t size)
{
    const uint64_t head = sizeof(PeerPacketHeader);
    if (!payload || size < head + sizeof(ObjRecordHeader)) return nullptr;
    ObjRecordHeader root;
    memcpy(&root, payload + head, sizeof root);
    const uint64_t end = std::min<uint64_t>(size, head + sizeof root + (uint64_t)root.size);
    uint64_t at = head + sizeof root;
    while (end - at >= sizeof(ObjRecordHeader)) {
        ObjRecordHeader h;
        memcpy(&h, payload + at, sizeof h);
        at += sizeof h;
        // A body of size 0 or less (read as signed) is no body.
        const int32_t body = (int32_t)h.size;
        if (body <= 0) continue;
        if ((uint64_t)body > end - at) return nullptr;
        if (h.kind == kMapObjTrack) return ParseTrackRecord(&g_peerApi, payload + at, (uint32_t)body);
        at += (uint64_t)body;
    }
    return nullptr;
}

void RefuseBaseLine(int32_t result, int32_t number)
{
    CString text;
    if (result == kBaseLineRepeatedPoint) {
        text.Format(L"您选择的基线存在重复的轨迹点(第%d附近)，请修改轨迹！", number);
    } else if (result == kBaseLineSharpCorner) {
        text.Format(L"您选择的基线存在拐角过大的轨迹点(第%d附近)，请修改轨迹！", number);
    } else {
        AfxMessageBox(kBaseLineFailed, MB_OK);
        return;
    }
    text += L"\n请点[轨迹设置]-[高级]，然后进行设置";
    AfxMessageBox(text, MB_OK);
}

void BringHostForward()
{
    CFrameWnd* frame = gcedGetGcadFrame();
    if (!frame) return;
    if (frame->IsIconic()) frame->ShowWindow(SW_SHOWNORMAL);
    frame->BringWindowToTop();
}

}  // namespace

void BeginCrossSectionMode(CrossSectionState*)
{
    if (g_settings.followMode != 0) {
        // In memory only: the settings file keeps the user's choice.
        g_settings.followMode = 0;
        int status = PeerApiSetFollowWinMap(&g_peerApi, 1);
        ReportVelkMsgError(status, L"SetFollowWinMapErr:", false);
    }
    if (g_settings.onlineBaseMap) PressOnlineMapButton();
}

void CrossSectionCommand(CrossSectionState* state)
{
    if (!state) return;
    CCrossSetting dialog;
    {
        PluginResourceScope scope;
        if (dialog.DoModal() != IDOK) return;
    }
    state->chosenMode = dialog.orientation;
    state->chosenSwapEnds = dialog.swapEnds;
    if (!dialog.useRectangle) {
        state->range = OdGeExtents3d();
        state->strips.clear();
        CollectDrawingExtents(state);
        if (Width(state->range) >= kSmallestDrawing && Height(state->range) >= kSmallestDrawing)
            PromptForBaseLine(state);
        else
            AfxMessageBox(L"您选择的矩形框太小(数据不足)！初始化失败！", MB_OK);
        return;
    }
    GcApDocManager* manager = gcDocManagerPtr();
    if (!manager) return;
    if (g_pEditorReactor) g_pEditorReactor->m_bPendingSection = 1;
    if (manager->curDocument()) manager->sendStringToExecute(manager->curDocument(), L"_rectang ", true, false, true);
}

void CollectDrawingExtents(CrossSectionState* state)
{
    if (!state) return;
    DocumentWriteLock lock;
    for (const OdDbObjectId& id : CDwgDatabaseUtil::GetAllEntityIds()) {
        OdDbEntity* ent = nullptr;
        if (oddbOpenOdDbEntity(ent, id, OdDb::kForRead) != eOk || !ent) continue;
        OdGeExtents3d extents;
        if (ent->getGeomExtents(extents) == eOk) state->range.addExt(extents);
        ent->close();
    }
}

bool CrossSectionFromRectangle(CrossSectionState* state, const ads_name rectangle, bool erase)
{
    if (!state) return false;
    state->range = OdGeExtents3d();
    state->strips.clear();
    OdDbObjectId id;
    oddbGetObjectId(id, rectangle);
    OdGeExtents3d extents;
    {
        DocumentWriteLock lock;
        OdDbEntity* ent = nullptr;
        if (oddbOpenOdDbEntity(ent, id, OdDb::kForWrite) != eOk || !ent) return false;
        ent->getGeomExtents(extents);
        if (erase) ent->erase(true);
        ent->close();
    }
    if (!(Width(extents) >= kSmallestRectangle) && !(Height(extents) >= kSmallestRectangle)) {
        gcutPrintf(L"\n您选择的范围太小，无法生成地图！\\");
        return false;
    }
    state->range = extents;
    PromptForBaseLine(state);
    return true;
}

void PromptForBaseLine(CrossSectionState* state)
{
    if (!state) return;
    state->waitingForBaseLine = 0;
    if (AfxMessageBox(L"请到拓岚选择一条轨迹作为断面的基线！\n然后发送到CAD。", MB_YESNO | MB_ICONINFORMATION) != IDYES)
        return;
    state->waitingForBaseLine = 1;
    ActivateVelkWindow();
}

void OnCrossSectionBaseLine(CrossSectionState* state, const uint8_t* payload, uint32_t size)
{
    if (!state) return;
    BringHostForward();
    TrackRecord* track = FirstTrack(payload, size);
    if (!track) {
        AfxMessageBox(kBaseLineFailed, MB_OK);
        return;
    }
    // The frame and the base line are tried on copies: a refused base line
    // leaves the frame that serves a running section as it was.
    SectionFrame frame = g_sectionFrame;
    frame.mode = state->chosenMode;
    frame.swapEnds = state->chosenSwapEnds;
    if (frame.swapEnds == 1) ReverseTrackPoints(*track);
    BaseLine baseLine;
    BuildBaseLineSegments(baseLine, *track);
    SetSectionFrame(state->range, baseLine.totalLength / Width(state->range), frame);
    int32_t number = 0;
    const int32_t result = ValidateBaseLine(track->points, track->count, &number, frame);
    if (result != kBaseLineValid) {
        FreeMapObjRecord(&g_peerApi, track, kMapObjTrack);
        RefuseBaseLine(result, number);
        return;
    }
    g_sectionFrame = frame;
    state->frame = frame;
    state->baseLine = std::move(baseLine);
    // A base line sent again while the mode waits replaces the strips too.
    state->strips.clear();
    BuildSectionStrips(state->baseLine, state->strips, state->frame);
    SendSectionRelatePoints(state, track->points, track->count);
    FreeMapObjRecord(&g_peerApi, track, kMapObjTrack);

    SetSectionButtonState(1);
    state->sectionActive = 1;
    if (AfxMessageBox(L"断面参数初始化完毕！\n是否将数据发送到拓岚？", MB_YESNO | MB_ICONINFORMATION) != IDYES) return;
    OdDbObjectIdArray ids;
    CSelectUtil::SelectCrossingWindow(OdGePoint2d(state->range.minPoint().x, state->range.minPoint().y),
                                      OdGePoint2d(state->range.maxPoint().x, state->range.maxPoint().y), ids);
    if (!ids.isEmpty()) ArxOperation::SendObjectsToPeer(ids);
}

void SendSectionRelatePoints(CrossSectionState*, const TrackPoint* points, uint32_t count)
{
    if (!g_coordBinding.checkPending && !g_coordBinding.savePending) PeerApiGetCoordSystem(&g_peerApi);
    if (!g_coordBinding.geographic || !points || count == 0) return;
    // The westernmost point of the base line: its longitude and latitude.
    uint32_t west = 0;
    for (uint32_t i = 1; i < count; ++i)
        if (points[i].x < points[west].x) west = i;
    RelatePoint point;
    memset(&point, 0, sizeof point);
    point.longitude = points[west].x;
    point.latitude = points[west].y;
    point.flag = 1;
    point.x = g_sectionFrame.origin.x;
    point.y = g_sectionFrame.farCorner.y;
    // The peer's "send again" answer resends the point last sent.
    g_relatePoint = point;
    int status = PeerApiSetRelatePoints(&g_peerApi, 3, &point, 1);
    ReportVelkMsgError(status, L"SetRelatePointErr:", true);
}
