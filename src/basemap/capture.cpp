#include "basemap/capture.h"

#include <cmath>
#include <climits>

#include "afxmsgbox.h"
#include "basemap/basemap.h"
#include "basemap/capturemapsetting.h"
#include "basemap/tilefiles.h"
#include "common/symboltable/viewutil.h"
#include "gcapdocmanager.h"
#include "gcedview.h"
#include "gcutprint.h"
#include "oddbdatabase.h"
#include "oddbentity.h"
#include "peer/peerrequests.h"
#include "state/coordbinding.h"
#include "state/documentlock.h"
#include "state/peerstatus.h"
#include "state/pluginresourcescope.h"
#include "state/reactorflags.h"
#include "state/settings.h"
#include "state/shellservices.h"
#include "state/tilegrid.h"
#include "ui/peercheck.h"
#include "windows.h"

namespace {

const int kCaptureValue = 20;
const int kRetryDelayMs = 3000;
const UINT_PTR kCaptureTimer = 1010;
const double kMinimumRange = 10.0;
const wchar_t kFetchLabel[] = L"正在从网络取图";
const wchar_t kExtractLabel[] = L"正在提取图片";

// Pixels of a range at a resolution; -1 when no image can be that size.
int32_t PixelCount(double extent, double resolution)
{
    if (!(resolution > 0)) return -1;
    const double n = extent / resolution;
    return std::isfinite(n) && n >= 1 && n <= INT32_MAX ? (int32_t)n : -1;
}

}  // namespace

bool IsSavedDrawingPath(const CString& drawingPath) { return drawingPath.Find(L'\\') >= 0; }

CString CaptureFolder(const CString& drawingPath)
{
    // Only a dot in the file's own name starts its extension.
    const int dot = drawingPath.ReverseFind(L'.');
    const int slash = drawingPath.ReverseFind(L'\\');
    CString stem = dot > slash ? drawingPath.Left(dot) : drawingPath;
    return stem + L"_REFMAP";
}

CString NamedCaptureImagePath(const CString& drawingPath, const CString& imageName)
{
    return CaptureFolder(drawingPath) + L"\\" + imageName + L".jpg";
}

CString CaptureImagePath(const CString& drawingPath, const MapImageRecord& capture, uint32_t tickCount)
{
    if (!capture.imageName.IsEmpty()) return NamedCaptureImagePath(drawingPath, capture.imageName);
    CString text;
    text.Format(L"%d_%d_%f_%f_%f_%f", (int)tickCount, (int)capture.mapType, capture.minX, capture.minY, capture.maxX,
                capture.maxY);
    // The name stored drawings already refer to, spelling included.
    CString path;
    path.Format(L"%s\\%I64d_LoactionMap.jpg", CaptureFolder(drawingPath).GetString(), (int64_t)StringToId64(text));
    return path;
}

void CaptureMapCommand(BaseMapState* state)
{
    if (!state || !CheckVelkStatus()) return;
    GcApDocManager* manager = gcDocManagerPtr();
    GcApDocument* doc = manager ? manager->curDocument() : nullptr;
    if (!doc) return;
    if (!IsSavedDrawingPath(CString(doc->fileName().c_str()))) {
        AfxMessageBox(L"当前文档为临时文档(没有路径)，请保存后再进行取图操作！\n", MB_OK);
        return;
    }
    MapImageRecord& capture = state->currentCapture;
    if (capture.busy) {
        gcutPrintf(L"\n当前正在取图中！\n");
        return;
    }
    capture.imageName.Empty();
    capture.imagePath.Empty();
    PeerApiGetMapState(&g_peerApi, 2);
    ViewExtents view;
    CViewUtil::GetViewExtents(view, 1.0);
    state->grid.viewLevel = LevelForView(state, view);

    CCaptureMapSetting dialog;
    dialog.m_nMapType = state->grid.mapType;
    dialog.m_nLevel = state->grid.viewLevel;
    {
        ModuleResourceOverride resources;
        if (dialog.DoModal() != IDOK) return;
    }
    if (g_settings.onlineBaseMap) PressOnlineMapButton();
    capture.level = (uint64_t)(dialog.m_nLevel < 0 ? 0 : dialog.m_nLevel);
    capture.mapType = (uint32_t)state->grid.mapType;
    capture.imageName = dialog.m_strImageName;

    if (dialog.m_nRangeMode == 1) {
        ads_name entity;
        ads_point picked;
        if (gcedEntSel(L"\n请选择一个实体：", entity, picked) != RTNORM) return;
        CaptureFromExtents(state, entity, false);
        return;
    }
    // The rest runs when RECTANG ends (the editor reactor).
    if (g_pEditorReactor) g_pEditorReactor->m_nPendingRect = 1;
    manager->sendStringToExecute(doc, L"_rectang ", true, false, true);
}

