// The online base map under the view: what the shell calls of it. Not built
// yet: every operation here does nothing until the base map is built.
#pragma once

#include <cstdint>

#include "basemap/basemapstate.h"
#include "common/symboltable/viewextents.h"

// Starts or restarts the drawing's base map.
void RefreshBaseMap(BaseMapState* state);
// Erases the drawing's follow-mode tile images and forgets them.
void ClearBaseMapTiles(BaseMapState* state);
// Brings the tiles of the current view up to date.
void LoadViewTiles(BaseMapState* state, int flag);
// The map level whose resolution fits the view.
int LevelForView(BaseMapState* state, const ViewExtents& view);
// Sends the failed tile requests again.
void PollTileRetries(BaseMapState* state);
// Places one tile image that waited for its level.
void InsertTileImage(BaseMapState* state, MapImageRecord image);
// Places the queued tile images at the bottom of the draw order.
void InsertQueuedTiles(BaseMapState* state, bool moveToBottom);
// Follow modes 2 and 3: moves the CAD view to the peer's (a 20012 report).
void SyncViewWithPeer(BaseMapState* state, const uint8_t* report, uint32_t size);
// A finished (or pending) map image of a 20302 answer.
void InsertCapturedImage(BaseMapState* state, const TileRequest& reply);
