// The one-off base-map capture: what the shell calls of it. Not built yet:
// every operation here does nothing until the capture is built.
#pragma once

#include <cstdint>

#include "basemap/basemapstate.h"
#include "gcedinput.h"

// The download command with its dialog and picks.
void CaptureMapCommand(BaseMapState* state);
// Sends the pending capture request again.
void RequestCapture(BaseMapState* state, int attempts);
// Requests the capture of the entity's extents (erased afterwards when
// asked); true when the request went out.
bool CaptureFromExtents(BaseMapState* state, const ads_name entity, bool erase);
// The peer's progress while it makes the image.
void OnMapFileProgress(MapImageRecord* capture, int32_t done, int32_t total);
