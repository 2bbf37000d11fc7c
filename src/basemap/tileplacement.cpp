// Placing the peer's tile images, replacing them, retrying the tiles the
// peer has not finished, and the CAD view following the peer's.
#include <cmath>
#include <optional>
#include <vector>

#include "basemap/basemap.h"
#include "basemap/capture.h"
#include "basemap/tilefiles.h"
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

namespace {

const int kDrawingOrigin = 4;
const int32_t kNotReady = -102;
const int kMaxFailedTiles = 100;

bool InsertionSuspended() { return g_pEditorReactor && g_pEditorReactor->m_bSuspendInsert; }

// The two rectangles share more than a 0.1 strip in both directions.
bool Overlaps(double minX1, double minY1, double maxX1, double maxY1, double minX2, double minY2, double maxX2,
              double maxY2)
{
    return std::fmin(maxX1, maxX2) > std::fmax(minX2, minX1) + 0.1 &&
           std::fmin(maxY1, maxY2) > std::fmax(minY2, minY1) + 0.1;
}

bool UsableRectangle(double minX, double minY, double maxX, double maxY)
{
    return std::isfinite(minX) && std::isfinite(minY) && std::isfinite(maxX) && std::isfinite(maxY) && minX < maxX &&
           minY < maxY;
}

// A tile file the module asked for lies in the drawing's cache folder; a
// path elsewhere is none of its tiles.
bool InCacheFolder(const BaseMapState* state, const CString& path)
{
    const CString& folder = state->grid.cacheFolder;
    const int n = folder.GetLength();
    if (n == 0 || path.GetLength() <= n + 1 || path.Left(n).CompareNoCase(folder) != 0 || path[n] != L'\\')
        return false;
    return path.Mid(n).Find(L"..") < 0;
}

// A finished tile: into the cache index, and queued when it is of the
// view's level. False when the reply is unusable (nothing more is done).
bool AcceptTileReply(BaseMapState* state, const TileRequest& reply)
{
    if (state->clearing) return false;
    const CString path = TileReplyPath(reply);
    if (!InCacheFolder(state, path) || PathFileSize(path) < 1) return false;
    if (!UsableRectangle(reply.minX, reply.minY, reply.maxX, reply.maxY)) return false;
    const uint64_t id = StringToId64(path);
    state->cacheIndex[id] = path;
    ViewExtents view;
    CViewUtil::GetViewExtents(view, 1.0);
    const int level = LevelForView(state, view);
    if (InsertionSuspended() || reply.level == level) {
        MapImageRecord image;
        image.minX = reply.minX;
        image.minY = reply.minY;
        image.maxX = reply.maxX;
        image.maxY = reply.maxY;
        image.imagePath = path;
        image.id = id;
        image.level = (uint64_t)level;
        image.fromReply = 1;
        state->imageQueue.push_back(image);
    }
    return true;
}

void EraseTileImage(const PlacedTile& tile)
{
    DocumentWriteLock lock;
    CViewUtil::EraseRasterImage(tile.imageId, IdText((uint64_t)tile.id), nullptr);
}

}  // namespace

void InsertCapturedImage(BaseMapState* state, const TileRequest& reply)
{
    if (!state) return;
    const int32_t size = state->tilePixelSize;
    const bool finished = reply.status == 1 || reply.status == 2;
    // The running capture's own id marks its answers, whatever their size:
    // a capture may be a tile's size in pixels.
    const bool capture = state->currentCapture.busy && IsCaptureReply(state, reply);
    if (finished && (capture || (reply.pixelWidth != size && reply.pixelHeight != size))) {
        OnCaptureFinished(state, reply);
    } else if (reply.status == 1 && reply.path[kTileReadyByte] != 0 && g_settings.onlineBaseMap == 1) {
        if (!AcceptTileReply(state, reply)) return;
    } else if (reply.status == kNotReady) {
        if (!capture && reply.pixelWidth == size && reply.pixelHeight == size && g_settings.onlineBaseMap == 1)
            QueueTileRetry(state, reply);
        else
            OnCaptureProgress(state, reply);
    } else if (IsCaptureReply(state, reply)) {
        EndCapture(state, reply.status);
    }
    if (reply.status != kNotReady) state->failedTiles = 0;
}

