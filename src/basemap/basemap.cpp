#include "basemap/basemap.h"

#include <cmath>
#include <vector>

#include "base/basefile.h"
#include "basemap/tilefiles.h"
#include "common/symboltable/layerutil.h"
#include "common/symboltable/viewutil.h"
#include "gcutprint.h"
#include "peer/peerrequests.h"
#include "state/coordbinding.h"
#include "state/documentlock.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/peerstatus.h"
#include "state/reactorflags.h"
#include "state/settings.h"
#include "state/tilegrid.h"
#include "ui/peercheck.h"
#include "windows.h"

namespace {

const wchar_t kMapLayer[] = L"MapLayer";
const int kGeographic = 2;
const int kDrawingOrigin = 4;

// The first zoom a refresh makes in the module's life goes to the origin.
bool g_bFirstRefreshZoom = true;
// A refresh runs: the coordinate-system answer inside it must not start
// another one.
bool g_bRefreshing = false;

bool InsertionSuspended() { return g_pEditorReactor && g_pEditorReactor->m_bSuspendInsert; }

// A level at which a zoom can be computed.
bool UsableLevel(const BaseMapState* state, int level)
{
    return level >= 1 && level <= 28 && state->xResolution[level] > 0 && state->yResolution[level] > 0;
}

// The peer's level clamped to the levels it serves tiles for.
int32_t ClampPeerLevel(int32_t level) { return level < 5 ? 5 : level > 18 ? 18 : level; }

// A 64-bit integer of a coordinate as a folder name takes it; values no
// integer holds count as 0.
int64_t TruncatedCoordinate(double v) { return std::isfinite(v) && std::fabs(v) < 9.0e18 ? (int64_t)v : 0; }

// The ids of the first zoom of a refresh: a view level outside the loaded
// band, or (drawing origin) a view that is no projected easting.
bool RefreshNeedsZoom(const BaseMapState* state, const ViewExtents& view)
{
    const int level = state->grid.viewLevel;
    if (level < 5 || level > g_settings.maxBaseMapLevel) return true;
    return g_coordBinding.coordinateType == kDrawingOrigin && !IsProjectedEasting(view.minX) &&
           !IsProjectedEasting(view.maxX);
}

}  // namespace

void ZoomViewAbout(double cx, double cy, double halfX, double halfY)
{
    if (!(halfX > 0) || !(halfY > 0)) return;
    // The view change is ours: the editor reactor does not take it as the
    // user's.
    if (g_pEditorReactor) g_pEditorReactor->m_bViewGuard = 0;
    CViewUtil::ZoomWindow(OdGePoint3d(cx - halfX, cy - halfY, 0), OdGePoint3d(cx + halfX, cy + halfY, 0), 1.0);
}

void AskOriginAndResolutions(BaseMapState* state)
{
    PeerApiGetOrigin(&g_peerApi);
    PeerApiGetLevelResolutions(&g_peerApi, state->grid.origin.x, state->grid.origin.y);
}

void ResetBaseMapGlobals()
{
    g_bFirstRefreshZoom = true;
    g_bRefreshing = false;
    g_bTileGuard = false;
    ResetTileSequence();
}

CString DrawingCacheFolderName(const CString& drawingFileName, uint64_t coordKey, const OdGePoint3d& origin)
{
    // The quotients go in as the 32-bit numbers the name has always shown.
    CString name;
    name.Format(L"%s_%I64d_%d_%d", drawingFileName.GetString(), (int64_t)coordKey,
                (int)(uint32_t)(TruncatedCoordinate(origin.x) / 10000),
                (int)(uint32_t)(TruncatedCoordinate(origin.y) / 10000));
    return IdText(StringToId64(name));
}

