#include "basemap/basemap.h"

void RefreshBaseMap(BaseMapState*) {}
void ClearBaseMapTiles(BaseMapState*) {}
void LoadViewTiles(BaseMapState*, int) {}
void PollTileRetries(BaseMapState*) {}
void InsertTileImage(BaseMapState*, MapImageRecord) {}
void InsertQueuedTiles(BaseMapState*, bool) {}
void SyncViewWithPeer(BaseMapState*, const uint8_t*, uint32_t) {}
void InsertCapturedImage(BaseMapState*, const TileRequest&) {}