bool CaptureFromExtents(BaseMapState* state, const ads_name entityName, bool erase)
{
    if (!state) return false;
    OdDbObjectId id;
    if (oddbGetObjectId(id, entityName) != eOk || id.isNull()) return false;
    OdGeExtents3d extents;
    bool measured = false;
    {
        DocumentWriteLock lock;
        OdDbEntity* entity = nullptr;
        if (oddbOpenObject(entity, id, OdDb::kForWrite) != eOk || !entity) return false;
        measured = entity->getGeomExtents(extents) == eOk;
        if (erase) entity->erase(true);
        entity->close();
    }
    const double width = measured ? extents.maxPoint().x - extents.minPoint().x : 0;
    const double height = measured ? extents.maxPoint().y - extents.minPoint().y : 0;
    if (!(width >= kMinimumRange) && !(height >= kMinimumRange)) {
        gcutPrintf(L"\n您选择的范围太小，无法生成地图！\\");
        return false;
    }
    MapImageRecord& capture = state->currentCapture;
    capture.minX = extents.minPoint().x;
    capture.minY = extents.minPoint().y;
    capture.maxX = extents.maxPoint().x;
    capture.maxY = extents.maxPoint().y;
    // A new capture starts with its progress unknown.
    capture.stalled = 0;
    capture.lastDone = 0;
    capture.busy = 1;
    // Set before the request: its first answer may already arm the repeat.
    capture.retryDelay = kRetryDelayMs;
    RequestCapture(state, kCaptureValue);
    return true;
}

void RequestCapture(BaseMapState* state, int value)
{
    if (!state) return;
    MapImageRecord& capture = state->currentCapture;
    const int level = capture.level >= 1 && capture.level <= 28 ? (int)capture.level : 0;
    const int32_t width = level ? PixelCount(capture.maxX - capture.minX, state->xResolution[level]) : -1;
    const int32_t height = level ? PixelCount(capture.maxY - capture.minY, state->yResolution[level]) : -1;
    if (width < 0 || height < 0) {
        gcutPrintf(L"\n该级别没有可用的分辨率或范围过大，无法生成地图！\n");
        capture.busy = 0;
        return;
    }
    TileRequest record;
    memset(&record, 0, sizeof record);
    record.coordMode = 2;
    record.mapType = (int32_t)capture.mapType;
    record.tileFlag = capture.stalled ? 0 : 1;
    record.byte384 = 1;
    record.captureMark = value;
    record.pixelWidth = width;
    record.pixelHeight = height;
    record.level = level;
    record.minX = capture.minX;
    record.minY = capture.minY;
    record.maxX = capture.maxX;
    record.maxY = capture.maxY;
    record.sequence = NextTileSequence();

    if (capture.imagePath.IsEmpty()) {
        GcApDocManager* manager = gcDocManagerPtr();
        GcApDocument* doc = manager ? manager->curDocument() : nullptr;
        if (!doc) {
            capture.busy = 0;
            return;
        }
        const CString drawing = doc->fileName().c_str();
        if (!IsSavedDrawingPath(drawing)) {
            gcutPrintf(L"\n%s为临时文档，请保存后再进行取图操作！\n", drawing.GetString());
            capture.busy = 0;
            return;
        }
        CreateDirectoryW(CaptureFolder(drawing), nullptr);
        capture.imagePath = CaptureImagePath(drawing, capture, GetTickCount());
    }
    SetTileRequestPath(record, capture.imagePath);
    capture.id = record.id;
    int status = PeerApiGetMapFile(&g_peerApi, &record, 1);
    if (status < 0) {
        ReportVelkMsgError(status, L"GetVelkMapFileErr:", false);
        capture.busy = 0;
    }
}

bool IsCaptureReply(const BaseMapState* state, const TileRequest& reply)
{
    const MapImageRecord& capture = state->currentCapture;
    return !capture.imagePath.IsEmpty() && reply.id == capture.id;
}