void RefreshBaseMap(BaseMapState* state)
{
    if (!state || !g_settings.onlineBaseMap || !state->ready || g_bRefreshing) return;
    ClearBaseMapTiles(state);
    if (!CheckVelkStatus(false)) return;
    g_bRefreshing = true;

    g_coordBinding.coordinateType = kGeographic;
    PeerApiGetCoordSystem(&g_peerApi);
    if (g_coordBinding.coordinateType == kGeographic) {
        gcutPrintf(L"\n当前拓岚坐标系为经纬度，请设置！");
        g_bRefreshing = false;
        return;
    }

    state->loaded = 0;
    for (int i = 0; i < 29; ++i) state->xResolution[i] = state->yResolution[i] = 0;
    // The answer to our own question must not move the view.
    if (g_pEditorReactor) g_pEditorReactor->m_bEcho = 0;
    PeerApiGetMapState(&g_peerApi, 2);
    state->grid.peerLevel = ClampPeerLevel(state->grid.peerLevel);

    bool askOrigin = true;
    if (g_coordBinding.coordinateType == kDrawingOrigin) {
        OdGePoint3d centre = CViewUtil::GetModelSpaceExtents();
        askOrigin = std::fabs(centre.x) <= 0.1 && std::fabs(centre.y) <= 0.1 && std::fabs(centre.z) <= 0.1;
        if (!askOrigin) state->grid.origin = OdGePoint3d(centre.x, centre.y, 0);
    }
    if (askOrigin) {
        state->coordKey = 0;
        PeerApiGetOrigin(&g_peerApi);
    }
    PeerApiGetLevelResolutions(&g_peerApi, state->grid.origin.x, state->grid.origin.y);

    ViewExtents view;
    CViewUtil::GetViewExtents(view, 1.0);
    const int peerLevel = state->grid.peerLevel;
    if (RefreshNeedsZoom(state, view) && UsableLevel(state, peerLevel) && view.screenWidth > 0 &&
        view.screenHeight > 0) {
        double cx = (view.minX + view.maxX) / 2, cy = (view.minY + view.maxY) / 2;
        if (g_bFirstRefreshZoom) {
            cx = state->grid.origin.x;
            cy = state->grid.origin.y;
            g_bFirstRefreshZoom = false;
        }
        ZoomViewAbout(cx, cy, view.screenWidth / 2 * state->xResolution[peerLevel],
                  view.screenHeight / 2 * state->yResolution[peerLevel]);
    }

    if (state->mapLayer.isNull()) {
        DocumentWriteLock lock;
        OdDbObjectId layer = CLayerUtil::GetLayerId(kMapLayer, false);
        if (layer.isNull()) {
            CLayerUtil::Add(kMapLayer, 1);
            layer = CLayerUtil::GetLayerId(kMapLayer, false);
        }
        state->mapLayer = layer;
    }

    CString folder = g_cacheRoot + L"\\MapTemp";
    CreateDirectoryW(folder, nullptr);
    folder += L"\\" + DrawingCacheFolderName(CViewUtil::GetCurrentDwgFileName(), state->coordKey, state->grid.origin);
    CreateDirectoryW(folder, nullptr);
    state->grid.cacheFolder = folder;

    state->failedTiles = 0;
    IndexCachedTiles(state, folder);
    g_bRefreshing = false;
    LoadViewTiles(state, 0);
    state->loaded = 1;
}

void IndexCachedTiles(BaseMapState* state, const CString& folder)
{
    if (!state) return;
    // The tiles lie in <type>\<level> below the drawing's folder; files at
    // the top are taken too.
    ForEachCachedTileFile(folder, 2, [state](const CString& path) { state->cacheIndex[StringToId64(path)] = path; });
}

