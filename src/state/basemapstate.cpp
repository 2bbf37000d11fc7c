#include "state/basemapstate.h"

#include "basemap/basemap.h"
#include "state/tilegrid.h"
#include "common/symboltable/layerutil.h"
#include "state/documentlock.h"
#include "windows.h"

BaseMapState::BaseMapState() : tilePixelSize(TilePixelSizeForScreen(GetSystemMetrics(SM_CXSCREEN))) {}

BaseMapState::~BaseMapState()
{
    // The tiles go first: a layer that still holds entities cannot go.
    if (!placedTiles.empty()) ClearBaseMapTiles(this);
    if (!mapLayer.isNull()) {
        DocumentWriteLock lock;
        CLayerUtil::Erase(mapLayer);
    }
}
