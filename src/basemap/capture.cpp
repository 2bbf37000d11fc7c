#include "basemap/capture.h"

void CaptureMapCommand(BaseMapState*) {}
void RequestCapture(BaseMapState*, int) {}
bool CaptureFromExtents(BaseMapState*, const ads_name, bool) { return false; }
void OnMapFileProgress(MapImageRecord*, int32_t, int32_t) {}