void PlaceQueuedTiles(BaseMapState* state)
{
    if (!state || InsertionSuspended() || state->imageQueue.empty() || !g_settings.onlineBaseMap || g_bTileGuard)
        return;
    g_bTileGuard = true;
    ViewExtents view;
    CViewUtil::GetViewExtents(view, 1.0);
    const int level = LevelForView(state, view);
    // Answers that arrive while these are placed wait for the next tick.
    std::list<MapImageRecord> waiting;
    waiting.swap(state->imageQueue);
    for (const MapImageRecord& image : waiting)
        if (image.level == (uint64_t)level) InsertTileImage(state, image);
    LoadViewTiles(state, 0);
    InsertQueuedTiles(state, true);
    g_bTileGuard = false;
}

void InsertTileImage(BaseMapState* state, MapImageRecord image)
{
    if (!state) return;
    // A tile beyond the doubled view would go again with the next tile
    // placed, to come back with the next walk: the drawing would change
    // every second.
    const OdGePoint2d min(image.minX, image.minY), max(image.maxX, image.maxY);
    if (!InDoubledView(state, min, max)) return;
    // A cached file deleted or emptied since it was indexed is forgotten:
    // the next walk asks the peer for it again.
    if (PathFileSize(image.imagePath) < 1) {
        state->cacheIndex.erase(image.id);
        return;
    }
    if (!RemoveReplacedTileImages(state, min, max, image.id)) return;
    OdDbObjectId imageId;
    InsertTileImageFile(state, imageId, min, max, image.imagePath, IdText(image.id));
    if (imageId.isNull()) return;
    PlacedTile tile;
    tile.imagePath = image.imagePath;
    tile.id = (int64_t)image.id;
    tile.minX = image.minX;
    tile.minY = image.minY;
    tile.maxX = image.maxX;
    tile.maxY = image.maxY;
    tile.pixelWidth = tile.pixelHeight = state->tilePixelSize;
    tile.imageId = imageId;
    tile.level = state->grid.viewLevel;
    tile.mapType = state->grid.mapType;
    tile.coordKey = state->coordKey;
    state->placedTiles[image.id] = tile;
    const uint64_t handle = (uint64_t)imageId.getHandle();
    state->placedHandles[handle] = handle;
}

bool InDoubledView(const BaseMapState* state, const OdGePoint2d& min, const OdGePoint2d& max)
{
    const ViewExtents& dv = state->doubledView;
    return Overlaps(min.x, min.y, max.x, max.y, dv.minX, dv.minY, dv.maxX, dv.maxY);
}

bool RemoveReplacedTileImages(BaseMapState* state, const OdGePoint2d& min, const OdGePoint2d& max, uint64_t id)
{
    const ViewExtents& dv = state->doubledView;
    for (auto it = state->placedTiles.begin(); it != state->placedTiles.end();) {
        const PlacedTile& t = it->second;
        if (it->first == id) return false;
        bool replaced = Overlaps(t.minX, t.minY, t.maxX, t.maxY, min.x, min.y, max.x, max.y) ||
                        !Overlaps(t.minX, t.minY, t.maxX, t.maxY, dv.minX, dv.minY, dv.maxX, dv.maxY) ||
                        (g_coordBinding.coordinateType == kDrawingOrigin &&
                         (!IsProjectedEasting(t.minX) || !IsProjectedEasting(t.maxX)));
        if (!replaced) {
            ++it;
            continue;
        }
        // Forgotten first: erasing may show a box whose loop runs timers and
        // the peer's messages, which may erase tiles too. The walk goes on
        // after this id, in the map as it is then.
        const uint64_t key = it->first;
        const PlacedTile gone = t;
        state->placedTiles.erase(it);
        state->toMoveDown.erase(gone.imageId);
        state->placedHandles.erase((uint64_t)gone.imageId.getHandle());
        EraseTileImage(gone);
        it = state->placedTiles.upper_bound(key);
    }
    return true;
}

