// The online base map under the view: the tiles of the current view at the
// level that fits it, asked from the peer into a cache on disk, placed as
// raster images on the layer "MapLayer" at the bottom of the draw order,
// replaced as the view moves, retried while the peer is not ready, and the
// CAD view following the peer's.
#pragma once

#include <cstdint>
#include <utility>

#include "afxstr.h"
#include "common/symboltable/viewextents.h"
#include "oddbobject.h"
#include "odgegeometry.h"
#include "state/basemapstate.h"

// ---- the tiles of the view ----

// Starts or restarts the drawing's base map: coordinate system, map state,
// origin, resolutions, the layer and the cache folder, then the tiles.
void RefreshBaseMap(BaseMapState* state);
// Brings the tiles of the current view up to date (the flag is not read).
void LoadViewTiles(BaseMapState* state, int flag);
// The map level whose resolution fits the view; may zoom the view to it.
int LevelForView(BaseMapState* state, const ViewExtents& view);
// One tile of the walk: noted to place from the cache or to ask the peer;
// false when it lies outside the coordinate system's range.
bool AddTile(BaseMapState* state, int32_t dx, int32_t dy);
// Queues the cached image of a tile of the walk for placing.
void QueueCachedTile(BaseMapState* state, std::pair<int32_t, int32_t> tile, uint8_t fromReply);
// Asks the peer for the tiles of the walk that are not cached.
void SendTileRequests(BaseMapState* state);
// Enters the tile images found below the folder in the cache index.
void IndexCachedTiles(BaseMapState* state, const CString& folder);

// The image path of tile (column + dx, row + dy) of the current walk, and
// its rectangle in drawing units.
CString TileImagePath(const BaseMapState* state, int32_t dx, int32_t dy);
void TileRectangle(const BaseMapState* state, int32_t dx, int32_t dy, OdGePoint2d& min, OdGePoint2d& max);
// The cache folder of the drawing below the cache root's "MapTemp": the
// drawing's file name, the coordinate-system key and the origin in units
// of 10000, hashed.
CString DrawingCacheFolderName(const CString& drawingFileName, uint64_t coordKey, const OdGePoint3d& origin);

// ---- placing, retrying, following ----

// One record of a 20302 answer: a finished tile, a tile to retry, or the
// capture's progress, image or end.
void InsertCapturedImage(BaseMapState* state, const TileRequest& reply);
// Timer 1009: places the waiting images of the current level, then walks
// the view again.
void PlaceQueuedTiles(BaseMapState* state);
// Places one waiting image as a tile.
void InsertTileImage(BaseMapState* state, MapImageRecord image);
// A tile rectangle shares more than an edge with the doubled view of the
// last walk: only such tiles are placed.
bool InDoubledView(const BaseMapState* state, const OdGePoint2d& min, const OdGePoint2d& max);
// Erases the placed tiles that the new tile covers, that left the doubled
// view or the coordinate system's range; false when the tile is placed
// already.
bool RemoveReplacedTileImages(BaseMapState* state, const OdGePoint2d& min, const OdGePoint2d& max, uint64_t id);
// Inserts one tile image on "MapLayer"; imageId stays null on failure.
void InsertTileImageFile(BaseMapState* state, OdDbObjectId& imageId, const OdGePoint2d& min, const OdGePoint2d& max,
                         const CString& path, const CString& name);
// Moves the tiles placed since the last call to the bottom of the draw
// order; the host's status (0 when there were none).
int InsertQueuedTiles(BaseMapState* state, bool lock);
// Keeps a tile the peer has not finished for the next resend.
void QueueTileRetry(BaseMapState* state, const TileRequest& reply);
// Timer 1007: sends the kept tiles again.
void PollTileRetries(BaseMapState* state);
// A map state the peer reported (20012): the CAD view follows it in follow
// modes 2 and 3.
void SyncViewWithPeer(BaseMapState* state, const uint8_t* report, uint32_t size);

// Sets the view to the rectangle of half sizes halfX, halfY about the
// centre (nothing for sizes that are not positive).
void ZoomViewAbout(double cx, double cy, double halfX, double halfY);
// Asks the peer for the grid's origin (20211), then the level resolutions
// at it (20212).
void AskOriginAndResolutions(BaseMapState* state);

// Module-wide state of the base map back to that of a fresh load (tests).
void ResetBaseMapGlobals();