int LevelForView(BaseMapState* state, const ViewExtents& view)
{
    if (!state) return 1;
    if (state->xResolution[1] == 0) AskOriginAndResolutions(state);
    // A minimised window has no pixels to match: the level stays.
    if (view.screenWidth <= 0) {
        int level = state->grid.viewLevel;
        return level < 1 ? 1 : level > 28 ? 28 : level;
    }
    const double d = (view.maxX - view.minX) / view.screenWidth;
    const double cx = (view.minX + view.maxX) / 2, cy = (view.minY + view.maxY) / 2;
    double ratio = 1;
    int level = MatchingLevel(d, state->xResolution, &ratio);
    bool snap = level != 0 && (ratio < 0.95 || ratio > 1.05);
    if (level == 0) {
        if (state->xResolution[1] == 0) AskOriginAndResolutions(state);
        level = FallbackLevel(d, state->xResolution);
        snap = true;
    }
    if (snap && UsableLevel(state, level))
        ZoomViewAbout(cx, cy, view.screenWidth / 2 * state->xResolution[level],
                  view.screenHeight / 2 * state->yResolution[level]);
    return level;
}

CString TileImagePath(const BaseMapState* state, int32_t dx, int32_t dy)
{
    const TileGrid& g = state->grid;
    CString path;
    path.Format(L"%s\\%d\\%d\\%d_%d.png", g.cacheFolder.GetString(), g.mapType, g.viewLevel, g.centreColumn + dx,
                g.centreRow + dy);
    return path;
}

void TileRectangle(const BaseMapState* state, int32_t dx, int32_t dy, OdGePoint2d& min, OdGePoint2d& max)
{
    const TileGrid& g = state->grid;
    const double cx = g.viewCentre.x + dx * g.tileWidth + g.offsetX;
    const double cy = g.viewCentre.y + dy * g.tileHeight + g.offsetY;
    min = OdGePoint2d(cx - g.tileWidth / 2, cy - g.tileHeight / 2);
    max = OdGePoint2d(cx + g.tileWidth / 2, cy + g.tileHeight / 2);
}

void LoadViewTiles(BaseMapState* state, int)
{
    if (!state || !g_settings.onlineBaseMap || g_coordBinding.coordinateType == kGeographic || !state->ready ||
        !g_bLinkActive || state->grid.cacheFolder.IsEmpty())
        return;
    if (g_hostViewVars.onlinePending) SetHostViewVars(false, false, true);

    state->toRequest.clear();
    state->cachedToPlace.clear();
    ViewExtents view;
    CViewUtil::GetViewExtents(view, 1.0);
    // A minimised window has no size to fill.
    if (view.screenWidth <= 0 || view.screenHeight <= 0) return;
    TileGrid& g = state->grid;
    g.viewCentre = OdGePoint3d((view.minX + view.maxX) / 2, (view.minY + view.maxY) / 2, 0);

    g.viewLevel = LevelForView(state, view);
    if (g.viewLevel != state->lastLevel) gcutPrintf(L"\nLevel:%d\n", g.viewLevel);
    // The level may have zoomed the view: the walk covers what is shown.
    CViewUtil::GetViewExtents(view, 1.0);

    g.tileWidth = state->tilePixelSize * state->xResolution[g.viewLevel];
    g.tileHeight = state->tilePixelSize * state->yResolution[g.viewLevel];
    if (!TileIndexAndOffset(g.viewCentre.x, g.origin.x, g.tileWidth, g.centreColumn, g.offsetX) ||
        !TileIndexAndOffset(g.viewCentre.y, g.origin.y, g.tileHeight, g.centreRow, g.offsetY)) {
        state->lastLevel = g.viewLevel;
        return;
    }
    g.halfCountX = TileHalfCount(view.maxX - view.minX, g.tileWidth);
    g.halfCountY = TileHalfCount(view.maxY - view.minY, g.tileHeight);

    CString typeFolder;
    typeFolder.Format(L"%s\\%d", g.cacheFolder.GetString(), g.mapType);
    CreateDirectoryW(typeFolder, nullptr);
    CString levelFolder;
    levelFolder.Format(L"%s\\%d", typeFolder.GetString(), g.viewLevel);
    CreateDirectoryW(levelFolder, nullptr);

    // Once per change of level: the walk may alternate between tiles inside
    // and outside the range.
    if (g.viewLevel != state->lastLevel) state->rangeMessageArmed = 1;
    WalkTileRing(g.halfCountX, g.halfCountY, [state](int32_t dx, int32_t dy) { AddTile(state, dx, dy); });
    CViewUtil::GetViewExtents(state->doubledView, 2.0);
    SendTileRequests(state);

    if (!InsertionSuspended()) {
        DocumentWriteLock lock;
        // Last first: the walk ends at the centre, which is placed first.
        // Tiles beyond the doubled view are not placed: queued, they would
        // keep the image timer walking and redrawing every second.
        std::vector<std::pair<int32_t, int32_t>> cached(state->cachedToPlace.rbegin(), state->cachedToPlace.rend());
        for (const auto& tile : cached) {
            OdGePoint2d min, max;
            TileRectangle(state, tile.first, tile.second, min, max);
            if (InDoubledView(state, min, max)) QueueCachedTile(state, tile, 0);
        }
        InsertQueuedTiles(state, false);
    }
    state->lastLevel = g.viewLevel;
}