void InsertTileImageFile(BaseMapState* state, OdDbObjectId& imageId, const OdGePoint2d& min, const OdGePoint2d& max,
                         const CString& path, const CString& name)
{
    imageId.setNull();
    DocumentWriteLock lock;
    OdDbObjectId inserted;
    if (CViewUtil::InsertIMGFile(inserted, state->mapLayer, path, name, min, max, false) != 0) return;
    state->toMoveDown[inserted] = (uint64_t)inserted.getHandle();
    imageId = inserted;
}

int InsertQueuedTiles(BaseMapState* state, bool lock)
{
    if (!state) return 0;
    std::optional<DocumentWriteLock> held;
    if (lock) held.emplace();
    OdDbObjectIdArray images;
    for (const auto& entry : state->toMoveDown) images.append(entry.first);
    state->toMoveDown.clear();
    int status = CViewUtil::MoveImgToBottom(images, nullptr);
    CViewUtil::RefreshDisplay();
    return status;
}

void QueueTileRetry(BaseMapState* state, const TileRequest& reply)
{
    if (!state || reply.mapType != state->grid.mapType) return;
    TileRequest retry;
    memset(&retry, 0, sizeof retry);
    retry.id = reply.id;
    retry.sequence = reply.sequence;
    retry.tileFlag = reply.tileFlag;
    // The path up to its end within the field; the reply's marks stay behind.
    memcpy(retry.path, reply.path, strnlen(reply.path, sizeof retry.path - 1));
    retry.minX = reply.minX;
    retry.minY = reply.minY;
    retry.maxX = reply.maxX;
    retry.maxY = reply.maxY;
    retry.coordMode = reply.coordMode;
    retry.level = reply.level;
    retry.mapType = reply.mapType;
    retry.pixelWidth = reply.pixelWidth;
    retry.pixelHeight = reply.pixelHeight;
    retry.byte384 = reply.byte384;
    state->retryList.push_back(retry);
    if (++state->failedTiles > kMaxFailedTiles) {
        state->failedTiles = 0;
        gcutPrintf(L"\n长时间未能获取底图，可能原因(图源缺失/网络异常/叠加了图层)");
    }
}

void PollTileRetries(BaseMapState* state)
{
    if (!state || state->retryList.empty()) return;
    std::vector<TileRequest> records;
    const bool online = g_settings.onlineBaseMap == 1;
    // Taken off the list first: the answers may put tiles back on it.
    std::list<TileRequest> kept;
    kept.swap(state->retryList);
    if (!online) return;
    for (const TileRequest& r : kept) {
        records.push_back(r);
        records.back().pixelWidth = r.pixelHeight;
    }
    int status = PeerApiGetMapFile(&g_peerApi, records.data(), (int)records.size());
    ReportVelkMsgError(status, L"GetVelkMapFileErr:", false);
}

void SyncViewWithPeer(BaseMapState* state, const uint8_t* report, uint32_t size)
{
    const uint32_t kMapStateHead = 52;
    if (!state || !report || size < kMapStateHead) return;
    double cx, cy;
    int32_t level, mapType;
    memcpy(&cx, report + 24, sizeof cx);
    memcpy(&cy, report + 32, sizeof cy);
    memcpy(&level, report + 44, sizeof level);
    memcpy(&mapType, report + 48, sizeof mapType);
    const bool typeChanged = state->grid.mapType != mapType;
    state->grid.mapType = mapType;
    if (!(std::fabs(cx) <= 1e10) || !(std::fabs(cy) <= 1e9)) return;

    if (typeChanged || !g_settings.onlineBaseMap) {
        AskOriginAndResolutions(state);
        ClearBaseMapTiles(state);
    }
    const int mode = g_settings.followMode;
    if (mode == 2 || (mode == 3 && g_bFollow3Enabled)) {
        if (state->xResolution[1] == 0) AskOriginAndResolutions(state);
        ViewExtents view;
        CViewUtil::GetViewExtents(view, 1.0);
        // Only a level the tables hold, and a window with pixels, give a view.
        if (level >= 1 && level <= 28 && view.screenWidth > 0 && view.screenHeight > 0)
            ZoomViewAbout(cx, cy, state->xResolution[level] * view.screenWidth / 2.0,
                          state->yResolution[level] * view.screenHeight / 2.0);
    }
    LoadViewTiles(state, 0);
}
