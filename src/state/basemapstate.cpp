#include "state/basemapstate.h"

#include "common/symboltable/layerutil.h"
#include "common/symboltable/viewutil.h"
#include "state/documentlock.h"
#include "state/tilegrid.h"
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

void ClearBaseMapTiles(BaseMapState* state)
{
    if (!state) return;
    state->clearing = 1;
    {
        DocumentWriteLock lock;
        while (!state->placedTiles.empty()) {
            const PlacedTile gone = state->placedTiles.begin()->second;
            state->placedTiles.erase(state->placedTiles.begin());
            state->toMoveDown.erase(gone.imageId);
            CViewUtil::EraseRasterImage(gone.imageId, IdText((uint64_t)gone.id), nullptr);
        }
        state->placedHandles.clear();
        CViewUtil::RefreshDisplay();
    }
    state->clearing = 0;
}