bool AddTile(BaseMapState* state, int32_t dx, int32_t dy)
{
    const uint64_t id = StringToId64(TileImagePath(state, dx, dy));
    if (state->cacheIndex.count(id)) {
        if (!state->placedTiles.count(id)) state->cachedToPlace.emplace_back(dx, dy);
        return true;
    }
    if (g_coordBinding.coordinateType == kDrawingOrigin) {
        OdGePoint2d min, max;
        TileRectangle(state, dx, dy, min, max);
        if (!IsProjectedEasting(min.x) || !IsProjectedEasting(max.x)) {
            if (state->rangeMessageArmed) {
                gcutPrintf(L"\n超出坐标系范围不显示底图!\n");
                state->rangeMessageArmed = 0;
            }
            return false;
        }
    }
    state->toRequest.emplace_back(dx, dy);
    return true;
}

void QueueCachedTile(BaseMapState* state, std::pair<int32_t, int32_t> tile, uint8_t fromReply)
{
    if (!state || !g_settings.onlineBaseMap) return;
    MapImageRecord image;
    OdGePoint2d min, max;
    TileRectangle(state, tile.first, tile.second, min, max);
    image.minX = min.x;
    image.minY = min.y;
    image.maxX = max.x;
    image.maxY = max.y;
    image.imagePath = TileImagePath(state, tile.first, tile.second);
    image.id = StringToId64(image.imagePath);
    image.level = (uint64_t)state->grid.viewLevel;
    image.fromReply = fromReply;
    state->imageQueue.push_back(image);
}

void SendTileRequests(BaseMapState* state)
{
    if (!state || state->toRequest.empty()) return;
    const int level = state->grid.viewLevel;
    if (level > g_settings.maxBaseMapLevel || level < 5) {
        if (state->levelMessageArmed && state->lastLevel != level) {
            state->levelMessageArmed = 0;
            gcutPrintf(level < 5 ? L"\n级别太低，不加载底图！\n" : L"\n级别太高，不加载底图！\n");
        }
        return;
    }
    state->levelMessageArmed = 1;
    std::vector<TileRequest> records(state->toRequest.size());
    size_t i = 0;
    for (const auto& [dx, dy] : state->toRequest) {
        TileRequest& r = records[i++];
        memset(&r, 0, sizeof r);
        r.tileFlag = 1;
        r.coordMode = 2;
        r.byte384 = 1;
        r.level = level;
        r.mapType = state->grid.mapType;
        r.pixelWidth = r.pixelHeight = state->tilePixelSize;
        OdGePoint2d min, max;
        TileRectangle(state, dx, dy, min, max);
        r.minX = min.x;
        r.minY = min.y;
        r.maxX = max.x;
        r.maxY = max.y;
        r.sequence = NextTileSequence();
        SetTileRequestPath(r, TileImagePath(state, dx, dy));
    }
    int status = PeerApiGetMapFile(&g_peerApi, records.data(), (int)records.size());
    ReportVelkMsgError(status, L"GetVelkMapFileErr:", false);
}
