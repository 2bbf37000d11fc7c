#include "section/contour.h"

#include <cstring>

#include "afxmsgbox.h"
#include "common/entity/entityutil.h"
#include "exchange/arxoperation.h"
#include "exchange/objexchangebuffer.h"
#include "gcapdocmanager.h"
#include "gcedview.h"
#include "gcutprint.h"
#include "oddbentity.h"
#include "peer/maprecords.h"
#include "peer/peerrequests.h"
#include "section/dlgcontour.h"
#include "state/coordbinding.h"
#include "state/documentlock.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/peerstatus.h"
#include "state/pluginresourcescope.h"
#include "state/reactorflags.h"
#include "ui/peercheck.h"

int32_t g_contourRequestCounter = 0;

namespace {

const double kSmallestRange = 10.0;
const int32_t kFirstWidening = 10;   // pixels of the level on every side
const int32_t kShapeWidening = 20;
const uint8_t kContourKind = 2;
const int32_t kMeterThreshold = 20;

// Drawing units per pixel at the level; 0 for a level the tables lack.
double ResolutionX(int32_t level) { return level >= 0 && level < 29 ? g_levelResolutionX[level] : 0.0; }
double ResolutionY(int32_t level) { return level >= 0 && level < 29 ? g_levelResolutionY[level] : 0.0; }

ContourRequest BaseRequest(const ContourState& state)
{
    ContourRequest r;
    memset(&r, 0, sizeof r);
    r.requestId = state.requestId;
    r.kind = kContourKind;
    r.level = state.level;
    r.precision = state.precision;
    return r;
}

// Set while the second request is being sent: its answers arrive inside it.
bool g_secondRequestRunning = false;

void SendSecondRequest(ContourState* state)
{
    ContourRequest request = BuildSecondContourRequest(*state);
    g_secondRequestRunning = true;
    int status = PeerApiGetContour(&g_peerApi, &request, 1);
    g_secondRequestRunning = false;
    EndContourCommand(state);
    ReportVelkMsgError(status, L"", true);
}

// The rectangle goes to the peer, which is brought forward, and stays.
void HandOverToPeer(ContourState* state)
{
    SendContourRequest(state);
    ActivateVelkWindow();
    state->mode = 1;
}

}  // namespace

ContourRequest BuildFirstContourRequest(const ContourState& state)
{
    ContourRequest r = BaseRequest(state);
    r.keptValue8 = 1;
    const double dx = kFirstWidening * ResolutionX(state.level), dy = kFirstWidening * ResolutionY(state.level);
    r.minX = state.minX - dx;
    r.minY = state.minY - dy;
    r.maxX = state.maxX + dx;
    r.maxY = state.maxY + dy;
    r.firstRequest = 1;
    r.keptValue104 = 1;
    return r;
}

ContourRequest BuildSecondContourRequest(const ContourState& state)
{
    ContourRequest r = BaseRequest(state);
    r.keptValue8 = state.keptValue8;
    r.minX = state.minX;
    r.minY = state.minY;
    r.maxX = state.maxX;
    r.maxY = state.maxY;
    r.firstRequest = 0;
    r.keptValue104 = state.keptValue104;
    return r;
}

void ContourCommand(ContourState* state)
{
    if (!state || !CheckVelkStatus(true)) return;
    CDlg_Contour dialog;
    if (state->mode == 1) dialog.rangeMode = 1;
    {
        PluginResourceScope scope;
        if (dialog.DoModal() != IDOK) return;
    }
    state->level = dialog.level;
    state->precision = dialog.precision;
    GcApDocManager* manager = gcDocManagerPtr();
    if (manager) {
        // A peer that does not answer counts as working in longitude and
        // latitude.
        g_coordBinding.coordinateType = 2;
        PeerApiGetCoordSystem(&g_peerApi);
        if (g_coordBinding.coordinateType == 2) {
            AfxMessageBox(L"当前系统为经纬度坐标系，请设置！", MB_OK);
            return;
        }
    }
    state->entityId = OdDbObjectId();
    if (dialog.rangeMode == 0) {
        state->mode = 0;
        gcutPrintf(L"\n请框选一个矩形区域！");
        if (g_pEditorReactor) g_pEditorReactor->m_nPendingRect = 2;
        if (manager && manager->curDocument())
            manager->sendStringToExecute(manager->curDocument(), L"_rectang ", true, false, true);
        return;
    }
    state->mode = 2;
    ads_name entity{0, 0};
    ads_point point{0, 0, 0};
    if (gcedEntSel(L"\n请选择一个实体：", entity, point) == RTNORM) ContourFromExtents(state, entity);
}