void OnCaptureFinished(BaseMapState* state, const TileRequest& reply)
{
    MapImageRecord& capture = state->currentCapture;
    // A late or repeated answer must not insert the image twice.
    if (!IsCaptureReply(state, reply) || !capture.busy) return;
    gcutPrintf(L"Begin Insert Captured Image!\n");
    capture.busy = 0;
    // The image is the file the module named, whatever path the answer holds.
    InsertCapturedMapImage(state, OdGePoint2d(capture.minX, capture.minY), OdGePoint2d(capture.maxX, capture.maxY),
                           capture.imagePath, IdText(capture.id));
}

void OnCaptureProgress(BaseMapState* state, const TileRequest& reply)
{
    MapImageRecord& capture = state->currentCapture;
    if (!IsCaptureReply(state, reply) || !capture.busy) return;
    ShowFetchProgress(&capture, reply.doneUnits, reply.totalUnits);
    SetReceiverTimer(kCaptureTimer, (UINT)(capture.retryDelay > 0 ? capture.retryDelay : kRetryDelayMs));
}

void ShowFetchProgress(MapImageRecord* capture, int32_t done, int32_t total)
{
    if (!capture) return;
    if (capture->lastDone != 0 && capture->lastDone == (uint32_t)done) capture->stalled = 1;
    capture->lastDone = (uint32_t)done;
    const int64_t left = (int64_t)total - done;
    if (!capture->meterShown && left >= 31) {
        capture->meterShown = 1;
        capture->meterSpan = (uint32_t)left;
        gcedSetStatusBarProgressMeter(kFetchLabel, 0, (int)capture->meterSpan);
        gcedSetStatusBarProgressMeterPos(0);
    } else if (capture->meterShown) {
        gcedRestoreStatusBar();
        gcedSetStatusBarProgressMeter(kFetchLabel, 0, total);
        gcedSetStatusBarProgressMeterPos(done);
    }
}

void OnMapFileProgress(MapImageRecord* capture, int32_t created, int32_t total)
{
    if (!capture) return;
    gcutPrintf(L"\nCreate:%d,Total:%d", created, total);
    if (capture->meterShown) {
        gcedRestoreStatusBar();
        capture->meterShown = 0;
    }
    if (total < 60) return;
    if (created == 20) gcedSetStatusBarProgressMeter(kExtractLabel, 0, total);
    gcedRestoreStatusBar();
    if ((int64_t)total - created >= 30) {
        gcedSetStatusBarProgressMeter(kExtractLabel, 0, total);
        gcedSetStatusBarProgressMeterPos(created);
    } else {
        gcedSetStatusBarProgressMeter(L"正在生成图片（耗时，请耐心等待）", 0, 100);
        gcedSetStatusBarProgressMeterPos(50);
    }
}

void InsertCapturedMapImage(BaseMapState* state, const OdGePoint2d& min, const OdGePoint2d& max, const CString& path,
                            const CString& name)
{
    if (!state) return;
    gcedRestoreStatusBar();
    DocumentWriteLock lock;
    OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase();
    if (!db) return;
    OdDbObjectId image;
    const int result = CViewUtil::InsertIMGFile(image, db->clayer(), path, name, min, max, true);
    if (result != 0) {
        gcutPrintf(L"插入底图失败：ErrCode:%d", result);
        return;
    }
    // Remembered once it is in the drawing, so that clearing finds it even
    // when it could not go below the rest.
    state->capturedImages[image] = path;
    OdDbObjectIdArray images;
    images.append(image);
    if (const int moved = CViewUtil::MoveImgToBottom(images, nullptr))
        gcutPrintf(L"底图置底失败：ErrCode:%d", moved);
    CViewUtil::RefreshDisplay();
}

void EndCapture(BaseMapState* state, int status)
{
    if (!state) return;
    MapImageRecord& capture = state->currentCapture;
    if (capture.meterShown) {
        gcedRestoreStatusBar();
        capture.meterShown = 0;
    }
    capture.busy = 0;
    if (status < 0) {
        CString text = ReportVelkJobResult(status);
        if (!text.IsEmpty()) gcutPrintf(L"%s", text.GetString());
    }
}

void ClearAllCapturedMaps(BaseMapState* state)
{
    if (!state) return;
    DocumentWriteLock lock;
    while (!state->capturedImages.empty()) {
        auto entry = state->capturedImages.begin();
        const OdDbObjectId image = entry->first;
        const CString path = entry->second;
        state->capturedImages.erase(entry);
        CViewUtil::EraseRasterImage(image, IdText(StringToId64(path)), nullptr);
        if (PathFileSize(path) > 0) DeletePathFile(path);
    }
}