bool ContourFromExtents(ContourState* state, const ads_name entity)
{
    if (!state) return false;
    gcutPrintf(L"\n");
    OdDbObjectId id;
    oddbGetObjectId(id, entity);
    state->entityId = id;
    OdGeExtents3d extents;
    {
        DocumentWriteLock lock;
        OdDbEntity* ent = nullptr;
        if (oddbOpenOdDbEntity(ent, id, OdDb::kForWrite) != eOk || !ent) return false;
        ent->getGeomExtents(extents);
        ent->close();
    }
    const double width = extents.maxPoint().x - extents.minPoint().x;
    const double height = extents.maxPoint().y - extents.minPoint().y;
    // Also refuses extents that could not be taken (they stay empty).
    if (!(width >= kSmallestRange) && !(height >= kSmallestRange)) {
        gcutPrintf(L"\n您选择的范围太小，无法生成地图！\\");
        // A rectangle drawn for the command goes; a picked entity stays.
        EndContourCommand(state);
        return false;
    }
    PeerApiGetLevelResolutions(&g_peerApi, (extents.minPoint().x + extents.maxPoint().x) / 2,
                               (extents.minPoint().y + extents.maxPoint().y) / 2);
    state->minX = extents.minPoint().x;
    state->maxX = extents.maxPoint().x;
    state->minY = extents.minPoint().y;
    state->maxY = extents.maxPoint().y;
    state->requestId = g_contourRequestCounter;
    // Numbers wrap rather than overflow.
    g_contourRequestCounter = (int32_t)((uint32_t)g_contourRequestCounter + 1);
    state->keptValue8 = 1;
    state->keptValue104 = 1;
    ContourRequest request = BuildFirstContourRequest(*state);
    int status = PeerApiGetContour(&g_peerApi, &request, 1);
    ReportVelkMsgError(status, L"GetVelkContourErr:", true);
    return true;
}

void OnContourReply(ContourState* state, const uint8_t* payload, uint32_t size)
{
    if (!state || !payload || size < sizeof(ContourRequest)) return;
    ContourRequest answer;
    memcpy(&answer, payload, sizeof answer);
    const uint32_t dataLength = answer.dataLength > 0 ? (uint32_t)answer.dataLength : 0;
    if (dataLength > size - sizeof answer) {
        WriteDebugLog("contour answer of %u bytes announces %u bytes of data", size, dataLength);
        return;
    }
    const int32_t status = answer.status;
    if (status >= 0 || status == kContourMoreFollows) {
        if (dataLength > 0) {
            state->busy = 1;
            ArxOperation::ReceiveMapObjects(payload + sizeof answer, dataLength);
            state->busy = 0;
        }
        if (status >= 0) {
            gcedRestoreStatusBar();
            gcutPrintf(L"\n下载完毕");
            EndContourCommand(state);
        }
        return;
    }
    // No result follows: the meter of the peer's progress goes.
    gcedRestoreStatusBar();
    if (status == kContourRangeTooLarge) {
        AfxMessageBox(L"当前操作(取高程)超出系统支持的范围！\r\n请缩小范围后再操作！", MB_OK);
        EndContourCommand(state);
        return;
    }
    if (status == kContourNoElevation) {
        // The second request answered "ask again": asking once more would
        // only start the same exchange inside this one, without end.
        if (g_secondRequestRunning && (answer.dataState == 1 || answer.dataState == 2)) {
            gcutPrintf(L"%s", ReportVelkJobResult(status).GetString());
            return;
        }
        if (answer.dataState == 1) {
            SendSecondRequest(state);
        } else if (answer.dataState == 2) {
            if (AfxMessageBox(L"当前拓岚已下载的高程数据不完整，是否先到拓岚下载？\r\n系统将发送该矩形区域到拓岚。\r\n点【否】直接下载。",
                              MB_YESNO | MB_ICONINFORMATION) == IDYES)
                HandOverToPeer(state);
            else
                SendSecondRequest(state);
        } else {
            AfxMessageBox(L"当前拓岚尚未下载高程数据，请先到拓岚下载。\r\n系统将发送该矩形区域到拓岚。", MB_OK);
            HandOverToPeer(state);
        }
        return;
    }
    CString text = ReportVelkJobResult(status);
    if (!text.IsEmpty()) gcutPrintf(L"%s", text.GetString());
}

void OnContourProgress(ContourState*, int32_t done, int32_t total)
{
    if (total <= kMeterThreshold) return;
    gcedRestoreStatusBar();
    gcedSetStatusBarProgressMeter(L"正在提取高程数据", 0, total);
    gcedSetStatusBarProgressMeterPos(done);
}

bool SendContourRequest(ContourState* state)
{
    if (!state) return false;
    ShapeRecord* shape = NewShapeRecord(&g_peerApi);
    if (!shape) return false;
    auto* points = (TrackPoint*)AllocZeroed(2 * sizeof(TrackPoint));
    if (!points) {
        FreeMapObjRecord(&g_peerApi, shape, kMapObjShape);
        return false;
    }
    const double dx = kShapeWidening * ResolutionX(state->level), dy = kShapeWidening * ResolutionY(state->level);
    shape->coordMode = 2;
    shape->count = 2;
    shape->points = points;
    points[0].y = state->minY - dy;
    points[0].x = state->minX - dx;
    points[1].y = state->maxY + dy;
    points[1].x = state->maxX + dx;
    shape->startAngle = 0;
    shape->endAngle = 0;
    char name[100] = {};
    CStringToUtf8Buf(L"Contour_" + MakeDefaultObjectName(kMapObjShape), name, sizeof name, 99);
    CopyName100(shape->name, name, strlen(name));
    int status = PeerApiUploadShape(&g_peerApi, 0, shape, nullptr, 0, 0);
    FreeMapObjRecord(&g_peerApi, shape, kMapObjShape);
    PeerApiSetLocation(&g_peerApi, 0, (uint32_t)state->level, (state->minX + state->maxX) / 2,
                       (state->minY + state->maxY) / 2, 0, 2, 0);
    ReportVelkMsgError(status, L"", true);
    return status > 0;
}

void EndContourCommand(ContourState* state)
{
    // Only the rectangle drawn for this command: a picked entity (mode 2)
    // and a rectangle handed to the peer (mode 1) stay.
    if (!state || state->entityId.isNull() || state->mode != 0) return;
    DocumentWriteLock lock;
    CEntityUtil::Erase(state->entityId);
}
